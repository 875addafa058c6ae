#include "hostenv/walker.h"

#include <algorithm>

namespace hostenv {

namespace {

// identity: the folder's, already known from its parent's check.
void walk(const std::string& pattern, const std::string& folder, std::string identity, Lines& list,
          WalkLists lists, std::vector<std::string>& ancestors) {
    lists.dir.setpath(folder.ends_with("\\") ? folder : folder + "\\");
    if (identity.empty()) identity = lists.fs.folderidentity(lists.dir.path());
    ancestors.push_back(std::move(identity));
    const int n = lists.dir.count();
    for (int i = 0; i <= n; ++i) {
        if (!lists.dir.entry(i).empty()) {
            // Let the window repaint; a handler may move the list, so read the entry again.
            lists.ui.doevents();
            const std::string subfolder = lists.dir.entry(i);
            std::string subidentity = lists.fs.folderidentity(subfolder);
            if (std::find(ancestors.begin(), ancestors.end(), subidentity) == ancestors.end()) {
                walk(pattern, subfolder, std::move(subidentity), list, lists, ancestors);
            }
            continue;
        }
        std::string part = lists.dir.path();
        if (part.ends_with("\\")) part.pop_back();
        // The file list follows the folder list (Dir1_Change), so it has just listed this
        // folder, with the walk's pattern from the first folder on: reading the folder
        // again would only double the cost of the walk.
        if (lists.file.path() != part) lists.file.setpath(part);
        if (lists.file.pattern() != pattern) lists.file.setpattern(pattern);
        for (int j = 0; j < lists.file.count(); ++j) {
            list.push_back(part + "\\" + lists.file.entry(j));
        }
        const std::string& current = lists.dir.path();
        lists.dir.setpath(current.substr(0, current.rfind('\\') + 1));
    }
    ancestors.pop_back();
}

// The identities of the folders above folder, from its root down: a link to one of them
// would lead the walk out of folder and back over it.
std::vector<std::string> identitiesabove(FileSystem& fs, const std::string& folder) {
    std::vector<std::string> identities;
    std::string path = folder;
    while (path.ends_with("\\")) path.pop_back();
    for (std::size_t separator = path.find('\\'); separator != std::string::npos;
         separator = path.find('\\', separator + 1)) {
        identities.push_back(fs.folderidentity(path.substr(0, separator + 1)));
    }
    return identities;
}

}  // namespace

void walkfolders(const std::string& pattern, const std::string& folder, Lines& list,
                 WalkLists lists) {
    // A player who never made a map has no per-user galaxy folder yet.
    if (!lists.fs.hasfolder(folder)) return;
    std::vector<std::string> ancestors = identitiesabove(lists.fs, folder);
    walk(pattern, folder, "", list, lists, ancestors);
}

}  // namespace hostenv

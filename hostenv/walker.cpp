#include "hostenv/walker.h"

#include <algorithm>

#include "hostenv/failure.h"

namespace hostenv {

namespace {

// Shows folder in the lists, which read its subfolders and, through the folder list's change
// handler, its files. False when a subfolder found earlier is gone: the walk skips it.
bool enter(const std::string& folder, bool found, WalkLists lists) {
    try {
        lists.dir.setpath(folder.ends_with("\\") ? folder : folder + "\\");
        return true;
    } catch (const Failure&) {
        if (found && !lists.fs.hasfolder(folder)) return false;
        throw;
    }
}

// identity: the folder's, already known from its parent's check; empty for the folder given.
// Each folder is read once, as the walk enters it: going back up reads nothing again, so a
// walk costs the same for each folder however many siblings it has.
void walk(const std::string& pattern, const std::string& folder, std::string identity, Lines& list,
          WalkLists lists, std::vector<std::string>& ancestors) {
    if (!enter(folder, !identity.empty(), lists)) return;
    if (identity.empty()) identity = lists.fs.folderidentity(lists.dir.path());
    ancestors.push_back(std::move(identity));
    std::vector<std::string> subfolders;
    for (int i = 0; i < lists.dir.count(); ++i) subfolders.push_back(lists.dir.entry(i));

    std::string part = lists.dir.path();
    if (part.ends_with("\\")) part.pop_back();
    // The file list follows the folder list (Dir1_Change), so it has just listed this
    // folder, with the walk's pattern from the first folder on.
    if (lists.file.path() != part) lists.file.setpath(part);
    if (lists.file.pattern() != pattern) lists.file.setpattern(pattern);
    std::vector<std::string> files;
    for (int j = 0; j < lists.file.count(); ++j) files.push_back(part + "\\" + lists.file.entry(j));

    for (const auto& subfolder : subfolders) {
        // Let the window repaint; the walk goes on from its own copy of the list.
        lists.ui.doevents();
        std::string subidentity;
        try {
            subidentity = lists.fs.folderidentity(subfolder);
        } catch (const Failure&) {
            if (!lists.fs.hasfolder(subfolder)) continue;
            throw;
        }
        if (std::find(ancestors.begin(), ancestors.end(), subidentity) == ancestors.end()) {
            walk(pattern, subfolder, std::move(subidentity), list, lists, ancestors);
        }
    }
    list.insert(list.end(), files.begin(), files.end());
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
    // The lists end one level above the folder given, where the walk's last step up leaves
    // them.
    std::string given = folder;
    if (given.size() > 3 && given.ends_with("\\")) given.pop_back();
    lists.dir.setpath(given.substr(0, given.rfind('\\') + 1));
}

}  // namespace hostenv

#include "hostenv/walker.h"

#include <algorithm>

namespace hostenv {

namespace {

void walk(const std::string& pattern, const std::string& folder, Lines& list, WalkLists lists,
          std::vector<std::string>& ancestors) {
    lists.dir.setpath(folder.ends_with("\\") ? folder : folder + "\\");
    ancestors.push_back(lists.fs.folderidentity(lists.dir.path()));
    const int n = lists.dir.count();
    for (int i = 0; i <= n; ++i) {
        if (!lists.dir.entry(i).empty()) {
            // Let the window repaint; a handler may move the list, so read the entry again.
            lists.ui.doevents();
            const std::string subfolder = lists.dir.entry(i);
            const std::string identity = lists.fs.folderidentity(subfolder);
            if (std::find(ancestors.begin(), ancestors.end(), identity) == ancestors.end()) {
                walk(pattern, subfolder, list, lists, ancestors);
            }
            continue;
        }
        std::string part = lists.dir.path();
        if (part.ends_with("\\")) part.pop_back();
        lists.file.setpath(part);
        lists.file.setpattern(pattern);
        for (int j = 0; j < lists.file.count(); ++j) list.push_back(part + "\\" + lists.file.entry(j));
        const std::string& current = lists.dir.path();
        lists.dir.setpath(current.substr(0, current.rfind('\\') + 1));
    }
    ancestors.pop_back();
}

}  // namespace

void walkfolders(const std::string& pattern, const std::string& folder, Lines& list,
                 WalkLists lists) {
    std::vector<std::string> ancestors;
    walk(pattern, folder, list, lists, ancestors);
}

}  // namespace hostenv

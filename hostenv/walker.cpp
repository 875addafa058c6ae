#include "hostenv/walker.h"

namespace hostenv {

void walkfolders(const std::string& pattern, const std::string& folder, Lines& list,
                 WalkLists lists) {
    lists.dir.setpath(folder.ends_with("\\") ? folder : folder + "\\");
    const int n = lists.dir.count();
    for (int i = 0; i <= n; ++i) {
        if (!lists.dir.entry(i).empty()) {
            // Let the window repaint; a handler may move the list, so read the entry again.
            lists.ui.doevents();
            walkfolders(pattern, lists.dir.entry(i), list, lists);
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
}

}  // namespace hostenv

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

// Whether path is a file met before under the same name in another folder (a hard link, a
// link to a file). Identities are asked only when a name comes again: one open per galaxy
// would slow a search over thousands of them, and folders reached twice are caught by their
// own identities.
bool metbefore(FileSystem& fs, const std::string& path, const std::string& name, Walked& walked) {
    auto& samename = walked.files[lower(name)];
    if (samename.empty()) {
        samename.emplace_back(path, "");
        return false;
    }
    std::string identity = fs.folderidentity(path);
    for (auto& [earlier, known] : samename) {
        if (known.empty()) known = fs.folderidentity(earlier);
        if (known == identity) return true;
    }
    samename.emplace_back(path, std::move(identity));
    return false;
}

// identity: the folder's, already known from its parent's check and recorded in walked.
// Each folder is read once, as the walk enters it: going back up reads nothing again, so a
// walk costs the same for each folder however many siblings it has.
void walk(const std::string& pattern, const std::string& folder, std::string identity, bool found,
          Lines& list, WalkLists lists, std::vector<std::string>& ancestors, Walked& walked) {
    if (!enter(folder, found, lists)) return;
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
    for (int j = 0; j < lists.file.count(); ++j) {
        std::string path = part + "\\" + lists.file.entry(j);
        if (!metbefore(lists.fs, path, lists.file.entry(j), walked))
            files.push_back(std::move(path));
    }

    for (const auto& subfolder : subfolders) {
        // Let the window repaint; the walk goes on from its own copy of the list.
        lists.ui.doevents();
        std::string subidentity;
        try {
            subidentity = lists.fs.folderidentity(subfolder);
        } catch (const Failure&) {
            // Gone since the folder was read: nothing left to find there.
            if (!lists.fs.hasfolder(subfolder)) continue;
            throw;
        }
        // A folder walked before (reached again through a link, or under a name Windows reads
        // as another) holds nothing new; an ancestor is always among them.
        if (std::find(ancestors.begin(), ancestors.end(), subidentity) == ancestors.end() &&
            walked.folders.insert(subidentity).second) {
            walk(pattern, subfolder, std::move(subidentity), true, list, lists, ancestors, walked);
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
                 WalkLists lists, Walked& walked) {
    // A player who never made a map has no per-user galaxy folder yet.
    if (!lists.fs.hasfolder(folder)) return;
    std::vector<std::string> ancestors = identitiesabove(lists.fs, folder);
    std::string identity = lists.fs.folderidentity(
        folder.size() > 3 && folder.ends_with('\\') ? folder.substr(0, folder.size() - 1) : folder);
    // The same folder given again, or one a walk before has entered, holds nothing new.
    if (!walked.folders.insert(identity).second) return;
    walk(pattern, folder, std::move(identity), false, list, lists, ancestors, walked);
    // The lists end one level above the folder given, where the walk's last step up leaves
    // them.
    std::string given = folder;
    if (given.size() > 3 && given.ends_with("\\")) given.pop_back();
    lists.dir.setpath(given.substr(0, given.rfind('\\') + 1));
}

}  // namespace hostenv

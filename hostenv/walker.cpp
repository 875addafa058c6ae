#include "hostenv/walker.h"

#include <algorithm>
#include <optional>

#include "hostenv/failure.h"

namespace hostenv {

namespace {

// A folder as the file system takes it: a drive root keeps its "\".
std::string listable(const std::string& base) {
    return base.size() == 2 && base[1] == ':' ? base + "\\" : base;
}

// Each folder is read once, as the walk enters it: going back up reads nothing again, so a
// walk costs the same for each folder however many siblings it has. None when a subfolder
// found earlier is gone: the walk skips it.
std::optional<FolderContents> readfolder(FileSystem& fs, const std::string& base,
                                         const std::string& identity, const std::string& pattern,
                                         bool found) {
    try {
        return fs.readfolder(listable(base), identity, pattern);
    } catch (const Failure&) {
        if (found && !fs.hasfolder(base)) return std::nullopt;
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

struct Walk {
    FileSystem& fs;
    const std::string& pattern;
    const WalkHook& entered;
    Walked& walked;
    Lines& list;
    std::vector<std::string> ancestors;

    // base: the folder without a "\" at its end; identity: the folder's, already known from
    // its parent's check and recorded in walked.
    void folder(const std::string& base, std::string identity, bool found) {
        const std::optional<FolderContents> read = readfolder(fs, base, identity, pattern, found);
        if (!read) return;
        if (entered) entered(WalkPlace{listable(base), read->subfolders, read->files});
        ancestors.push_back(std::move(identity));
        std::vector<std::string> files;
        for (const auto& name : read->files) {
            std::string path = base + "\\" + name;
            if (!metbefore(fs, path, name, walked)) files.push_back(std::move(path));
        }
        for (std::size_t i = 0; i < read->subfolders.size(); ++i) {
            subfolder(base + "\\" + read->subfolders[i], read->identities[i]);
        }
        list.insert(list.end(), files.begin(), files.end());
        ancestors.pop_back();
    }

    // identity: what the folder's reading gave, or empty.
    void subfolder(const std::string& path, std::string identity) {
        try {
            if (identity.empty()) identity = fs.folderidentity(path);
        } catch (const Failure&) {
            // Gone since the folder was read: nothing left to find there.
            if (!fs.hasfolder(path)) return;
            throw;
        }
        // A folder walked before (reached again through a link, or under a name Windows reads
        // as another) holds nothing new; an ancestor is always among them.
        if (std::find(ancestors.begin(), ancestors.end(), identity) == ancestors.end() &&
            walked.folders.insert(identity).second) {
            folder(path, std::move(identity), true);
        }
    }
};

// The identities of the folders above folder, from its root down: a link to one of them
// would lead the walk out of folder and back over it.
std::vector<std::string> identitiesabove(FileSystem& fs, const std::string& base) {
    std::vector<std::string> identities;
    for (std::size_t separator = base.find('\\'); separator != std::string::npos;
         separator = base.find('\\', separator + 1)) {
        identities.push_back(fs.folderidentity(base.substr(0, separator + 1)));
    }
    return identities;
}

}  // namespace

bool walkfolders(FileSystem& fs, const std::string& folder, const std::string& pattern,
                 const WalkHook& entered, Walked& walked, Lines& list) {
    // A player who never made a map has no per-user galaxy folder yet.
    if (!fs.hasfolder(folder)) return false;
    std::string base = folder;
    while (base.ends_with('\\')) base.pop_back();
    Walk walk{fs, pattern, entered, walked, list, identitiesabove(fs, base)};
    std::string identity = fs.folderidentity(listable(base));
    // The same folder given again, or one a walk before has entered, holds nothing new.
    if (!walked.folders.insert(identity).second) return false;
    walk.folder(base, std::move(identity), false);
    return true;
}

}  // namespace hostenv

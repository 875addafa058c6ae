// The one door from both programs to the file system. Paths are Windows paths
// ("C:\Games\Zarn\x.galaxy"); hidden and system entries are never found or listed, though a
// path's description tells what is there whatever it is.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/failure.h"

namespace hostenv {

enum class Entries { files, foldersandfiles };

// One entry of a folder as the folder's listing gives it.
struct FolderEntry {
    std::string name;
    // The short (8.3) name the listing gives with it, by which the system opens a name it
    // forbids; empty when it gives none.
    std::string shortname;
    // A subfolder's identity (as describe gives it) where the listing came with it; empty
    // where it did not (a link: its identity is where it leads), and for a file.
    std::string identity;
};

// One reading of a folder: its subfolders, and its files that match a pattern, each in name
// order.
struct FolderContents {
    std::vector<FolderEntry> subfolders;
    std::vector<FolderEntry> files;
};

// The names of entries, in their order.
inline std::vector<std::string> names(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> found;
    found.reserve(entries.size());
    for (const auto& entry : entries) found.push_back(entry.name);
    return found;
}

enum class What { missing, file, folder };

// The parts of a description that cost more than the one attribute query its other parts come
// from (on Windows each opens the path, or follows its links), asked for by these flags.
struct Ask {
    static constexpr unsigned identity = 1u << 0;
    static constexpr unsigned target = 1u << 1;
    static constexpr unsigned final = 1u << 2;
};

// What is at a path.
struct Description {
    What what = What::missing;
    // A file's size in bytes, known before it is read.
    std::uint64_t size = 0;
    bool readonly = false;
    // Ask::identity: what tells folders, and files, apart behind links, junctions and other
    // names: the volume, ":", and the file index, in decimal ("2417:0:5532", the index's parts
    // parted by ":" too where it has several), so that a walk never enters a folder inside
    // itself again nor lists a file twice. Some network file systems give every file the index
    // 0, or one index to several files: a walk then tells folders apart by where they lead.
    std::string identity;
    // Ask::target: where the entry leads when it is itself a link (a symbolic link, a junction
    // or another reparse point), every link on the way followed, as a path of this file system
    // where it can be one: it is not the file its name says. nullopt for an ordinary entry or
    // when nothing is there. Deleting through a link may delete what it leads to, so a removal
    // asks first.
    std::optional<std::string> target;
    // Ask::final: the path as the system reaches it once every link on its way is followed
    // ("C:\...", "\\server\..."); nullopt when nothing is there. Whether a path lies inside a
    // folder is told by these, not by the names, which a link may lead anywhere.
    std::optional<std::string> final;
};

// A new file written from its start on, piece after piece, and written through to the disk
// when asked: a record that must outlive a killed run is flushed before what it protects
// changes. Closed when it goes; whatever was appended stays.
class AppendFile {
  public:
    virtual ~AppendFile() = default;
    // Writes bytes after those written before; throws Failure naming the file and the
    // system's reason.
    virtual void append(std::string_view bytes) = 0;
    // Writes everything appended so far through to the disk; throws Failure.
    virtual void flush() = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Drive texts such as "C:", in letter order.
    virtual std::vector<std::string> drives() = 0;

    // folder's subfolders, and its files that match pattern ("" lists none), in as few calls
    // as the system allows: a walk reads every folder of the game. identity: the folder's own,
    // as describe gave it, with which the listing gives its subfolders' identities where it
    // can (what they share with it need not be asked again); empty where none are wanted.
    // Throws Failure when folder cannot be opened.
    virtual FolderContents readfolder(const std::string& folder, const std::string& identity,
                                      const std::string& pattern) = 0;

    // What is at path, with the costly parts ask names (Ask flags, 0 for none); no part costs
    // a call unless it is asked for. Nothing there is an answer (What::missing); throws Failure
    // ("Cannot look for ...", with the system's reason) when the system cannot answer (access
    // denied, a bad or too long name): a guess would let a link loop pass unseen, or a file be
    // taken for gone.
    virtual Description describe(const std::string& path, unsigned ask) = 0;

    // The name of the first entry that matches path, whose last component may hold "*" and
    // "?", as the system matches names (on Windows a short name matches too, and a name only a
    // match reaches is found); nullopt when nothing matches. Throws Failure, with the system's
    // reason, when the system cannot look: that is not "not there".
    virtual std::optional<std::string> lookup(const std::string& path, Entries what) = 0;

    // Up to length bytes of path from offset on, in place of what bytes held: a caller that
    // reads many files keeps one buffer's memory for all of them. Fewer when the file ends
    // sooner (on Windows one cut short while it is read fails rather than pass for whole).
    // Throws Failure naming the file and the system's reason; a file another program holds for
    // a moment is waited for, as writes wait.
    virtual void readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                          std::string& bytes) = 0;

    // Creates path with bytes as its whole content, writes it through to the disk with the
    // handle that wrote it, and closes it; false, with nothing created, when path exists
    // already. On any other failure nothing is left behind and Failure is thrown.
    virtual bool createfile(const std::string& path, std::string_view bytes) = 0;
    // Creates path for appending; nullptr, with nothing created, when path exists already.
    // Throws Failure naming the file and the system's reason.
    virtual std::unique_ptr<AppendFile> createappending(const std::string& path) = 0;
    // Makes folder, whose parent exists; false when it is a folder already. Throws Failure
    // naming the folder and the system's reason.
    virtual bool makefolder(const std::string& folder) = 0;
    // Moves from over to in one step, replacing it; fails when to is read-only.
    virtual void moveover(const std::string& from, const std::string& to) = 0;
    // Gives from the name to; fails when to exists.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Deletes an ordinary file; fails when it is read-only.
    virtual void remove(const std::string& path) = 0;

    // The whole file, as readpart reads it.
    void readinto(const std::string& path, std::string& bytes) {
        readpart(path, 0, std::numeric_limits<std::size_t>::max(), bytes);
    }
    std::string readfile(const std::string& path) {
        std::string bytes;
        readinto(path, bytes);
        return bytes;
    }
    // Whether folder exists as a folder; throws Failure when the system cannot tell.
    bool hasfolder(const std::string& folder) { return describe(folder, 0).what == What::folder; }
    // The size of the file at path; throws Failure naming it when nothing is there.
    std::uint64_t filesize(const std::string& path) {
        const Description file = describe(path, 0);
        if (file.what == What::missing)
            throw Failure("Cannot read " + path + "\r\nIt is not there.");
        return file.size;
    }
};

}  // namespace hostenv

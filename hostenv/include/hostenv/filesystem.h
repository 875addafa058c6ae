// The one door from both programs to the file system. Paths are Windows paths
// ("C:\Games\Zarn\x.galaxy"); hidden and system entries are never found or listed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostenv {

enum class Entries { files, foldersandfiles };

// One reading of a folder: its subfolders' names, with the identity (as folderidentity gives
// it) of each where the reading came with it and empty where it did not (a link: its identity
// is where it leads), and the names of its files that match a pattern; each in name order.
struct FolderContents {
    std::vector<std::string> subfolders;
    std::vector<std::string> identities;
    std::vector<std::string> files;
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

    // The name of the first entry that matches path, whose last component may hold
    // "*" and "?"; nullopt when nothing matches. Throws Failure, with the system's reason,
    // when the system cannot look (access denied, a bad or too long name): that is not
    // "not there".
    virtual std::optional<std::string> lookup(const std::string& path, Entries what) = 0;

    // Whether folder exists as a folder; throws Failure when the system cannot tell.
    virtual bool hasfolder(const std::string& folder) = 0;

    // The whole file as bytes, in place of what bytes held: a caller that reads many files
    // keeps one buffer's memory for all of them. Throws Failure naming the file and the
    // system's reason; a file another program holds for a moment is waited for, as writes
    // wait.
    virtual void readinto(const std::string& path, std::string& bytes) = 0;
    // The same, as a string of its own.
    std::string readfile(const std::string& path) {
        std::string bytes;
        readinto(path, bytes);
        return bytes;
    }

    // The size of an ordinary file in bytes, known before it is read. Throws Failure naming
    // the file and the system's reason.
    virtual std::uint64_t filesize(const std::string& path) = 0;

    // Drive texts such as "C:", in letter order.
    virtual std::vector<std::string> drives() = 0;

    // Names of the immediate subfolders of folder, and of its ordinary files that
    // match pattern, each in name order. Throw Failure when folder cannot be opened.
    virtual std::vector<std::string> subfolders(const std::string& folder) = 0;
    virtual std::vector<std::string> files(const std::string& folder,
                                           const std::string& pattern) = 0;
    // Both, and what identities the system gives with them, in as few calls as it can: a walk
    // reads every folder of the game. identity: the folder's own, as folderidentity gave it
    // (what its subfolders share with it need not be asked again). Throws Failure when folder
    // cannot be opened.
    virtual FolderContents readfolder(const std::string& folder,
                                      [[maybe_unused]] const std::string& identity,
                                      const std::string& pattern) {
        FolderContents contents{subfolders(folder), {}, files(folder, pattern)};
        contents.identities.resize(contents.subfolders.size());
        return contents;
    }

    // What tells folders, and files, apart behind links, junctions and other names: the
    // volume, ":", and the file index, in decimal ("2417:0:5532", the index's parts parted by
    // ":" too where it has several), so that a walk never enters a folder inside itself again
    // nor lists a file twice. Some network file systems give every file the index 0, or one
    // index to several files: a walk then tells folders apart by where they lead. Throws
    // Failure ("Cannot look for ...", with the system's reason) when the system cannot
    // answer: a guess would let a link loop pass unseen.
    virtual std::string folderidentity(const std::string& folder) = 0;

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
    // Up to length bytes of path from offset on, in place of what bytes held; fewer when the
    // file ends sooner. Throws Failure naming the file and the system's reason.
    virtual void readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                          std::string& bytes) = 0;
    // Moves from over to in one step, replacing it; fails when to is read-only.
    virtual void moveover(const std::string& from, const std::string& to) = 0;
    // Gives from the name to; fails when to exists.
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Deletes an ordinary file; fails when it is read-only.
    virtual void remove(const std::string& path) = 0;

    // Where path leads when the entry itself is a link (a symbolic link, a junction or
    // another reparse point), every link on the way followed, as a path of this file system
    // where it can be one: it is not the file its name says. nullopt for an ordinary file
    // or when nothing is there. Deleting through a link may delete what it leads to, so a
    // removal asks first. Throws Failure when the system cannot look.
    virtual std::optional<std::string> linktarget(const std::string& path) = 0;
    // The path as the system reaches it once every link on its way is followed ("C:\...",
    // "\\server\..."); nullopt when nothing is there. Whether a path lies inside a folder is
    // told by these, not by the names, which a link may lead anywhere.
    virtual std::optional<std::string> finalpath(const std::string& path) = 0;
};

}  // namespace hostenv

// The one door from both programs to the file system. Paths are Windows paths
// ("C:\Games\Zarn\x.galaxy"); hidden and system entries are never found or listed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hostenv {

enum class Entries { files, foldersandfiles };

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The name of the first entry that matches path, whose last component may hold
    // "*" and "?"; nullopt when nothing matches.
    virtual std::optional<std::string> lookup(const std::string& path, Entries what) = 0;

    // The whole file as bytes. Throws Failure naming the file and the reason.
    virtual std::string readfile(const std::string& path) = 0;

    // Drive texts such as "C:", in letter order.
    virtual std::vector<std::string> drives() = 0;

    // Names of the immediate subfolders of folder, and of its ordinary files that
    // match pattern, each in name order. Throw Failure when folder cannot be opened.
    virtual std::vector<std::string> subfolders(const std::string& folder) = 0;
    virtual std::vector<std::string> files(const std::string& folder,
                                           const std::string& pattern) = 0;
};

}  // namespace hostenv

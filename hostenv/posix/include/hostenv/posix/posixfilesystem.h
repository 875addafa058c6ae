// The file system over a drive map: "C:" stands for a folder of the host, so that
// Windows paths, roots and "\" separators behave in native runs as on Windows.
// Names starting with "." count as hidden; a file without its owner's write
// permission counts as read-only.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "hostenv/filesystem.h"

namespace hostenv::posix {

class PosixFileSystem : public FileSystem {
  public:
    // cwd: the Windows path that bare file names are relative to, e.g. "C:\tools".
    PosixFileSystem(std::map<char, std::filesystem::path> drives, std::string cwd);

    std::vector<std::string> drives() override;
    FolderContents readfolder(const std::string& folder, const std::string& identity,
                              const std::string& pattern) override;
    Description describe(const std::string& path, unsigned ask) override;
    std::optional<std::string> lookup(const std::string& path, Entries what) override;
    void readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                  std::string& bytes) override;
    bool createfile(const std::string& path, std::string_view bytes) override;
    std::unique_ptr<AppendFile> createappending(const std::string& path) override;
    bool makefolder(const std::string& folder) override;
    void moveover(const std::string& from, const std::string& to) override;
    void rename(const std::string& from, const std::string& to) override;
    void remove(const std::string& path) override;

    // The host path of a Windows path; letter case of each component is matched
    // without regard to case when the exact name does not exist.
    std::filesystem::path hostpath(const std::string& windowspath) const;

  private:
    std::map<char, std::filesystem::path> drives_;
    std::string cwd_;
};

}  // namespace hostenv::posix

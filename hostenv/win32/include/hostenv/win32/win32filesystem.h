// The file system through the Windows API's W functions: names are UTF-8 here, UTF-16 there.
#pragma once

#include "hostenv/filesystem.h"

namespace hostenv::win32 {

class Win32FileSystem : public FileSystem {
  public:
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
};

}  // namespace hostenv::win32

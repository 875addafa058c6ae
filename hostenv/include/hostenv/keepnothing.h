// A file system that sees the disk as it is and keeps nothing written to it: a check runs the
// very code of a change through it, so that it decides as the change would and writes nothing.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/filesystem.h"

namespace hostenv {

class KeepNothing final : public FileSystem {
  public:
    explicit KeepNothing(FileSystem& disk) : disk_(disk) {}

    std::vector<std::string> drives() override { return disk_.drives(); }
    FolderContents readfolder(const std::string& folder, const std::string& identity,
                              const std::string& pattern) override {
        return disk_.readfolder(folder, identity, pattern);
    }
    Description describe(const std::string& path, unsigned ask) override {
        return disk_.describe(path, ask);
    }
    std::optional<std::string> lookup(const std::string& path, Entries what) override {
        return disk_.lookup(path, what);
    }
    void readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                  std::string& bytes) override {
        disk_.readpart(path, offset, length, bytes);
    }

    // Each write answers as the disk would where that answer is known before writing (a name
    // taken, a read-only file), and then keeps nothing.
    bool createfile(const std::string& path, std::string_view bytes) override;
    std::unique_ptr<AppendFile> createappending(const std::string& path) override;
    bool makefolder(const std::string& folder) override;
    void moveover(const std::string& from, const std::string& to) override;
    void rename(const std::string& from, const std::string& to) override;
    void remove(const std::string& path) override;

  private:
    FileSystem& disk_;
};

}  // namespace hostenv

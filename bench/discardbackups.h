// The programs' file system with every appending file writing to nowhere: galmend's fix, or
// tallyhold's silent run, runs its own code, backup set and all, but the set's bytes are never
// written or flushed, so that a run through it against one through the plain file system gives
// what keeping the old files costs.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/filesystem.h"

namespace bench {

class DiscardBackups : public hostenv::FileSystem {
  public:
    explicit DiscardBackups(hostenv::FileSystem& fs) : fs_(fs) {}

    std::vector<std::string> drives() override { return fs_.drives(); }
    hostenv::FolderContents readfolder(const std::string& folder, const std::string& identity,
                                       const std::string& pattern) override {
        return fs_.readfolder(folder, identity, pattern);
    }
    hostenv::Description describe(const std::string& path, unsigned ask) override {
        return fs_.describe(path, ask);
    }
    std::optional<std::string> lookup(const std::string& path, hostenv::Entries what) override {
        return fs_.lookup(path, what);
    }
    void readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                  std::string& bytes) override {
        fs_.readpart(path, offset, length, bytes);
    }
    bool createfile(const std::string& path, std::string_view bytes) override {
        return fs_.createfile(path, bytes);
    }
    // Only the backup set is written so.
    std::unique_ptr<hostenv::AppendFile> createappending(const std::string& path) override;
    bool makefolder(const std::string& folder) override { return fs_.makefolder(folder); }
    void moveover(const std::string& from, const std::string& to) override {
        fs_.moveover(from, to);
    }
    void rename(const std::string& from, const std::string& to) override { fs_.rename(from, to); }
    void remove(const std::string& path) override { fs_.remove(path); }

  private:
    hostenv::FileSystem& fs_;
};

}  // namespace bench

// Fails the Nth file operation (a listing, a look, a read, write, flush, rename or delete) of
// the file system it wraps, once or from then on, as a failing disk, a busy file or a network
// that drops would. A write to a file open for appending counts too, and fails with nothing of
// it written.
#pragma once

#include <memory>
#include <string>

#include "hostenv/failure.h"
#include "hostenv/filesystem.h"

namespace hostenv::testing {

class FaultyFileSystem : public FileSystem {
  public:
    // failat: the 1-based operation that fails first; 0 fails nothing.
    FaultyFileSystem(FileSystem& inner, int failat, bool persistent)
        : inner_(inner), failat_(failat), persistent_(persistent) {}

    int operations() const { return operations_; }
    int failures() const { return failures_; }

    std::vector<std::string> drives() override {
        fault("list", "the drives");
        return inner_.drives();
    }
    FolderContents readfolder(const std::string& folder, const std::string& identity,
                              const std::string& pattern) override {
        fault("list", folder);
        return inner_.readfolder(folder, identity, pattern);
    }
    Description describe(const std::string& path, unsigned ask) override {
        fault("look at", path);
        return inner_.describe(path, ask);
    }
    std::optional<std::string> lookup(const std::string& path, Entries what) override {
        fault("look for", path);
        return inner_.lookup(path, what);
    }
    void readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                  std::string& bytes) override {
        fault("read", path);
        inner_.readpart(path, offset, length, bytes);
    }
    bool createfile(const std::string& path, std::string_view bytes) override {
        fault("write", path);
        if (!inner_.createfile(path, bytes)) return false;
        // A failing flush, after which the file system leaves nothing behind.
        try {
            fault("flush", path);
        } catch (const Failure&) {
            inner_.remove(path);
            throw;
        }
        return true;
    }
    std::unique_ptr<AppendFile> createappending(const std::string& path) override {
        fault("create", path);
        auto file = inner_.createappending(path);
        if (!file) return nullptr;
        return std::make_unique<Appending>(*this, std::move(file), path);
    }
    bool makefolder(const std::string& folder) override {
        fault("create", folder);
        return inner_.makefolder(folder);
    }
    void moveover(const std::string& from, const std::string& to) override {
        fault("replace", to);
        inner_.moveover(from, to);
    }
    void rename(const std::string& from, const std::string& to) override {
        fault("rename", from);
        inner_.rename(from, to);
    }
    void remove(const std::string& path) override {
        fault("delete", path);
        inner_.remove(path);
    }

  private:
    class Appending : public AppendFile {
      public:
        Appending(FaultyFileSystem& owner, std::unique_ptr<AppendFile> inner, std::string path)
            : owner_(owner), inner_(std::move(inner)), path_(std::move(path)) {}
        void append(std::string_view bytes) override {
            owner_.fault("write", path_);
            inner_->append(bytes);
        }
        void flush() override {
            owner_.fault("flush", path_);
            inner_->flush();
        }

      private:
        FaultyFileSystem& owner_;
        std::unique_ptr<AppendFile> inner_;
        std::string path_;
    };

    void fault(const char* operation, const std::string& path) {
        ++operations_;
        if (failat_ > 0 && (operations_ == failat_ || (persistent_ && operations_ > failat_))) {
            ++failures_;
            throw Failure(std::string("Injected fault: ") + operation + " " + path);
        }
    }

    FileSystem& inner_;
    int failat_;
    bool persistent_;
    int operations_ = 0;
    int failures_ = 0;
};

}  // namespace hostenv::testing

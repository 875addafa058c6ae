// Creating, writing, moving and removing files.
#include "hostenv/posix/posixfilesystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "hostenv/failure.h"
#include "posixfailure.h"

namespace hostenv::posix {

namespace fs = std::filesystem;

namespace {

void refusereadonly(const fs::path& host, const std::string& what, const std::string& path) {
    struct stat info {};
    if (::stat(host.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0) {
        throw Failure(what + " " + path + "\r\nThe file is read-only.");
    }
}

}  // namespace

bool PosixFileSystem::createfile(const std::string& path, std::string_view bytes) {
    const fs::path host = hostpath(path);
    const int file = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (file < 0) {
        if (errno == EEXIST) return false;
        fail("Cannot create", path, errno);
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(file, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(file);
            ::unlink(host.c_str());
            fail("Cannot write", path, error);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(file) != 0) {
        const int error = errno;
        ::close(file);
        ::unlink(host.c_str());
        fail("Cannot flush", path, error);
    }
    if (::close(file) != 0) {
        const int error = errno;
        ::unlink(host.c_str());
        fail("Cannot write", path, error);
    }
    return true;
}

namespace {

class PosixAppendFile : public AppendFile {
  public:
    PosixAppendFile(int file, std::string path) : file_(file), path_(std::move(path)) {}
    ~PosixAppendFile() override { ::close(file_); }
    PosixAppendFile(const PosixAppendFile&) = delete;
    PosixAppendFile& operator=(const PosixAppendFile&) = delete;

    void append(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(file_, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) continue;
                fail("Cannot write", path_, errno);
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    void flush() override {
        if (::fsync(file_) != 0) fail("Cannot flush", path_, errno);
    }

  private:
    int file_;
    std::string path_;
};

}  // namespace

std::unique_ptr<AppendFile> PosixFileSystem::createappending(const std::string& path) {
    const int file =
        ::open(hostpath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (file < 0) {
        if (errno == EEXIST) return nullptr;
        fail("Cannot create", path, errno);
    }
    return std::make_unique<PosixAppendFile>(file, path);
}

bool PosixFileSystem::makefolder(const std::string& folder) {
    const fs::path host = hostpath(folder);
    if (host.empty()) throw Failure("Cannot create " + folder + "\r\nNo such drive.");
    if (::mkdir(host.c_str(), 0755) == 0) return true;
    const int error = errno;
    struct stat info {};
    if (error == EEXIST && ::stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
    fail("Cannot create", folder, error);
}

void PosixFileSystem::moveover(const std::string& from, const std::string& to) {
    const fs::path target = hostpath(to);
    refusereadonly(target, "Cannot replace", to);
    if (::rename(hostpath(from).c_str(), target.c_str()) != 0) fail("Cannot replace", to, errno);
}

void PosixFileSystem::rename(const std::string& from, const std::string& to) {
    // link fails when the new name exists, which a plain rename would replace.
    const fs::path source = hostpath(from);
    const fs::path target = hostpath(to);
    if (::link(source.c_str(), target.c_str()) != 0) {
        fail("Cannot rename " + from + " to", to, errno);
    }
    if (::unlink(source.c_str()) != 0) {
        const int error = errno;
        ::unlink(target.c_str());
        fail("Cannot rename " + from + " to", to, error);
    }
}

void PosixFileSystem::remove(const std::string& path) {
    const fs::path host = hostpath(path);
    refusereadonly(host, "Cannot delete", path);
    if (::unlink(host.c_str()) != 0) fail("Cannot delete", path, errno);
}

}  // namespace hostenv::posix

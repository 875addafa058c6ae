#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "benchhost.h"
#include "hostenv/posix/posixfilesystem.h"
#include "hostenv/text.h"

namespace bench {

namespace fs = std::filesystem;

namespace {

class PosixFiles : public HostFiles {
  public:
    explicit PosixFiles(const fs::path& root) : root_(root), fs_({{'C', root}}, "C:\\tools") {}
    hostenv::FileSystem& fs() override { return fs_; }
    std::string windowspath(const fs::path& path) const override {
        std::string relative = fs::relative(path, root_).generic_string();
        for (char& c : relative) {
            if (c == '/') c = '\\';
        }
        return relative == "." ? "C:\\" : "C:\\" + relative;
    }

  private:
    fs::path root_;
    hostenv::posix::PosixFileSystem fs_;
};

[[noreturn]] void fail(const std::string& what, const fs::path& path) {
    throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::unique_ptr<HostFiles> hostfiles(const fs::path& root) {
    return std::make_unique<PosixFiles>(root);
}

const char* hostname() {
    return "native, PosixFileSystem";
}

void copyfile(const fs::path& from, const fs::path& to, bool flush) {
    const Descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) fail("cannot open", from);
    const Descriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (out.get() < 0) fail("cannot create", to);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0) fail("cannot read", from);
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ::write(out.get(), buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0) fail("cannot write", to);
            done += put;
        }
    }
    if (flush && ::fsync(out.get()) != 0) fail("cannot flush", to);
}

namespace {

void writeall(const Descriptor& out, std::string_view text, const fs::path& to) {
    // One call, unless the system takes less than all of it.
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t put = ::write(out.get(), text.data() + done, text.size() - done);
        if (put < 0) fail("cannot write", to);
        done += static_cast<std::size_t>(put);
    }
}

}  // namespace

void replacewithcopy(const fs::path& file) {
    std::string bytes;
    {
        const Descriptor in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info {};
        if (in.get() < 0 || ::fstat(in.get(), &info) != 0) fail("cannot open", file);
        bytes.resize(static_cast<std::size_t>(info.st_size));
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t got = ::read(in.get(), bytes.data() + done, bytes.size() - done);
            if (got <= 0) fail("cannot read", file);
            done += static_cast<std::size_t>(got);
        }
    }
    fs::path temporary = file;
    temporary += ".tmp";
    {
        const Descriptor out(
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (out.get() < 0) fail("cannot create", temporary);
        writeall(out, bytes, temporary);
        if (::fsync(out.get()) != 0) fail("cannot flush", temporary);
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) fail("cannot replace", file);
}

void writefile(const fs::path& to, std::string_view text) {
    const Descriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.get() < 0) fail("cannot create", to);
    writeall(out, text, to);
}

void syncfolder(const fs::path&) {
    ::sync();
}

std::vector<std::string> plainsearch(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        if (hostenv::matchespattern(name, "*.galaxy")) found.push_back(entry.path().string());
    }
    return found;
}

double discoverytarget() {
    return 3;
}

// The memory's high-water mark as /proc gives it: getrusage's ru_maxrss carries over the peak
// of the process that runself started this one from.
std::uint64_t peakmemory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) return std::stoull(line.substr(6)) * 1024;  // kB
    }
    throw std::runtime_error("/proc/self/status gives no VmHWM");
}

int runself(const std::vector<std::string>& args) {
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    std::vector<std::string> words{self};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int failed = ::posix_spawn(&child, self.c_str(), nullptr, nullptr, argv.data(), environ);
    if (failed != 0) {
        throw std::runtime_error("cannot run " + self + ": " + std::strerror(failed));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) fail("cannot wait for", self);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace bench

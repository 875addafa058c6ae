#include "hostenv/posix/posixfilesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "hostenv/failure.h"
#include "hostenv/paths.h"
#include "hostenv/text.h"
#include "posixfailure.h"

namespace hostenv::posix {

namespace fs = std::filesystem;

namespace {

bool hidden(const fs::path& entry) {
    return entry.filename().string().starts_with(".");
}

std::vector<std::string> split(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// Names in order of their lowered text, each lowered once.
std::vector<std::string> sortednames(std::vector<std::pair<std::string, std::string>> keyed) {
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> names;
    names.reserve(keyed.size());
    for (auto& [key, name] : keyed) names.push_back(std::move(name));
    return names;
}

// Entries in order of their lowered names.
std::vector<FolderEntry> sortedentries(std::vector<std::pair<std::string, FolderEntry>> keyed) {
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
    });
    std::vector<FolderEntry> entries;
    entries.reserve(keyed.size());
    for (auto& [key, entry] : keyed) entries.push_back(std::move(entry));
    return entries;
}

std::string identityof(const struct stat& info) {
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

// The Windows path of a host path on one of the drives; the host path itself elsewhere.
std::string windowspath(const std::map<char, fs::path>& drives, const fs::path& host) {
    for (const auto& [letter, root] : drives) {
        std::error_code ec;
        const fs::path canonicalroot = fs::weakly_canonical(root, ec);
        const fs::path below = host.lexically_relative(ec ? root : canonicalroot);
        if (below.empty() || *below.begin() == "..") continue;
        std::string windows = std::string(1, letter) + ":\\";
        if (below == ".") return windows;
        for (const auto& part : below) windows = joinpath(windows, part.string());
        return windows;
    }
    return host.string();
}

enum class Kind { folder, file, other };

// What an entry is behind links, as std::filesystem's is_directory and is_regular_file see it.
Kind kindof(const fs::path& folder, const dirent& entry) {
    if (entry.d_type == DT_DIR) return Kind::folder;
    if (entry.d_type == DT_REG) return Kind::file;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return Kind::other;
    struct stat info {};
    if (::stat((folder / entry.d_name).c_str(), &info) != 0) return Kind::other;
    if (S_ISDIR(info.st_mode)) return Kind::folder;
    return S_ISREG(info.st_mode) ? Kind::file : Kind::other;
}

// Calls visit(entry, folder's descriptor) for each visible entry of folder, read straight
// from the folder.
template <class Visit>
void visitfolder(const std::string& folder, const fs::path& host, Visit visit) {
    if (host.empty()) throw Failure("Path not found: " + folder + "\r\nNo such drive.");
    DIR* const handle = ::opendir(host.c_str());
    if (handle == nullptr)
        throw Failure("Path not found: " + folder + "\r\n" + std::strerror(errno));
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(handle);
        if (entry == nullptr) break;
        if (!std::string_view(entry->d_name).starts_with(".")) visit(*entry, ::dirfd(handle));
    }
    const int error = errno;
    ::closedir(handle);
    if (error != 0) throw Failure("Cannot list folder " + folder + "\r\n" + std::strerror(error));
}

// The entry of folder whose name lower folds to wanted.
std::optional<std::string> samenameentry(const fs::path& folder, const std::string& wanted) {
    DIR* const handle = ::opendir(folder.c_str());
    if (handle == nullptr) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(handle)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != ".." && lower(name) == wanted) {
            found = std::string(name);
            break;
        }
    }
    ::closedir(handle);
    return found;
}

}  // namespace

PosixFileSystem::PosixFileSystem(std::map<char, fs::path> drives, std::string cwd)
    : drives_(std::move(drives)), cwd_(std::move(cwd)) {}

fs::path PosixFileSystem::hostpath(const std::string& windowspath) const {
    std::string given = windowspath;
    if (given.starts_with("\\")) {
        given = cwd_.substr(0, 2) + given;  // the root of the current drive
    } else if (given.size() < 2 || given[1] != ':') {
        given = joinpath(cwd_, given);
    }
    // Resolved as Windows resolves it, before any folder of the host is met: a ".." must not
    // lead out of the folder that stands for the drive.
    const auto resolved = resolveddots(given);
    if (!resolved) {
        throw Failure("Path not found: " + windowspath +
                      "\r\nIt leads above the root of its drive.");
    }
    const std::string& full = *resolved;
    const auto drive =
        drives_.find(static_cast<char>(std::toupper(static_cast<unsigned char>(full[0]))));
    if (drive == drives_.end()) return {};
    fs::path result = drive->second;
    const auto parts = split(full.substr(2));
    fs::path direct = drive->second;
    for (const auto& part : parts) {
        if (!part.empty()) direct /= part;
    }
    std::error_code ec;
    // A path that exists as written needs no search for other letter case.
    if (fs::exists(direct, ec)) return direct;
    for (const auto& part : parts) {
        if (part.empty()) continue;
        fs::path next = result / part;
        if (!fs::exists(next, ec) && fs::is_directory(result, ec)) {
            // Windows names compare without regard to letter case. Every new file's name comes
            // here, so the folder is read without a path object for each of its entries.
            if (const auto found = samenameentry(result, lower(part))) next = result / *found;
        }
        result = next;
    }
    return result;
}

namespace {

// What stat says of host: nullopt when nothing is there; Failure naming path when the
// system cannot tell.
std::optional<struct stat> statof(const fs::path& host, const std::string& path) {
    struct stat info {};
    if (host.empty()) return std::nullopt;
    if (::stat(host.c_str(), &info) == 0) return info;
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw Failure("Cannot look for " + path + "\r\n" + std::strerror(errno));
}

}  // namespace

std::optional<std::string> PosixFileSystem::lookup(const std::string& path, Entries what) {
    const std::string last(lastcomponent(path));
    std::error_code ec;
    if (last.find_first_of("*?") == std::string::npos) {
        // hostpath resolves "." and "..", so "folder\." names the folder itself.
        const fs::path host = hostpath(path);
        const auto info = statof(host, path);
        if (!info || hidden(host)) return std::nullopt;
        if (what == Entries::files && S_ISDIR(info->st_mode)) return std::nullopt;
        return host.filename().string();
    }
    const std::string folder = parentpath(path);
    const fs::path host = hostpath(folder.empty() ? "." : folder);
    const auto info = statof(host, path);
    if (!info || !S_ISDIR(info->st_mode)) return std::nullopt;
    fs::directory_iterator entries(host, ec);
    if (ec) throw Failure("Cannot look for " + path + "\r\n" + ec.message());
    std::vector<std::pair<std::string, std::string>> keyed;
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (hidden(entry.path()) || (what == Entries::files && entry.is_directory(ec))) continue;
        if (matchespattern(name, last)) keyed.emplace_back(lower(name), name);
    }
    if (keyed.empty()) return std::nullopt;
    return sortednames(std::move(keyed)).front();
}

std::vector<std::string> PosixFileSystem::drives() {
    std::vector<std::string> letters;
    for (const auto& [letter, folder] : drives_) letters.push_back(std::string(1, letter) + ":");
    return letters;
}

// One pass. A subfolder's identity comes from its own stat, as describe's does: the inode a
// folder listing gives may differ from it (a mount point, some layered file systems).
FolderContents PosixFileSystem::readfolder(const std::string& folder, const std::string& own,
                                           const std::string& pattern) {
    const fs::path host = hostpath(folder);
    std::vector<std::pair<std::string, FolderEntry>> folders;
    std::vector<std::pair<std::string, FolderEntry>> files;
    visitfolder(folder, host, [&](const dirent& entry, int descriptor) {
        const std::string name = entry.d_name;
        const Kind kind = kindof(host, entry);
        if (kind == Kind::file && matchespattern(name, pattern))
            files.emplace_back(lower(name), FolderEntry{name, "", ""});
        if (kind != Kind::folder) return;
        struct stat info {};
        std::string identity;
        if (!own.empty() && ::fstatat(descriptor, name.c_str(), &info, 0) == 0) {
            identity = identityof(info);
        }
        folders.emplace_back(lower(name), FolderEntry{name, "", std::move(identity)});
    });
    return FolderContents{sortedentries(std::move(folders)), sortedentries(std::move(files))};
}

namespace {

// Where the link host leads once every link is followed, as Windows gives a final path; a
// dangling link leads where its text says. nullopt when host is no link.
std::optional<fs::path> linkedto(const fs::path& host, const std::string& path) {
    struct stat info {};
    if (host.empty()) return std::nullopt;
    if (::lstat(host.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        fail("Cannot look for", path, errno);
    }
    if (!S_ISLNK(info.st_mode)) return std::nullopt;
    std::error_code ec;
    fs::path target = fs::canonical(host, ec);
    if (ec) {
        target = fs::read_symlink(host, ec);
        if (ec) fail("Cannot look for", path, ec.value());
        target = (fs::weakly_canonical(host.parent_path()) / target).lexically_normal();
    }
    return target;
}

}  // namespace

Description PosixFileSystem::describe(const std::string& path, unsigned ask) {
    const fs::path host = hostpath(path);
    Description description;
    if (ask & Ask::target) {
        if (const auto target = linkedto(host, path))
            description.target = windowspath(drives_, *target);
    }
    const auto info = statof(host, path);
    if (!info) return description;
    description.what = S_ISDIR(info->st_mode) ? What::folder : What::file;
    if (description.what == What::file)
        description.size = static_cast<std::uint64_t>(info->st_size);
    description.readonly = (info->st_mode & S_IWUSR) == 0;
    if (ask & Ask::identity) description.identity = identityof(*info);
    if (ask & Ask::final) {
        std::error_code ec;
        const fs::path final = fs::canonical(host, ec);
        if (ec) fail("Cannot look for", path, ec.value());
        description.final = windowspath(drives_, final);
    }
    return description;
}

void PosixFileSystem::readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                               std::string& bytes) {
    const int file = ::open(hostpath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) fail("Cannot read", path, errno);
    // One read into a buffer of the size the file has: a galaxy may be large.
    struct stat info {};
    std::uint64_t left = 0;
    if (::fstat(file, &info) == 0 && static_cast<std::uint64_t>(info.st_size) > offset) {
        left = static_cast<std::uint64_t>(info.st_size) - offset;
    }
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, length)));
    std::size_t done = 0;
    char more[4096];
    while (done < length) {
        // Past the size it had, the file may still have grown.
        const bool full = done == bytes.size();
        const std::size_t wanted =
            full ? std::min(sizeof more, length - done) : bytes.size() - done;
        const ssize_t got = ::pread(file, full ? more : bytes.data() + done, wanted,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(file);
            fail("Cannot read", path, error);
        }
        if (got == 0) break;
        if (full) bytes.append(more, static_cast<std::size_t>(got));
        done += static_cast<std::size_t>(got);
    }
    ::close(file);
    bytes.resize(done);
}

}  // namespace hostenv::posix

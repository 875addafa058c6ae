#include "hostenv/win32/win32filesystem.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "filesystemparts.h"
#include "hostenv/failure.h"
#include "hostenv/text.h"
#include "hostenv/win32/handle.h"
#include "hostenv/win32/widetext.h"
#include "systemerror.h"

namespace hostenv::win32 {

namespace {

bool isfolder(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring_view lastcomponent(std::wstring_view path) {
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// A virus scanner or an indexer may hold a file for a moment: such errors are retried
// for about two seconds before they count.
bool transient(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

template <class Operation>
void retried(Operation operation, const std::string& what) {
    for (int attempt = 0;; ++attempt) {
        if (operation()) return;
        const DWORD error = GetLastError();
        if (!transient(error) || attempt == 20) throw Failure(what + "\r\n" + systemreason(error));
        Sleep(100);
    }
}

// path opened for reading, a brief hold by another program waited out.
FileHandle openforreading(const std::string& path) {
    const std::wstring reached = systempath(path);
    HANDLE opened = INVALID_HANDLE_VALUE;
    retried(
        [&] {
            opened = CreateFileW(reached.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return opened != INVALID_HANDLE_VALUE;
        },
        "Cannot open " + path);
    return FileHandle(opened);
}

}  // namespace

bool hiddenorsystem(DWORD attributes) {
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool isdotentry(std::wstring_view name) {
    return name == L"." || name == L"..";
}

bool byname(const std::string& a, const std::string& b) {
    const std::string lowera = lower(a);
    const std::string lowerb = lower(b);
    return lowera != lowerb ? lowera < lowerb : a < b;
}

void sortbyname(std::vector<FolderEntry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return byname(a.name, b.name); });
}

bool notthere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES || error == ERROR_INVALID_DRIVE ||
           error == ERROR_NOT_READY || error == ERROR_BAD_NETPATH;
}

std::optional<std::string> Win32FileSystem::lookup(const std::string& path, Entries what) {
    WIN32_FIND_DATAW entry{};
    const FindHandle search(FindFirstFileW(systempath(path, Last::asgiven).c_str(), &entry));
    if (!search.valid()) {
        const DWORD error = GetLastError();
        if (notthere(error)) return std::nullopt;
        throw Failure("Cannot look for " + path + "\r\n" + systemreason(error));
    }
    // "." and ".." count only where the path names them itself ("x\." is the folder x).
    const std::wstring widepathtext = widen(path);
    const std::wstring_view named = lastcomponent(widepathtext);
    do {
        const std::wstring_view name = entry.cFileName;
        if (hiddenorsystem(entry.dwFileAttributes)) continue;
        if (what == Entries::files && isfolder(entry)) continue;
        if (isdotentry(name) && name != named) continue;
        return narrow(name);
    } while (FindNextFileW(search.get(), &entry));
    return std::nullopt;
}

std::vector<std::string> Win32FileSystem::drives() {
    std::wstring roots(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()), roots.data());
        if (length == 0) return {};
        if (length < roots.size()) {
            roots.resize(length);
            break;
        }
        roots.assign(length + 1, L'\0');
    }
    std::vector<std::string> drives;
    for (std::size_t start = 0; start < roots.size();) {
        const std::size_t end = std::min(roots.find(L'\0', start), roots.size());
        if (end - start >= 2) drives.push_back(narrow(roots.substr(start, 2)));
        start = end + 1;
    }
    return drives;
}

namespace {

void refusereadonly(const std::wstring& reached, const std::string& what) {
    const DWORD attributes = GetFileAttributesW(reached.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        throw Failure(what + "\r\nThe file is read-only.");
    }
}

}  // namespace

bool Win32FileSystem::createfile(const std::string& path, std::string_view bytes) {
    const std::wstring widened = systempath(path);
    HANDLE file = CreateFileW(widened.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return false;
        throw Failure("Cannot create " + path + "\r\n" + systemreason(error));
    }
    DWORD error = ERROR_SUCCESS;
    while (!bytes.empty() && error == ERROR_SUCCESS) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 24));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            error = GetLastError();
            if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
        }
        bytes.remove_prefix(written);
    }
    // The handle that wrote the data writes it through: a file reopened by name could be
    // another file by then.
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file)) error = GetLastError();
    if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(widened.c_str());
        throw Failure("Cannot write " + path + "\r\n" + systemreason(error));
    }
    return true;
}

namespace {

class Win32AppendFile : public AppendFile {
  public:
    Win32AppendFile(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {}

    void append(std::string_view bytes) override {
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 24));
            DWORD written = 0;
            if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
                const DWORD error = GetLastError();
                throw Failure("Cannot write " + path_ + "\r\n" +
                              systemreason(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error));
            }
            bytes.remove_prefix(written);
        }
    }
    void flush() override {
        if (!FlushFileBuffers(file_.get())) {
            throw Failure("Cannot flush " + path_ + "\r\n" + systemreason(GetLastError()));
        }
    }

  private:
    FileHandle file_;
    std::string path_;
};

}  // namespace

std::unique_ptr<AppendFile> Win32FileSystem::createappending(const std::string& path) {
    // Others may read the file while it grows, as Explorer does to show it.
    HANDLE file = CreateFileW(systempath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return nullptr;
        throw Failure("Cannot create " + path + "\r\n" + systemreason(error));
    }
    return std::make_unique<Win32AppendFile>(file, path);
}

bool Win32FileSystem::makefolder(const std::string& folder) {
    if (CreateDirectoryW(systempath(folder).c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && hasfolder(folder)) return false;
    throw Failure("Cannot create " + folder + "\r\n" + systemreason(error));
}

void Win32FileSystem::readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                               std::string& bytes) {
    const FileHandle file = openforreading(path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        throw Failure("Cannot read " + path + "\r\n" + systemreason(GetLastError()));
    }
    const auto total = static_cast<std::uint64_t>(size.QuadPart);
    const std::uint64_t wanted =
        std::min<std::uint64_t>(total > offset ? total - offset : 0, length);
    if (wanted > bytes.max_size()) {
        throw Failure("Cannot read " + path + "\r\nThe file is too large.");
    }
    bytes.resize(static_cast<std::size_t>(wanted));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        // Read where the part lies: the offset goes with the read, not in a call of its own.
        const std::uint64_t at = offset + done;
        OVERLAPPED from{};
        from.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        from.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, &from)) {
            const DWORD error = GetLastError();
            if (error != ERROR_HANDLE_EOF) {
                throw Failure("Cannot read " + path + "\r\n" + systemreason(error));
            }
            got = 0;
        }
        // A file cut short while it was read must not pass for the whole file.
        if (got == 0) {
            throw Failure("Cannot read " + path + "\r\nThe file ended after " + std::to_string(at) +
                          " of its " + std::to_string(total) +
                          " bytes; another program may be changing it.");
        }
        done += got;
    }
}

void Win32FileSystem::moveover(const std::string& from, const std::string& to) {
    const std::string what = "Cannot replace " + to;
    const std::wstring source = systempath(from);
    const std::wstring target = systempath(to);
    refusereadonly(target, what);
    retried(
        [&] {
            return MoveFileExW(source.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        },
        what);
}

void Win32FileSystem::rename(const std::string& from, const std::string& to) {
    const std::wstring source = systempath(from);
    const std::wstring target = systempath(to);
    retried(
        [&] { return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0; },
        "Cannot rename " + from + " to " + to);
}

void Win32FileSystem::remove(const std::string& path) {
    const std::string what = "Cannot delete " + path;
    const std::wstring reached = systempath(path);
    refusereadonly(reached, what);
    retried([&] { return DeleteFileW(reached.c_str()) != 0; }, what);
}

}  // namespace hostenv::win32

#include "hostenv/win32/win32filesystem.h"

#include <windows.h>

#include <algorithm>
#include <functional>

#include "hostenv/failure.h"
#include "hostenv/text.h"
#include "systemerror.h"

namespace hostenv::win32 {

namespace {

bool hiddenorsystem(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool isfolder(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isdotentry(std::string_view name) {
    return name == "." || name == "..";
}

std::string_view lastcomponent(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

class FindHandle {
  public:
    explicit FindHandle(HANDLE handle) : handle_(handle) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

std::string withseparator(const std::string& folder) {
    return folder.ends_with('\\') ? folder : folder + "\\";
}

// Calls visit for every visible entry of folder other than "." and "..".
void listfolder(const std::string& folder,
                const std::function<void(const WIN32_FIND_DATAA&)>& visit) {
    WIN32_FIND_DATAA entry{};
    const FindHandle search(FindFirstFileA((withseparator(folder) + "*").c_str(), &entry));
    if (search.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // An empty drive root has not even "." and "..".
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
        throw Failure("Path not found: " + folder + "\r\n" + systemreason(error));
    }
    do {
        if (!hiddenorsystem(entry) && !isdotentry(entry.cFileName)) visit(entry);
    } while (FindNextFileA(search.get(), &entry));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        throw Failure("Cannot list folder " + folder + "\r\n" + systemreason(error));
    }
}

void sortbyname(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string lowera = lower(a);
        const std::string lowerb = lower(b);
        return lowera != lowerb ? lowera < lowerb : a < b;
    });
}

}  // namespace

std::optional<std::string> Win32FileSystem::lookup(const std::string& path, Entries what) {
    WIN32_FIND_DATAA entry{};
    const FindHandle search(FindFirstFileA(path.c_str(), &entry));
    if (search.get() == INVALID_HANDLE_VALUE) return std::nullopt;
    // "." and ".." count only where the path names them itself ("x\." is the folder x).
    const std::string_view named = lastcomponent(path);
    do {
        const std::string_view name = entry.cFileName;
        if (hiddenorsystem(entry)) continue;
        if (what == Entries::files && isfolder(entry)) continue;
        if (isdotentry(name) && name != named) continue;
        return std::string(name);
    } while (FindNextFileA(search.get(), &entry));
    return std::nullopt;
}

std::string Win32FileSystem::readfile(const std::string& path) {
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        throw Failure("Cannot open " + path + "\r\n" + systemreason(GetLastError()));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        throw Failure("Cannot read " + path + "\r\n" + systemreason(GetLastError()));
    }
    if (static_cast<unsigned long long>(size.QuadPart) > std::string().max_size()) {
        throw Failure("Cannot read " + path + "\r\nThe file is too large.");
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
            throw Failure("Cannot read " + path + "\r\n" + systemreason(GetLastError()));
        }
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

std::vector<std::string> Win32FileSystem::drives() {
    std::string roots(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetLogicalDriveStringsA(static_cast<DWORD>(roots.size()), roots.data());
        if (length == 0) return {};
        if (length < roots.size()) {
            roots.resize(length);
            break;
        }
        roots.assign(length + 1, '\0');
    }
    std::vector<std::string> drives;
    for (std::size_t start = 0; start < roots.size();) {
        const std::size_t end = std::min(roots.find('\0', start), roots.size());
        if (end - start >= 2) drives.push_back(roots.substr(start, 2));
        start = end + 1;
    }
    return drives;
}

std::vector<std::string> Win32FileSystem::subfolders(const std::string& folder) {
    std::vector<std::string> names;
    listfolder(folder, [&](const WIN32_FIND_DATAA& entry) {
        if (isfolder(entry)) names.emplace_back(entry.cFileName);
    });
    sortbyname(names);
    return names;
}

std::vector<std::string> Win32FileSystem::files(const std::string& folder,
                                                const std::string& pattern) {
    std::vector<std::string> names;
    listfolder(folder, [&](const WIN32_FIND_DATAA& entry) {
        if (!isfolder(entry) && matchespattern(entry.cFileName, pattern)) {
            names.emplace_back(entry.cFileName);
        }
    });
    sortbyname(names);
    return names;
}

}  // namespace hostenv::win32

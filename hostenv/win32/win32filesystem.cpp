#include "hostenv/win32/win32filesystem.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "hostenv/failure.h"
#include "hostenv/text.h"
#include "hostenv/win32/handle.h"
#include "hostenv/win32/widetext.h"
#include "systemerror.h"

namespace hostenv::win32 {

namespace {

bool hiddenorsystem(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool isfolder(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isdotentry(std::wstring_view name) {
    return name == L"." || name == L"..";
}

std::wstring_view lastcomponent(std::wstring_view path) {
    const std::size_t separator = path.find_last_of(L"\\/:");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

std::string withseparator(const std::string& folder) {
    return folder.ends_with('\\') ? folder : folder + "\\";
}

// Calls visit for every visible entry of folder other than "." and "..".
void listfolder(const std::string& folder,
                const std::function<void(const WIN32_FIND_DATAW&)>& visit) {
    WIN32_FIND_DATAW entry{};
    const FindHandle search(FindFirstFileW(widepath(withseparator(folder) + "*").c_str(), &entry));
    if (!search.valid()) {
        const DWORD error = GetLastError();
        // An empty drive root has not even "." and "..".
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
        throw Failure("Path not found: " + folder + "\r\n" + systemreason(error));
    }
    do {
        if (!hiddenorsystem(entry) && !isdotentry(entry.cFileName)) visit(entry);
    } while (FindNextFileW(search.get(), &entry));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        throw Failure("Cannot list folder " + folder + "\r\n" + systemreason(error));
    }
}

bool byname(const std::string& a, const std::string& b) {
    const std::string lowera = lower(a);
    const std::string lowerb = lower(b);
    return lowera != lowerb ? lowera < lowerb : a < b;
}

void sortbyname(std::vector<std::string>& names) {
    std::sort(names.begin(), names.end(), byname);
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
    HANDLE opened = INVALID_HANDLE_VALUE;
    retried(
        [&] {
            opened = CreateFileW(widepath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return opened != INVALID_HANDLE_VALUE;
        },
        "Cannot open " + path);
    return FileHandle(opened);
}

// Errors that mean "nothing there", as opposed to "cannot look".
bool notthere(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_NO_MORE_FILES || error == ERROR_INVALID_DRIVE ||
           error == ERROR_NOT_READY || error == ERROR_BAD_NETPATH;
}

}  // namespace

std::optional<std::string> Win32FileSystem::lookup(const std::string& path, Entries what) {
    WIN32_FIND_DATAW entry{};
    const std::wstring widened = widepath(path);
    const FindHandle search(FindFirstFileW(widened.c_str(), &entry));
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
        if (hiddenorsystem(entry)) continue;
        if (what == Entries::files && isfolder(entry)) continue;
        if (isdotentry(name) && name != named) continue;
        return narrow(name);
    } while (FindNextFileW(search.get(), &entry));
    return std::nullopt;
}

bool Win32FileSystem::hasfolder(const std::string& folder) {
    const DWORD attributes = GetFileAttributesW(widepath(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const DWORD error = GetLastError();
    if (notthere(error)) return false;
    throw Failure("Cannot look for " + folder + "\r\n" + systemreason(error));
}

void Win32FileSystem::readinto(const std::string& path, std::string& bytes) {
    const FileHandle file = openforreading(path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        throw Failure("Cannot read " + path + "\r\n" + systemreason(GetLastError()));
    }
    if (static_cast<unsigned long long>(size.QuadPart) > std::string().max_size()) {
        throw Failure("Cannot read " + path + "\r\nThe file is too large.");
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
            throw Failure("Cannot read " + path + "\r\n" + systemreason(GetLastError()));
        }
        // A file cut short while it was read must not pass for the whole file.
        if (got == 0) {
            throw Failure("Cannot read " + path + "\r\nThe file ended after " +
                          std::to_string(done) + " of its " + std::to_string(bytes.size()) +
                          " bytes; another program may be changing it.");
        }
        done += got;
    }
}

std::uint64_t Win32FileSystem::filesize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(widepath(path).c_str(), GetFileExInfoStandard, &data)) {
        throw Failure("Cannot read " + path + "\r\n" + systemreason(GetLastError()));
    }
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
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

std::vector<std::string> Win32FileSystem::subfolders(const std::string& folder) {
    std::vector<std::string> names;
    listfolder(folder, [&](const WIN32_FIND_DATAW& entry) {
        if (isfolder(entry)) names.push_back(narrow(entry.cFileName));
    });
    sortbyname(names);
    return names;
}

std::vector<std::string> Win32FileSystem::files(const std::string& folder,
                                                const std::string& pattern) {
    std::vector<std::string> names;
    listfolder(folder, [&](const WIN32_FIND_DATAW& entry) {
        if (isfolder(entry)) return;
        std::string name = narrow(entry.cFileName);
        if (matchespattern(name, pattern)) names.push_back(std::move(name));
    });
    sortbyname(names);
    return names;
}

namespace {

// FILE_ID_BOTH_DIR_INFO, as GetFileInformationByHandleEx fills it: Windows XP, whose headers
// the 32-bit build compiles against, has neither.
struct IdDirectoryEntry {
    DWORD NextEntryOffset;
    DWORD FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    DWORD FileAttributes;
    DWORD FileNameLength;
    DWORD EaSize;
    CCHAR ShortNameLength;
    WCHAR ShortName[12];
    LARGE_INTEGER FileId;
    WCHAR FileName[1];
};
static_assert(offsetof(IdDirectoryEntry, FileName) == 104, "the system's layout");

using ByHandleFunction = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
constexpr int fileidbothdirectoryinfo = 10;

ByHandleFunction byhandlefunction() {
    static const ByHandleFunction function = [] {
        const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        return kernel == nullptr ? nullptr
                                 : reinterpret_cast<ByHandleFunction>(reinterpret_cast<void*>(
                                       GetProcAddress(kernel, "GetFileInformationByHandleEx")));
    }();
    return function;
}

// A subfolder's identity as folderidentity gives it, from its volume's serial number and the
// file id its folder's listing gave; empty for a link or junction, whose identity is where it
// leads.
std::string listedidentity(const IdDirectoryEntry& entry, std::optional<DWORD> serial) {
    if (!serial || (entry.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "";
    const auto id = static_cast<std::uint64_t>(entry.FileId.QuadPart);
    return std::to_string(*serial) + ":" + std::to_string(id >> 32) + ":" +
           std::to_string(id & 0xFFFFFFFFu);
}

// The volume's serial number in an identity folderidentity gave.
std::optional<DWORD> volumeserial(const std::string& identity) {
    const std::size_t colon = identity.find(':');
    if (colon == 0 || colon == std::string::npos) return std::nullopt;
    DWORD serial = 0;
    for (const char digit : identity.substr(0, colon)) {
        if (digit < '0' || digit > '9') return std::nullopt;
        serial = serial * 10 + static_cast<DWORD>(digit - '0');
    }
    return serial;
}

}  // namespace

// One listing that gives each subfolder's file id too: a walk then opens no folder but to
// read it. Windows XP reads the folder twice and opens each subfolder.
FolderContents Win32FileSystem::readfolder(const std::string& folder, const std::string& identity,
                                           const std::string& pattern) {
    const ByHandleFunction function = byhandlefunction();
    if (function == nullptr) return FileSystem::readfolder(folder, identity, pattern);
    const FileHandle handle(CreateFileW(widepath(folder).c_str(), FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    if (!handle.valid()) {
        throw Failure("Path not found: " + folder + "\r\n" + systemreason(GetLastError()));
    }
    // A subfolder that is no link is on its folder's volume. Asking the volume's serial number
    // again for each folder would cost more than reading it: under Wine it is a round trip to
    // another process.
    std::optional<DWORD> serial = volumeserial(identity);
    BY_HANDLE_FILE_INFORMATION own{};
    if (!serial && GetFileInformationByHandle(handle.get(), &own)) {
        serial = own.dwVolumeSerialNumber;
    }

    std::vector<std::pair<std::string, std::string>> folders;
    FolderContents contents;
    std::vector<std::uint64_t> buffer(8192);
    const auto bytes = static_cast<DWORD>(buffer.size() * sizeof buffer[0]);
    bool read = false;
    while (function(handle.get(), fileidbothdirectoryinfo, buffer.data(), bytes)) {
        read = true;
        const auto* at = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto& entry = *reinterpret_cast<const IdDirectoryEntry*>(at);
            const std::wstring_view name(entry.FileName, entry.FileNameLength / sizeof(WCHAR));
            const bool hidden =
                (entry.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
            if (!hidden && !isdotentry(name)) {
                std::string narrowed = narrow(name);
                if ((entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    folders.emplace_back(std::move(narrowed), listedidentity(entry, serial));
                } else if (matchespattern(narrowed, pattern)) {
                    contents.files.push_back(std::move(narrowed));
                }
            }
            if (entry.NextEntryOffset == 0) break;
            at += entry.NextEntryOffset;
        }
    }
    const DWORD error = GetLastError();
    // An empty drive root has not even "." and "..".
    if (error != ERROR_NO_MORE_FILES && error != ERROR_FILE_NOT_FOUND) {
        // A file system that cannot list this way (some network shares) is read the plain way.
        if (!read) return FileSystem::readfolder(folder, identity, pattern);
        throw Failure("Cannot list folder " + folder + "\r\n" + systemreason(error));
    }
    std::sort(folders.begin(), folders.end(),
              [](const auto& a, const auto& b) { return byname(a.first, b.first); });
    for (auto& [name, listed] : folders) {
        contents.subfolders.push_back(std::move(name));
        contents.identities.push_back(std::move(listed));
    }
    sortbyname(contents.files);
    return contents;
}

}  // namespace hostenv::win32

namespace hostenv::win32 {

namespace {

void refusereadonly(const std::string& path, const std::string& what) {
    const DWORD attributes = GetFileAttributesW(widepath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        throw Failure(what + "\r\nThe file is read-only.");
    }
}

}  // namespace

std::string Win32FileSystem::folderidentity(const std::string& folder) {
    // A drive ("C:") needs its root's separator; a file must not get one.
    const bool drive = folder.size() == 2 && folder[1] == ':';
    const FileHandle handle(CreateFileW(widepath(drive ? folder + "\\" : folder).c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    // A guess such as the path would let a link loop pass unseen: the walk stops instead.
    if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info)) {
        throw Failure("Cannot look for " + folder + "\r\n" + systemreason(GetLastError()));
    }
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) +
           ":" + std::to_string(info.nFileIndexLow);
}

bool Win32FileSystem::createfile(const std::string& path, std::string_view bytes) {
    const std::wstring widened = widepath(path);
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
    HANDLE file = CreateFileW(widepath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return nullptr;
        throw Failure("Cannot create " + path + "\r\n" + systemreason(error));
    }
    return std::make_unique<Win32AppendFile>(file, path);
}

bool Win32FileSystem::makefolder(const std::string& folder) {
    if (CreateDirectoryW(widepath(folder).c_str(), nullptr)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && hasfolder(folder)) return false;
    throw Failure("Cannot create " + folder + "\r\n" + systemreason(error));
}

void Win32FileSystem::readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                               std::string& bytes) {
    const FileHandle file = openforreading(path);
    LARGE_INTEGER start{};
    start.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
        throw Failure("Cannot read " + path + "\r\n" + systemreason(GetLastError()));
    }
    bytes.resize(length);
    std::size_t done = 0;
    while (done < length) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
            throw Failure("Cannot read " + path + "\r\n" + systemreason(GetLastError()));
        }
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
}

void Win32FileSystem::moveover(const std::string& from, const std::string& to) {
    const std::string what = "Cannot replace " + to;
    refusereadonly(to, what);
    retried(
        [&] {
            return MoveFileExW(widepath(from).c_str(), widepath(to).c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        },
        what);
}

void Win32FileSystem::rename(const std::string& from, const std::string& to) {
    retried(
        [&] {
            return MoveFileExW(widepath(from).c_str(), widepath(to).c_str(),
                               MOVEFILE_WRITE_THROUGH) != 0;
        },
        "Cannot rename " + from + " to " + to);
}

void Win32FileSystem::remove(const std::string& path) {
    const std::string what = "Cannot delete " + path;
    refusereadonly(path, what);
    retried([&] { return DeleteFileW(widepath(path).c_str()) != 0; }, what);
}

namespace {

// GetFinalPathNameByHandleW, which Windows XP lacks (and XP has no links to files).
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

FinalPathFunction finalpathfunction() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<FinalPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetFinalPathNameByHandleW")));
}

// Where path leads once every link on its way is followed, as a plain path ("C:\...",
// "\\server\..."); nullopt when nothing can be opened there.
std::optional<std::wstring> finalpath(FinalPathFunction function, const std::string& path) {
    const FileHandle handle(CreateFileW(
        widepath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) return std::nullopt;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = function(handle.get(), final.data(), static_cast<DWORD>(final.size()),
                                      0 /* normalised, DOS */);
        if (length == 0) return std::nullopt;
        if (length < final.size()) {
            final.resize(length);
            break;
        }
        final.assign(length + 1, L'\0');
    }
    if (final.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + final.substr(8);
    if (final.starts_with(L"\\\\?\\")) return final.substr(4);
    return final;
}

std::wstring withoutseparator(std::wstring folder) {
    while (folder.ends_with(L'\\')) folder.pop_back();
    return folder;
}

// A path as a final path may give it: Wine drops a name's trailing dots and blanks there.
std::string comparable(std::wstring path) {
    while (path.ends_with(L'.') || path.ends_with(L' ')) path.pop_back();
    return lower(narrow(path));
}

}  // namespace

std::optional<std::string> Win32FileSystem::linktarget(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widepath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (notthere(error)) return std::nullopt;
        throw Failure("Cannot look at " + path + "\r\n" + systemreason(error));
    }
    const bool reparse = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const FinalPathFunction function = finalpathfunction();
    if (function == nullptr) {
        if (!reparse) return std::nullopt;
        throw Failure("Cannot look at " + path + "\r\nIt is a link this Windows cannot follow.");
    }
    // Wine shows a Unix symbolic link as the file it leads to, with no reparse attribute:
    // only the final path tells. The folder's own final path is the base, so that a file in
    // a folder reached through a link still counts as where its name says.
    const auto final = finalpath(function, path);
    if (!final) {
        if (!reparse) return std::nullopt;
        throw Failure("Cannot look at " + path + "\r\n" + systemreason(GetLastError()));
    }
    const std::size_t split = lastcomponentstart(path);
    const auto folder = finalpath(function, split == 0 ? "." : path.substr(0, split));
    const std::wstring named =
        folder ? withoutseparator(*folder) + L"\\" + widen(path.substr(split)) : std::wstring();
    if (!reparse && folder && comparable(named) == comparable(*final)) return std::nullopt;
    return narrow(*final);
}

}  // namespace hostenv::win32

// Reading a folder in one listing that gives each subfolder's identity and each entry's short
// name too.
#include "hostenv/win32/win32filesystem.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "filesystemparts.h"
#include "hostenv/failure.h"
#include "hostenv/paths.h"
#include "hostenv/text.h"
#include "hostenv/win32/handle.h"
#include "hostenv/win32/widetext.h"
#include "kernelfunction.h"
#include "systemerror.h"

namespace hostenv::win32 {

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
    static const auto function = kernelfunction<ByHandleFunction>("GetFileInformationByHandleEx");
    return function;
}

// A subfolder's identity as describe gives it, from its volume's serial number and the file
// id its folder's listing gave; empty for a link or junction, whose identity is where it leads.
std::string listedidentity(DWORD attributes, std::uint64_t id, DWORD serial) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "";
    return std::to_string(serial) + ":" + std::to_string(id >> 32) + ":" +
           std::to_string(id & 0xFFFFFFFFu);
}

// The volume's serial number in an identity describe gave.
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

// The listing of a folder the plain way, which every Windows and file system has: no
// identities.
FolderContents plainlisting(const std::string& folder, const std::string& pattern) {
    WIN32_FIND_DATAW entry{};
    const std::string all = joinpath(folder, "*");
    const FindHandle search(FindFirstFileW(systempath(all, Last::asgiven).c_str(), &entry));
    FolderContents contents;
    if (!search.valid()) {
        const DWORD error = GetLastError();
        // An empty drive root has not even "." and "..".
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return contents;
        throw Failure("Path not found: " + folder + "\r\n" + systemreason(error));
    }
    do {
        if (hiddenorsystem(entry.dwFileAttributes) || isdotentry(entry.cFileName)) continue;
        FolderEntry listed{narrow(entry.cFileName), narrow(entry.cAlternateFileName), ""};
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            contents.subfolders.push_back(std::move(listed));
        } else if (matchespattern(listed.name, pattern)) {
            contents.files.push_back(std::move(listed));
        }
    } while (FindNextFileW(search.get(), &entry));
    const DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES) {
        throw Failure("Cannot list folder " + folder + "\r\n" + systemreason(error));
    }
    sortbyname(contents.subfolders);
    sortbyname(contents.files);
    return contents;
}

}  // namespace

// One listing that gives each subfolder's file id too: a walk then opens no folder but to
// read it. Windows XP, and a file system that cannot list so, read it the plain way, and the
// walk opens each subfolder for its identity.
FolderContents Win32FileSystem::readfolder(const std::string& folder, const std::string& identity,
                                           const std::string& pattern) {
    const ByHandleFunction function = byhandlefunction();
    if (function == nullptr) return plainlisting(folder, pattern);
    const FileHandle handle(CreateFileW(systempath(folder).c_str(), FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
    if (!handle.valid()) {
        throw Failure("Path not found: " + folder + "\r\n" + systemreason(GetLastError()));
    }
    FolderContents contents;
    // Each subfolder's attributes and file id.
    std::vector<std::pair<DWORD, std::uint64_t>> ids;
    std::vector<std::uint64_t> buffer(8192);
    const auto bytes = static_cast<DWORD>(buffer.size() * sizeof buffer[0]);
    bool read = false;
    while (function(handle.get(), fileidbothdirectoryinfo, buffer.data(), bytes)) {
        read = true;
        const auto* at = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto& entry = *reinterpret_cast<const IdDirectoryEntry*>(at);
            const std::wstring_view name(entry.FileName, entry.FileNameLength / sizeof(WCHAR));
            if (!hiddenorsystem(entry.FileAttributes) && !isdotentry(name)) {
                const std::wstring_view shortname(
                    entry.ShortName,
                    static_cast<unsigned char>(entry.ShortNameLength) / sizeof(WCHAR));
                FolderEntry listed{narrow(name), narrow(shortname), ""};
                if ((entry.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    contents.subfolders.push_back(std::move(listed));
                    ids.emplace_back(entry.FileAttributes,
                                     static_cast<std::uint64_t>(entry.FileId.QuadPart));
                } else if (matchespattern(listed.name, pattern)) {
                    contents.files.push_back(std::move(listed));
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
        if (!read) return plainlisting(folder, pattern);
        throw Failure("Cannot list folder " + folder + "\r\n" + systemreason(error));
    }
    // A subfolder that is no link is on its folder's volume, which the folder's identity
    // names: asking it again for each folder would cost more than reading it (under Wine it
    // is a round trip to another process).
    if (const std::optional<DWORD> serial = volumeserial(identity)) {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            contents.subfolders[i].identity = listedidentity(ids[i].first, ids[i].second, *serial);
        }
    }
    sortbyname(contents.subfolders);
    sortbyname(contents.files);
    return contents;
}

}  // namespace hostenv::win32

// Whether a path is a link, and where it leads.
#include "hostenv/win32/win32filesystem.h"

#include <windows.h>

#include <optional>
#include <string>

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

// GetFinalPathNameByHandleW, which Windows XP lacks (and XP has no links to files).
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

FinalPathFunction finalpathfunction() {
    return kernelfunction<FinalPathFunction>("GetFinalPathNameByHandleW");
}

// Where path leads once every link on its way is followed, as a plain path ("C:\...",
// "\\server\..."); nullopt when nothing can be opened there.
std::optional<std::string> followedpath(FinalPathFunction function, const std::string& path) {
    const FileHandle handle(CreateFileW(
        systempath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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
    return plainform(narrow(final));
}

// A path as a final path may give it: Wine drops a name's trailing dots and blanks there.
std::string comparable(std::string path) {
    while (path.ends_with('.') || path.ends_with(' ')) path.pop_back();
    return lower(path);
}

}  // namespace

std::optional<std::string> Win32FileSystem::linktarget(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(systempath(path).c_str());
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
    const auto final = followedpath(function, path);
    if (!final) {
        if (!reparse) return std::nullopt;
        throw Failure("Cannot look at " + path + "\r\n" + systemreason(GetLastError()));
    }
    const std::size_t split = lastcomponentstart(path);
    const auto folder = followedpath(function, split == 0 ? "." : path.substr(0, split));
    const std::string named = folder ? joinpath(*folder, lastcomponent(path)) : std::string();
    if (!reparse && folder && comparable(named) == comparable(*final)) return std::nullopt;
    return final;
}

std::optional<std::string> Win32FileSystem::finalpath(const std::string& path) {
    const FinalPathFunction function = finalpathfunction();
    // Windows XP follows no link to a file, and has no call to tell where a junction leads.
    if (function == nullptr) {
        if (GetFileAttributesW(widepath(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            if (notthere(error)) return std::nullopt;
            throw Failure("Cannot look at " + path + "\r\n" + systemreason(error));
        }
        return path;
    }
    const auto final = followedpath(function, path);
    if (!final) {
        const DWORD error = GetLastError();
        if (notthere(error)) return std::nullopt;
        throw Failure("Cannot look at " + path + "\r\n" + systemreason(error));
    }
    return final;
}

}  // namespace hostenv::win32

// What is at a path: one attribute query, and an open of the path where a part needs one, as
// an identity, a final path or where a link leads does.
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

[[noreturn]] void cannotlook(const std::string& path, DWORD error) {
    throw Failure("Cannot look for " + path + "\r\n" + systemreason(error));
}

// What describe answers when the system found nothing at path: nothing there is an answer,
// any other error a failure.
Description nothingthere(const std::string& path, DWORD error) {
    if (notthere(error)) return Description{};
    cannotlook(path, error);
}

// path opened to be asked about, not read, every link on its way followed.
FileHandle openforquery(const std::wstring& reached) {
    return FileHandle(CreateFileW(reached.c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Where an open path leads, as a plain path ("C:\...", "\\server\..."); nullopt when the
// system cannot tell.
std::optional<std::string> finalof(FinalPathFunction function, HANDLE handle) {
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = function(handle, final.data(), static_cast<DWORD>(final.size()),
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

// Where path leads once every link on its way is followed; nullopt when nothing can be opened
// there.
std::optional<std::string> followedpath(FinalPathFunction function, const std::string& path) {
    const FileHandle handle = openforquery(systempath(path));
    if (!handle.valid()) return std::nullopt;
    return finalof(function, handle.get());
}

// A path as a final path may give it: Wine drops a name's trailing dots and blanks there.
std::string comparable(std::string path) {
    while (path.ends_with('.') || path.ends_with(' ')) path.pop_back();
    return lower(path);
}

// Where the entry at path, whose own attributes are attributes, leads when it is a link.
std::optional<std::string> linkedto(const std::string& path, DWORD attributes) {
    const bool reparse = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const FinalPathFunction function = finalpathfunction();
    if (function == nullptr) {
        if (!reparse) return std::nullopt;
        throw Failure("Cannot look for " + path + "\r\nIt is a link this Windows cannot follow.");
    }
    // Wine shows a Unix symbolic link as the file it leads to, with no reparse attribute:
    // only the final path tells. The folder's own final path is the base, so that a file in
    // a folder reached through a link still counts as where its name says.
    const auto final = followedpath(function, path);
    if (!final) {
        if (!reparse) return std::nullopt;
        cannotlook(path, GetLastError());
    }
    const std::size_t split = lastcomponentstart(path);
    const auto folder = followedpath(function, split == 0 ? "." : path.substr(0, split));
    const std::string named = folder ? joinpath(*folder, lastcomponent(path)) : std::string();
    if (!reparse && folder && comparable(named) == comparable(*final)) return std::nullopt;
    return final;
}

void takeattributes(Description& description, DWORD attributes, DWORD sizehigh, DWORD sizelow) {
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    description.what = folder ? What::folder : What::file;
    description.size = folder ? 0 : (static_cast<std::uint64_t>(sizehigh) << 32) | sizelow;
    description.readonly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

Description Win32FileSystem::describe(const std::string& path, unsigned ask) {
    // A drive ("C:") is its root; a file must not get a separator.
    const std::wstring reached = systempath(withoutseparator(path));
    Description description;
    // An identity and a final path come from one open, which tells what is there too (what a
    // link leads to): a walk asks the identity of each link it meets, and no more.
    if ((ask & (Ask::identity | Ask::final)) != 0 && (ask & Ask::target) == 0) {
        const FileHandle handle = openforquery(reached);
        if (!handle.valid()) return nothingthere(path, GetLastError());
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(handle.get(), &info)) cannotlook(path, GetLastError());
        takeattributes(description, info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow);
        if (ask & Ask::identity) {
            description.identity = std::to_string(info.dwVolumeSerialNumber) + ":" +
                                   std::to_string(info.nFileIndexHigh) + ":" +
                                   std::to_string(info.nFileIndexLow);
        }
        if (ask & Ask::final) {
            // Windows XP follows no link to a file, and has no call to tell where a junction
            // leads.
            const FinalPathFunction function = finalpathfunction();
            std::optional<std::string> final =
                function ? finalof(function, handle.get()) : std::optional<std::string>(path);
            if (!final) cannotlook(path, GetLastError());
            description.final = std::move(final);
        }
        return description;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(reached.c_str(), GetFileExInfoStandard, &data)) {
        return nothingthere(path, GetLastError());
    }
    takeattributes(description, data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow);
    if (ask & Ask::target) {
        // Whether the entry is a link asks its own attributes, which an open would not give.
        description.target = linkedto(path, data.dwFileAttributes);
        if (ask & (Ask::identity | Ask::final)) {
            const Description opened = describe(path, ask & ~Ask::target);
            description.identity = opened.identity;
            description.final = opened.final;
        }
    }
    return description;
}

}  // namespace hostenv::win32

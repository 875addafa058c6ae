#include "hostenv/win32/win32platform.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace hostenv::win32 {

std::string argumenttext(std::string_view commandline) {
    std::size_t position = 0;
    if (commandline.starts_with('"')) {
        const std::size_t closing = commandline.find('"', 1);
        position = closing == std::string_view::npos ? commandline.size() : closing + 1;
    } else {
        position = std::min(commandline.find_first_of(" \t"), commandline.size());
    }
    if (position < commandline.size() &&
        (commandline[position] == ' ' || commandline[position] == '\t')) {
        ++position;
    }
    return std::string(commandline.substr(position));
}

std::optional<std::string> Win32Platform::environment(const std::string& name) {
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    // The value may grow between the two calls; ask again until it fits.
    for (;;) {
        std::string value(needed, '\0');
        const DWORD got = GetEnvironmentVariableA(name.c_str(), value.data(), needed);
        if (got == 0) return std::nullopt;
        if (got < needed) {
            value.resize(got);
            return value;
        }
        needed = got;
    }
}

std::string Win32Platform::commandargs() {
    return argumenttext(GetCommandLineA());
}

VersionQuery Win32Platform::versionquery() {
    OSVERSIONINFOA info{};
    static_assert(sizeof info == 148);
    info.dwOSVersionInfoSize = 148;
    VersionQuery answer;
    answer.result = GetVersionExA(&info);
    answer.platformid = info.dwPlatformId;
    answer.major = info.dwMajorVersion;
    answer.minor = info.dwMinorVersion;
    return answer;
}

std::uint32_t Win32Platform::versioninfosize(const std::string& path) {
    DWORD unused = 0;
    return GetFileVersionInfoSizeA(path.c_str(), &unused);
}

std::optional<FixedFileInfo> Win32Platform::fixedfileinfo(const std::string& path,
                                                          std::uint32_t size) {
    std::vector<unsigned char> resource(size);
    // A buffer the call did not fill holds no version resource to look into.
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, resource.data())) {
        return std::nullopt;
    }
    void* block = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(resource.data(), "\\", &block, &length) || block == nullptr) {
        return std::nullopt;
    }
    FixedFileInfo info{};
    if (length < info.size()) return std::nullopt;
    std::memcpy(info.data(), block, info.size());
    return info;
}

FolderQuery Win32Platform::specialfolder(int csidl) {
    char buffer[MAX_PATH] = {};
    static_assert(sizeof buffer == 260);
    const HRESULT result = SHGetFolderPathA(nullptr, csidl, nullptr, 0, buffer);
    return FolderQuery{static_cast<std::uint32_t>(result), std::string(buffer, sizeof buffer)};
}

}  // namespace hostenv::win32

#include "hostenv/win32/win32platform.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "hostenv/text.h"
#include "hostenv/win32/handle.h"
#include "hostenv/win32/widetext.h"
#include "kernelfunction.h"
#include "systemerror.h"

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
    const std::wstring widename = widen(name);
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(widename.c_str(), nullptr, 0);
    if (needed == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    // The value may grow between the two calls; ask again until it fits.
    for (;;) {
        std::wstring value(needed, L'\0');
        const DWORD got = GetEnvironmentVariableW(widename.c_str(), value.data(), needed);
        if (got == 0) return std::nullopt;
        if (got < needed) {
            value.resize(got);
            return narrow(value);
        }
        needed = got;
    }
}

std::string Win32Platform::commandargs() {
    return argumenttext(narrow(GetCommandLineW()));
}

std::uint32_t Win32Platform::processid() {
    return GetCurrentProcessId();
}

std::optional<WindowsVersion> Win32Platform::windowsversion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return std::nullopt;
    WindowsVersion version{WindowsVersion::Family::other, info.dwMajorVersion, info.dwMinorVersion};
    switch (info.dwPlatformId) {
        case VER_PLATFORM_WIN32s:
            version.family = WindowsVersion::Family::win32s;
            break;
        case VER_PLATFORM_WIN32_WINDOWS:
            version.family = WindowsVersion::Family::win9x;
            break;
        case VER_PLATFORM_WIN32_NT:
            version.family = WindowsVersion::Family::nt;
            break;
        default:
            break;
    }
    return version;
}

std::optional<ProductVersion> Win32Platform::productversion(const std::string& path) {
    const std::wstring widened = widepath(path);
    DWORD unused = 0;
    const DWORD size = GetFileVersionInfoSizeW(widened.c_str(), &unused);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> resource(size);
    if (!GetFileVersionInfoW(widened.c_str(), 0, size, resource.data())) return std::nullopt;
    void* block = nullptr;
    UINT length = 0;
    wchar_t root[] = L"\\";
    if (!VerQueryValueW(resource.data(), root, &block, &length) || block == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    VS_FIXEDFILEINFO info{};
    std::memcpy(&info, block, sizeof info);
    return ProductVersion{HIWORD(info.dwProductVersionMS), LOWORD(info.dwProductVersionMS),
                          HIWORD(info.dwProductVersionLS), LOWORD(info.dwProductVersionLS)};
}

namespace {

HKEY rootkey(std::string_view name) {
    const std::pair<std::string_view, HKEY> roots[] = {
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKLM", HKEY_LOCAL_MACHINE},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKCU", HKEY_CURRENT_USER},
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCR", HKEY_CLASSES_ROOT},
        {"HKEY_USERS", HKEY_USERS},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}};
    for (const auto& [text, key] : roots) {
        if (lower(name) == lower(text)) return key;
    }
    return nullptr;
}

// An installer may store "%SystemDrive%\Games\Zarn": the environment's values put in.
std::wstring expanded(const std::wstring& text) {
    std::wstring result(text.size() + 1, L'\0');
    for (;;) {
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), result.data(),
                                                       static_cast<DWORD>(result.size()));
        if (needed == 0) return text;
        if (needed <= result.size()) {
            result.resize(needed - 1);
            return result;
        }
        result.assign(needed, L'\0');
    }
}

}  // namespace

std::optional<std::string> Win32Platform::registrytext(const std::string& key) {
    const std::size_t first = key.find('\\');
    const std::size_t last = key.rfind('\\');
    if (first == std::string::npos || last == first) return std::nullopt;
    const HKEY root = rootkey(std::string_view(key).substr(0, first));
    if (root == nullptr) return std::nullopt;
    // The process's own view, as a script's registry read in this process would see it.
    KeyHandle opened;
    if (RegOpenKeyExW(root, widen(key.substr(first + 1, last - first - 1)).c_str(), 0,
                      KEY_QUERY_VALUE, opened.receive()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::wstring value = widen(key.substr(last + 1));
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(opened.get(), value.c_str(), nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(opened.get(), value.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The stored text may or may not end in a null character.
    text.resize(std::min<std::size_t>(text.find(L'\0'), bytes / sizeof(wchar_t)));
    if (type == REG_EXPAND_SZ) return narrow(expanded(text));
    return narrow(text);
}

FolderAnswer Win32Platform::localappfolder() {
    wchar_t buffer[MAX_PATH] = {};
    const HRESULT result =
        SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, buffer);
    FolderAnswer answer{static_cast<std::uint32_t>(result), {}};
    if (result == S_OK) answer.path = narrow(buffer);
    return answer;
}

std::string Win32Platform::localtimestamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u-%02u-%02u", unsigned{now.wYear},
                  unsigned{now.wMonth}, unsigned{now.wDay}, unsigned{now.wHour},
                  unsigned{now.wMinute}, unsigned{now.wSecond});
    return text;
}

std::uint64_t Win32Platform::addressspace() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    // Failing that, the least any Windows gives a program.
    if (!GlobalMemoryStatusEx(&status)) return std::uint64_t{2} << 30;
    return status.ullTotalVirtual;
}

namespace {

struct ObjectKind {
    using Raw = HANDLE;
    static Raw invalid() { return nullptr; }
    static void close(Raw raw) { CloseHandle(raw); }
};

// Windows releases a mutex whose owner ends, however it ends, with its last handle.
class MutexLock : public HeldLock {
  public:
    explicit MutexLock(HANDLE mutex) : mutex_(mutex) {}

  private:
    Handle<ObjectKind> mutex_;
};

std::wstring username() {
    wchar_t name[257] = {};
    DWORD size = 257;
    return GetUserNameW(name, &size) ? std::wstring(name) : std::wstring(L"unknown");
}

}  // namespace

std::unique_ptr<HeldLock> Win32Platform::takelock(const std::string& name) {
    // "Local\" is the user's logon session; the user's name in it keeps two users who share
    // a session apart. A backslash may not follow the namespace's.
    std::wstring own = widen(name) + L"." + username();
    std::replace(own.begin(), own.end(), L'\\', L'_');
    const std::wstring full = L"Local\\" + own;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, full.c_str());
    if (mutex == nullptr) throw callfailure("CreateMutexW", narrow(full));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return nullptr;
    }
    return std::make_unique<MutexLock>(mutex);
}

namespace {

// GetProcessId, which Windows XP before its first service pack lacks.
using ProcessIdFunction = DWORD(WINAPI*)(HANDLE);

ProcessIdFunction processidfunction() {
    static const auto function = kernelfunction<ProcessIdFunction>("GetProcessId");
    return function;
}

}  // namespace

bool Win32Platform::processruns(std::uint32_t id) {
    Handle<ObjectKind> process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(id)));
    // A process that cannot be opened for lack of rights runs all the same.
    if (!process.valid()) return GetLastError() == ERROR_ACCESS_DENIED;
    // The system reads an id without its two lowest bits (77 opens the process 76): only the
    // process's own id tells that it is the one asked for.
    const ProcessIdFunction function = processidfunction();
    if (function != nullptr && function(process.get()) != id) return false;
    return WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

std::string Win32Platform::fromansi(std::string_view bytes) {
    return win32::fromansi(bytes, GetACP());
}

std::optional<std::string> Win32Platform::toansi(std::string_view text) {
    return win32::toansi(text, GetACP());
}

}  // namespace hostenv::win32

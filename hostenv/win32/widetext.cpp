#include "hostenv/win32/widetext.h"

#include <windows.h>

#include <algorithm>

#include "hostenv/paths.h"

namespace hostenv::win32 {

std::wstring widen(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), needed);
    return wide;
}

std::string narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrowed(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrowed.data(), needed, nullptr, nullptr);
    return narrowed;
}

std::string systemform(const std::string& path) {
    if (islongform(path)) return path;
    // A drive's absolute path, or a share's: the system leaves a "\\?\" path as it is, so
    // "nul.galaxy" stays a file and "maps." keeps its dot. That form reads no "/" and no "."
    // or "..", so they are read here as the system reads them, ".." staying at the root.
    std::string separated = path;
    std::replace(separated.begin(), separated.end(), '/', '\\');
    if (isfullpath(separated)) return longform(*resolveddots(separated, AboveRoot::stay));
    // A relative path is the system's to resolve; one too long for the classic limit is
    // made full, which lifts the limit. A folder's path must leave room for an 8.3 name.
    constexpr std::size_t classiclimit = MAX_PATH - 12;
    const std::wstring wide = widen(path);
    if (wide.size() < classiclimit) return path;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD got = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (got == 0 || got >= needed) return path;
    full.resize(got);
    const std::string made = narrow(full);
    return isfullpath(made) ? longform(made) : path;
}

std::wstring widepath(const std::string& path) {
    return widen(systemform(path));
}

std::string fromansi(std::string_view bytes, unsigned codepage) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codepage, 0, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(codepage, 0, bytes.data(), length, wide.data(), needed);
    return narrow(wide);
}

namespace {

// The code pages whose conversion refuses every flag; UTF-7 and UTF-8 refuse the
// used-default answer as well.
bool refusesflags(unsigned codepage) {
    return codepage == 42 || codepage == CP_UTF7 || codepage == CP_UTF8 ||
           (codepage >= 50220 && codepage <= 50229) || (codepage >= 57002 && codepage <= 57011);
}

}  // namespace

std::optional<std::string> toansi(std::string_view text, unsigned codepage) {
    const std::wstring wide = widen(text);
    if (wide.empty()) return std::string();
    const int length = static_cast<int>(wide.size());
    // No best fit: "Ł" must not become "L", a name the game would then not find.
    const DWORD flags = refusesflags(codepage) ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* const askdefaulted = codepage == CP_UTF7 || codepage == CP_UTF8 ? nullptr : &defaulted;
    const int needed = WideCharToMultiByte(codepage, flags, wide.data(), length, nullptr, 0,
                                           nullptr, askdefaulted);
    if (needed == 0 || defaulted) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(codepage, flags, wide.data(), length, bytes.data(), needed, nullptr,
                        askdefaulted);
    // A code page may still map a character to another one; only a round trip is exact.
    if (defaulted || fromansi(bytes, codepage) != text) return std::nullopt;
    return bytes;
}

}  // namespace hostenv::win32

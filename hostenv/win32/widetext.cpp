#include "hostenv/win32/widetext.h"

#include <windows.h>

#include <vector>

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

namespace {

bool isseparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// root followed by rest's components, with "/" read as "\", empty and "." components
// dropped and ".." taking the one before it (never the root's); a final separator stays.
std::wstring joined(std::wstring root, std::wstring_view rest) {
    std::vector<std::wstring_view> components;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !isseparator(rest[end])) ++end;
        const std::wstring_view component = rest.substr(start, end - start);
        if (component == L"..") {
            if (!components.empty()) components.pop_back();
        } else if (!component.empty() && component != L".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0) root += L'\\';
        root += components[i];
    }
    if (!components.empty() && !rest.empty() && isseparator(rest.back())) root += L'\\';
    return root;
}

}  // namespace

std::wstring widepath(const std::string& path) {
    const std::wstring wide = widen(path);
    if (wide.starts_with(L"\\\\?\\")) return wide;
    // A drive's absolute path, or a share's: the system leaves a "\\?\" path as it is, so
    // "nul.galaxy" stays a file and "maps." keeps its dot.
    if (wide.size() >= 3 && wide[1] == L':' && isseparator(wide[2])) {
        return joined(L"\\\\?\\" + wide.substr(0, 2) + L"\\", std::wstring_view(wide).substr(3));
    }
    if (wide.size() > 2 && isseparator(wide[0]) && isseparator(wide[1])) {
        return joined(L"\\\\?\\UNC\\", std::wstring_view(wide).substr(2));
    }
    // A relative path is the system's to resolve; one too long for the classic limit is
    // made full, which lifts the limit. A folder's path must leave room for an 8.3 name.
    constexpr std::size_t classiclimit = MAX_PATH - 12;
    if (wide.size() < classiclimit) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    const DWORD got = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (got == 0 || got >= needed) return wide;
    full.resize(got);
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 2 && full[1] == L':') return L"\\\\?\\" + full;
    return wide;
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

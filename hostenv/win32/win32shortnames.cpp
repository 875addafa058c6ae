// Names Windows forbids, which a Linux folder shown through Wine may hold: the system lists
// them by their long (Unix) name but opens them only by the short name the listing gives.
#include <windows.h>

#include <algorithm>
#include <optional>

#include "filesystemparts.h"
#include "hostenv/win32/handle.h"
#include "hostenv/win32/widetext.h"

namespace hostenv::win32 {

namespace {

bool forbidden(wchar_t c) {
    return c < 0x20 || c == L'"' || c == L'*' || c == L'?' || c == L'<' || c == L'>' || c == L'|';
}

bool holdsforbidden(std::wstring_view name) {
    return std::any_of(name.begin(), name.end(), forbidden);
}

bool isseparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The short name that folder's listing (folder ends in a separator, or is empty for the
// current folder) gives the entry called name exactly; none when there is no such entry or
// its short name is no more open to the system than its long one (Wine keeps a tab there).
std::optional<std::wstring> shortname(const std::wstring& folder, std::wstring_view name) {
    WIN32_FIND_DATAW entry{};
    // Only the standard level of information carries short names.
    const FindHandle search(FindFirstFileExW((folder + L"*").c_str(), FindExInfoStandard, &entry,
                                             FindExSearchNameMatch, nullptr, 0));
    if (!search.valid()) return std::nullopt;
    do {
        if (name != entry.cFileName) continue;
        const std::wstring_view alternate = entry.cAlternateFileName;
        if (alternate.empty() || holdsforbidden(alternate)) return std::nullopt;
        return std::wstring(alternate);
    } while (FindNextFileW(search.get(), &entry));
    return std::nullopt;
}

}  // namespace

std::wstring systempath(const std::string& path, Last last) {
    const std::wstring wide = widepath(path);
    // "\\?\" holds a "?" of its own.
    const std::size_t start = wide.starts_with(L"\\\\?\\") ? 4 : 0;
    std::size_t end = wide.size();
    if (last == Last::asgiven) {
        const std::size_t separator = wide.find_last_of(L"\\/");
        end = separator == std::wstring::npos || separator < start ? start : separator;
    }
    if (std::none_of(wide.begin() + static_cast<std::ptrdiff_t>(start),
                     wide.begin() + static_cast<std::ptrdiff_t>(end), forbidden)) {
        return wide;
    }
    std::wstring reached = wide.substr(0, start);
    for (std::size_t at = start; at < wide.size();) {
        std::size_t next = at;
        while (next < wide.size() && !isseparator(wide[next])) ++next;
        const std::wstring_view name = std::wstring_view(wide).substr(at, next - at);
        std::optional<std::wstring> shortened;
        if (at < end && holdsforbidden(name)) shortened = shortname(reached, name);
        reached += shortened ? std::wstring_view(*shortened) : name;
        if (next < wide.size()) reached += wide[next];
        at = next + 1;
    }
    return reached;
}

}  // namespace hostenv::win32

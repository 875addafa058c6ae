// Names Windows forbids, which a Linux folder shown through Wine may hold: the system lists
// them by their long (Unix) name but opens them only by the short name the listing gives.
#include <windows.h>

#include <optional>

#include "filesystemparts.h"
#include "hostenv/paths.h"
#include "hostenv/text.h"
#include "hostenv/win32/handle.h"
#include "hostenv/win32/widetext.h"

namespace hostenv::win32 {

namespace {

bool isseparator(char c) {
    return c == '\\' || c == '/';
}

// The short name that folder's listing (folder ends in a separator, or is empty for the
// current folder) gives the entry called name exactly; none when there is no such entry or
// its short name is no more open to the system than its long one (Wine keeps a tab there).
std::optional<std::string> shortname(const std::string& folder, std::string_view name) {
    WIN32_FIND_DATAW entry{};
    // Only the standard level of information carries short names.
    const FindHandle search(FindFirstFileExW(widen(folder + "*").c_str(), FindExInfoStandard,
                                             &entry, FindExSearchNameMatch, nullptr, 0));
    if (!search.valid()) return std::nullopt;
    const std::wstring wanted = widen(name);
    do {
        if (wanted != entry.cFileName) continue;
        const std::string alternate = narrow(entry.cAlternateFileName);
        if (alternate.empty() || forbiddenname(alternate)) return std::nullopt;
        return alternate;
    } while (FindNextFileW(search.get(), &entry));
    return std::nullopt;
}

}  // namespace

std::wstring systempath(const std::string& path, Last last) {
    const std::string form = systemform(path);
    // The root names no entry of a folder, and the long form's "?" is its own.
    const std::size_t start = rootlength(form);
    std::size_t end = form.size();
    if (last == Last::asgiven) {
        const std::size_t separator = form.find_last_of("\\/");
        end = separator == std::string::npos || separator < start ? start : separator;
    }
    if (!forbiddenname(std::string_view(form).substr(start, end - start))) return widen(form);
    std::string reached = form.substr(0, start);
    for (std::size_t at = start; at < form.size();) {
        std::size_t next = at;
        while (next < form.size() && !isseparator(form[next])) ++next;
        const std::string_view name = std::string_view(form).substr(at, next - at);
        std::optional<std::string> shortened;
        if (at < end && forbiddenname(name)) shortened = shortname(reached, name);
        reached += shortened ? std::string_view(*shortened) : name;
        if (next < form.size()) reached += form[next];
        at = next + 1;
    }
    return widen(reached);
}

}  // namespace hostenv::win32

#include "hostenv/paths.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "hostenv/text.h"

namespace hostenv {

namespace {

constexpr std::string_view longprefix = "\\\\?\\";
constexpr std::string_view uncprefix = "\\\\?\\UNC\\";

// The object manager reads "UNC" letter case aside.
bool islongshare(std::string_view path) {
    return path.size() >= uncprefix.size() &&
           lower(path.substr(0, uncprefix.size())) == lower(uncprefix);
}

bool isdrive(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' && path[0] != '\\';
}

// The end of the "server\share" that starts at from: just past the share's name.
std::size_t shareend(std::string_view path, std::size_t from) {
    const std::size_t server = path.find('\\', from);
    if (server == std::string_view::npos) return path.size();
    return std::min(path.find('\\', server + 1), path.size());
}

// The names of the part of a path after its root, empty ones included.
std::vector<std::string_view> names(std::string_view rest) {
    std::vector<std::string_view> parts;
    if (rest.empty()) return parts;
    for (;;) {
        const std::size_t end = std::min(rest.find('\\'), rest.size());
        parts.push_back(rest.substr(0, end));
        if (end == rest.size()) return parts;
        rest.remove_prefix(end + 1);
    }
}

// A name Windows trims in the plain form and keeps in the long one.
bool endsindotorblank(std::string_view name) {
    return name.ends_with('.') || name.ends_with(' ');
}

// A full path as liesinside compares it: its root ("c:", "\\server\share") and then its names,
// each letter case aside; nullopt for a path liesinside never tells inside.
std::optional<std::vector<std::string>> comparablenames(std::string_view path) {
    const bool literal = islongform(path);
    const std::string plain = plainform(path);
    const std::size_t root = rootlength(plain);
    if (root < 2) return std::nullopt;
    for (const auto name : names(std::string_view(plain).substr(root))) {
        // The long form resolves no "." or "..": there they are names ending in a dot.
        if ((name == "." || name == "..") && !literal) continue;
        if (endsindotorblank(name)) return std::nullopt;
    }
    const auto resolved = resolveddots(plain);
    if (!resolved) return std::nullopt;
    std::string_view rootpart = std::string_view(*resolved).substr(0, root);
    if (rootpart.ends_with('\\')) rootpart.remove_suffix(1);
    std::vector<std::string> compared{lower(rootpart)};
    for (const auto name : names(std::string_view(*resolved).substr(root))) {
        if (!name.empty()) compared.push_back(lower(name));
    }
    return compared;
}

}  // namespace

std::size_t rootlength(std::string_view path) {
    if (islongshare(path)) return shareend(path, uncprefix.size());
    if (islongform(path)) {
        const std::string_view rest = path.substr(longprefix.size());
        if (isdrive(rest)) return longprefix.size() + (rest.size() > 2 && rest[2] == '\\' ? 3 : 2);
        // A volume or a device: its name, and the separator after it, is the root.
        const std::size_t end = path.find('\\', longprefix.size());
        return end == std::string_view::npos ? path.size() : end + 1;
    }
    if (path.starts_with("\\\\")) return shareend(path, 2);
    if (isdrive(path)) return path.size() > 2 && path[2] == '\\' ? 3 : 2;
    return path.starts_with('\\') ? 1 : 0;
}

bool isfullpath(std::string_view path) {
    return (path.size() >= 3 && isdrive(path) && path[2] == '\\') ||
           (path.size() > 2 && path.starts_with("\\\\"));
}

std::string withoutseparator(std::string_view path) {
    const std::size_t root = rootlength(path);
    while (path.size() > root && path.ends_with('\\')) path.remove_suffix(1);
    std::string trimmed(path);
    if (trimmed.size() == 2 && isdrive(trimmed)) trimmed += '\\';
    return trimmed;
}

std::string withseparator(std::string_view folder) {
    std::string separated = withoutseparator(folder);
    if (!separated.empty() && !separated.ends_with('\\')) separated += '\\';
    return separated;
}

std::string joinpath(std::string_view folder, std::string_view name) {
    // One allocation: a walk joins every file it lists.
    const std::size_t root = rootlength(folder);
    while (folder.size() > root && folder.ends_with('\\')) folder.remove_suffix(1);
    std::string joined;
    joined.reserve(folder.size() + 1 + name.size());
    joined = folder;
    if (!joined.empty() && !joined.ends_with('\\')) joined += '\\';
    joined += name;
    return joined;
}

std::size_t lastcomponentstart(std::string_view path) {
    const std::size_t separator = path.rfind('\\');
    return separator == std::string_view::npos ? 0 : separator + 1;
}

std::string_view lastcomponent(std::string_view path) {
    return path.substr(lastcomponentstart(path));
}

bool samefilename(std::string_view path, std::string_view name) {
    return lower(lastcomponent(path)) == lower(name);
}

std::string parentpath(std::string_view path) {
    std::string folder = withoutseparator(path);
    const std::size_t root = rootlength(folder);
    if (folder.size() <= root) return folder;
    return withoutseparator(
        std::string_view(folder).substr(0, std::max(lastcomponentstart(folder), root)));
}

bool islongform(std::string_view path) {
    return path.starts_with(longprefix);
}

std::string longform(std::string_view path) {
    if (islongform(path) || !isfullpath(path)) return std::string(path);
    if (path.starts_with("\\\\")) return std::string(uncprefix) + std::string(path.substr(2));
    return std::string(longprefix) + std::string(path);
}

std::string plainform(std::string_view path) {
    if (islongshare(path)) return "\\\\" + std::string(path.substr(uncprefix.size()));
    if (islongform(path)) return std::string(path.substr(longprefix.size()));
    return std::string(path);
}

std::optional<std::string> resolveddots(std::string_view path, AboveRoot above) {
    const std::size_t root = rootlength(path);
    const std::string_view rest = path.substr(root);
    std::vector<std::string_view> kept;
    for (const auto name : names(rest)) {
        if (name.empty() || name == ".") continue;
        if (name != "..") {
            kept.push_back(name);
        } else if (!kept.empty()) {
            kept.pop_back();
        } else if (above == AboveRoot::refuse) {
            return std::nullopt;
        }
    }
    std::string resolved(path.substr(0, root));
    for (const auto name : kept) {
        if (!resolved.empty() && !resolved.ends_with('\\')) resolved += '\\';
        resolved += name;
    }
    if (rest.ends_with('\\') && !resolved.empty() && !resolved.ends_with('\\')) resolved += '\\';
    return resolved;
}

bool liesinside(std::string_view path, std::string_view folder) {
    const auto inner = comparablenames(path);
    const auto outer = comparablenames(folder);
    return inner && outer && inner->size() >= outer->size() &&
           std::equal(outer->begin(), outer->end(), inner->begin());
}

std::optional<std::string> checkeddrivepath(std::string_view path, std::string& why) {
    if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        path[2] != '\\') {
        why = "is not a full path on a drive";
        return std::nullopt;
    }
    if (path.find('/') != std::string_view::npos) {
        why = "holds a \"/\", which Windows reads as a folder's end";
        return std::nullopt;
    }
    // Windows ends a path at a NUL: the file written would be another than the one checked.
    // Other characters Windows forbids stay: a galaxy in a Linux folder seen through Wine may
    // be named so, and its record keeps its name.
    if (path.find('\0') != std::string_view::npos) {
        why = "holds a NUL, where Windows would end it";
        return std::nullopt;
    }
    // The names in turn, the first fault the one told. A separator may end the path only
    // where it names the drive's root ("C:\a\..\"), which is how a root is written.
    std::size_t depth = 0;
    for (std::string_view rest = path.substr(3); !rest.empty() || depth > 0;) {
        const std::size_t end = std::min(rest.find('\\'), rest.size());
        const std::string_view name = rest.substr(0, end);
        if (name.empty()) {
            why = "has an empty name between two \"\\\"";
            return std::nullopt;
        }
        if (name == "..") {
            if (depth == 0) {
                why = "leads above its drive";
                return std::nullopt;
            }
            --depth;
        } else if (name != ".") {
            if (endsindotorblank(name)) {
                why = "has a name ending in a dot or a blank, which Windows would change";
                return std::nullopt;
            }
            ++depth;
        }
        if (end == rest.size()) break;
        rest.remove_prefix(end + 1);
    }
    return resolveddots(path);
}

}  // namespace hostenv

// "original zarn galaxies.txt" read so that no map of the game's own goes unprotected, however
// a text editor saved it.
#include <algorithm>
#include <string>
#include <string_view>

#include "galmend.h"
#include "hostenv/failure.h"
#include "hostenv/text.h"

namespace galmend {

namespace {

using hostenv::Failure;

[[noreturn]] void refuselist(const std::string& why) {
    throw Failure(
        "The list of the game's own maps \"original zarn galaxies.txt\" cannot be read: " + why +
        " Save it as plain text in the system's ANSI code page, in UTF-8 or in UTF-16 with its "
        "byte-order mark, one name a line; no galaxy was changed.");
}

// UTF-16 bytes after their byte-order mark, as UTF-8.
std::string utf16text(std::string_view bytes, bool bigendian) {
    if (bytes.size() % 2 != 0) refuselist("it is UTF-16 with an odd number of bytes.");
    const auto unit = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigendian ? first << 8 | second : second << 8 | first);
    };
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            refuselist("it is UTF-16 with a broken character (an unpaired surrogate).");
        }
        hostenv::appendutf8(text, c);
    }
    return text;
}

// Lines ended by CR LF, LF or CR; empty lines name nothing.
hostenv::Lines namelines(std::string_view text) {
    hostenv::Lines lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        if (end > start) lines.emplace_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

}  // namespace

hostenv::Lines originalmapnames(std::string_view bytes, hostenv::Platform& platform) {
    // A list saved by a text editor rather than by the game: a name missed here is a map of
    // the game's own that would be rewritten.
    if (bytes.starts_with("\xFF\xFE")) return namelines(utf16text(bytes.substr(2), false));
    if (bytes.starts_with("\xFE\xFF")) return namelines(utf16text(bytes.substr(2), true));
    if (bytes.starts_with("\xEF\xBB\xBF")) return namelines(bytes.substr(3));
    if (bytes.find('\0') != std::string_view::npos) {
        refuselist("it holds NUL bytes, as UTF-16 without a byte-order mark does.");
    }
    // The game writes its list in the ANSI code page; names inside the program are Unicode.
    hostenv::Lines names = namelines(bytes);
    for (auto& name : names) name = platform.fromansi(name);
    return names;
}

}  // namespace galmend

#include "hostenv/text.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "casefold.h"
#include "hostenv/lineends.h"

namespace hostenv {

namespace {

char lowerchar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
bool isasciibyte(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}
bool isdigit(char c) {
    return c >= '0' && c <= '9';
}

bool ignoredinnumber(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

double radixnumber(std::string_view digits, int radix) {
    double value = 0;
    for (char c : digits) {
        const char l = lowerchar(c);
        int digit = -1;
        if (isdigit(l)) digit = l - '0';
        if (radix == 16 && l >= 'a' && l <= 'f') digit = l - 'a' + 10;
        if (digit < 0 || digit >= radix) break;
        value = value * radix + digit;
    }
    return value;
}

// One character of a name: a code point, or a byte that begins no valid UTF-8 and stands
// for itself, as a value past every code point so that it matches only itself.
struct Unit {
    char32_t value;
    std::size_t length;
};
constexpr char32_t straybyte = 0x110000;

Unit unitat(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, 1};
    const Unit stray{straybyte + lead, 1};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        least = 0x10000;
    } else {
        return stray;
    }
    if (text.size() - at < length) return stray;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0u) != 0x80u) return stray;
        value = value << 6 | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and values past Unicode are not valid UTF-8.
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return stray;
    return {value, length};
}

Unit foldedunitat(std::string_view text, std::size_t at) {
    if (isasciibyte(text[at])) return {static_cast<unsigned char>(lowerchar(text[at])), 1};
    Unit unit = unitat(text, at);
    if (unit.value < straybyte) unit.value = foldcase(unit.value);
    return unit;
}

}  // namespace

void appendutf8(std::string& to, char32_t c) {
    const auto byte = [&](char32_t b) { to += static_cast<char>(b); };
    if (c < 0x80) {
        byte(c);
        return;
    }
    if (c < 0x800) {
        byte(0xC0 | c >> 6);
    } else if (c < 0x10000) {
        byte(0xE0 | c >> 12);
        byte(0x80 | (c >> 6 & 0x3F));
    } else {
        byte(0xF0 | c >> 18);
        byte(0x80 | (c >> 12 & 0x3F));
        byte(0x80 | (c >> 6 & 0x3F));
    }
    byte(0x80 | (c & 0x3F));
}

std::string lower(std::string_view text) {
    std::string result(text);
    for (std::size_t at = 0; at < result.size(); ++at) {
        if (isasciibyte(result[at])) {
            result[at] = lowerchar(result[at]);
            continue;
        }
        // Past plain ASCII the lengths may change: build the rest afresh.
        result.resize(at);
        while (at < text.size()) {
            const Unit unit = unitat(text, at);
            if (unit.length == 1) {
                // ASCII, or a stray byte, which passes through as it is.
                result += lowerchar(text[at]);
            } else if (const char32_t folded = foldcase(unit.value); folded != unit.value) {
                appendutf8(result, folded);
            } else {
                result.append(text, at, unit.length);
            }
            at += unit.length;
        }
        break;
    }
    return result;
}

bool forbiddenname(std::string_view name) {
    return std::any_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 ||
               std::string_view("\"*?<>|").find(c) != std::string_view::npos;
    });
}

double leadingnumber(std::string_view text) {
    std::string packed;
    for (char c : text) {
        if (!ignoredinnumber(c)) packed += c;
    }
    if (packed.size() >= 2 && packed[0] == '&') {
        const char kind = lowerchar(packed[1]);
        if (kind == 'h') return radixnumber(std::string_view(packed).substr(2), 16);
        if (kind == 'o') return radixnumber(std::string_view(packed).substr(2), 8);
    }
    // Keep the longest prefix that forms a number, with D as another exponent mark.
    std::string number;
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < packed.size() && isdigit(packed[i])) number += packed[i++];
        return i > start;
    };
    if (i < packed.size() && (packed[i] == '+' || packed[i] == '-')) number += packed[i++];
    bool any = digits();
    if (i < packed.size() && packed[i] == '.') {
        number += packed[i++];
        any = digits() || any;
    }
    if (!any) return 0;
    if (i < packed.size() && (lowerchar(packed[i]) == 'e' || lowerchar(packed[i]) == 'd')) {
        std::size_t mark = i + 1;
        if (mark < packed.size() && (packed[mark] == '+' || packed[mark] == '-')) ++mark;
        if (mark < packed.size() && isdigit(packed[mark])) {
            number += 'e';
            number.append(packed, i + 1, mark - i - 1);
            i = mark;
            digits();
        }
    }
    return std::strtod(number.c_str(), nullptr);
}

std::string signform(long long number) {
    std::string text = number < 0 ? "" : " ";
    text += std::to_string(number);
    return text;
}

std::string counted(long long number, std::string_view one, std::string_view many) {
    return std::to_string(number) + " " + std::string(number == 1 ? one : many);
}

std::string_view withoutfinalbreaks(std::string_view bytes) {
    while (bytes.ends_with("\r\n")) bytes.remove_suffix(2);
    return bytes;
}

Lines splitlines(std::string_view bytes) {
    bytes = withoutfinalbreaks(bytes);
    Lines lines;
    if (bytes.empty()) return lines;
    // Sized once: growing a list of millions of lines would move them all and, while it
    // moves them, hold both copies.
    std::size_t count = 1;
    for (std::size_t at = bytes.find("\r\n"); at != std::string_view::npos;
         at = bytes.find("\r\n", at + 2)) {
        ++count;
    }
    lines.reserve(count);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(bytes.substr(start));
            return lines;
        }
        lines.emplace_back(bytes.substr(start, end - start));
        start = end + 2;
    }
}

void LineIndex::assign(std::string_view bytes) {
    bytes = withoutfinalbreaks(bytes);
    text_ = bytes;
    starts_.clear();
    if (bytes.empty()) return;
    starts_.push_back(0);
    LineEnds ends(bytes);
    for (std::size_t end = ends.next(); end != bytes.size(); end = ends.next()) {
        starts_.push_back(end + 2);
    }
    starts_.push_back(bytes.size() + 2);
}

bool matchespattern(std::string_view name, std::string_view pattern) {
    // Iterative wildcard match with one backtrack point: linear in practice.
    std::size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
            continue;
        }
        const Unit here = foldedunitat(name, n);
        if (p < pattern.size()) {
            const Unit wanted = foldedunitat(pattern, p);
            if (pattern[p] == '?' || wanted.value == here.value) {
                p += wanted.length;
                n += here.length;
                continue;
            }
        }
        if (star == std::string_view::npos) return false;
        p = star + 1;
        resume += unitat(name, resume).length;
        n = resume;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

namespace {

// The code point that starts text[at] and its length; length 0 when the bytes there are no
// valid UTF-8.
std::pair<char32_t, std::size_t> codepoint(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) return {first, 1};
    const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 ? 2 : 0;
    if (length == 0 || first > 0xF4 || at + length > text.size()) return {0, 0};
    char32_t point = first & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {0, 0};
        point = (point << 6) | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
    if (overlong || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return {0, 0};
    return {point, length};
}

bool unseen(char32_t point) {
    return point < 0x20 || (point >= 0x7F && point <= 0xA0) || point == 0xAD ||
           (point >= 0x200B && point <= 0x200F) || point == 0x2028 || point == 0x2029 ||
           point == 0x2060 || point == 0xFEFF;
}

std::string hexdigits(unsigned value, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[value & 0xF];
    }
    return text;
}

}  // namespace

std::string visibletext(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto [point, length] = codepoint(text, at);
        if (length == 0) {
            shown += "<0x" + hexdigits(static_cast<unsigned char>(text[at]), 2) + ">";
            ++at;
        } else if (point == 0) {
            shown += "<NUL>";
            ++at;
        } else if (unseen(point)) {
            shown += "<U+" + hexdigits(static_cast<unsigned>(point), 4) + ">";
            at += length;
        } else {
            shown.append(text.substr(at, length));
            at += length;
        }
    }
    return shown;
}

std::string shownpath(std::string_view path) {
    std::string shown;
    shown.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20) {
            shown += c;
        } else {
            shown += "\\x" + hexdigits(byte, 2);
        }
    }
    return shown;
}

}  // namespace hostenv

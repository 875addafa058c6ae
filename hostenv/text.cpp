#include "hostenv/text.h"

#include <cctype>
#include <cstdlib>

#include "hostenv/lineends.h"

namespace hostenv {

namespace {

char lowerchar(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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

}  // namespace

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = lowerchar(c);
    return result;
}

int lastinstr(std::string_view text, std::string_view find) {
    const auto at = text.rfind(find);
    // An empty find would match past the end; the routine only ever tests full-length parts.
    if (find.empty() || at == std::string_view::npos) return 1;
    return static_cast<int>(at) + 2;
}

bool samefilename(std::string_view path, std::string_view name) {
    const std::string lowered = lower(path);
    const auto start = static_cast<std::size_t>(lastinstr(lowered, "\\") - 1);
    return lowered.substr(start) == lower(name);
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
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || lowerchar(pattern[p]) == lowerchar(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace hostenv

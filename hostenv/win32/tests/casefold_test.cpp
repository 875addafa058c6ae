// The portable letter-case fold of names against Windows' own comparison of file names,
// for every code point of the BMP.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "hostenv/text.h"

namespace hostenv {
namespace {

std::string utf8(wchar_t c) {
    char bytes[4];
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, &c, 1, bytes, sizeof bytes, nullptr, nullptr);
    return std::string(bytes, static_cast<std::size_t>(length));
}

bool samename(wchar_t a, wchar_t b) {
    return CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}

// Windows' upper-case table, the one its file systems compare names by.
using Upcase = WCHAR(WINAPI*)(WCHAR);
Upcase windowsupcase() {
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar");
    return reinterpret_cast<Upcase>(reinterpret_cast<void (*)()>(found));
}

std::vector<wchar_t> bmp() {
    std::vector<wchar_t> all;
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF) all.push_back(static_cast<wchar_t>(c));
    }
    return all;
}

// Collects the code points a check fails for, naming the first few.
class Mismatches {
  public:
    void add(wchar_t c, wchar_t other) {
        if (++count_ > 20) return;
        char line[32];
        std::snprintf(line, sizeof line, " U+%04X/U+%04X", static_cast<unsigned>(c),
                      static_cast<unsigned>(other));
        named_ += line;
    }
    int count() const { return count_; }
    const std::string& named() const { return named_; }

  private:
    int count_ = 0;
    std::string named_;
};

TEST(CaseFold, EveryCodePointFoldsLikeItsWindowsUpperCase) {
    const Upcase upcase = windowsupcase();
    ASSERT_NE(upcase, nullptr);
    Mismatches mismatches;
    int folded = 0;
    for (const wchar_t c : bmp()) {
        const wchar_t upper = upcase(c);
        folded += upper != c;
        ASSERT_TRUE(samename(c, upper))
            << "Windows compares by another table at U+" << std::hex << static_cast<unsigned>(c);
        if (lower(utf8(c)) != lower(utf8(upper))) mismatches.add(c, upper);
    }
    EXPECT_EQ(mismatches.count(), 0)
        << "letters Windows takes for the same, but not lower:" << mismatches.named();
    EXPECT_GT(folded, 1000) << "Windows folds the letters of many scripts";
}

TEST(CaseFold, CodePointsFoldedAlikeAreTheSameNameToWindows) {
    std::map<std::string, wchar_t> first;
    Mismatches mismatches;
    for (const wchar_t c : bmp()) {
        const auto [at, added] = first.try_emplace(lower(utf8(c)), c);
        if (!added && !samename(at->second, c)) mismatches.add(at->second, c);
    }
    EXPECT_EQ(mismatches.count(), 0)
        << "letters lower takes for the same, but not Windows:" << mismatches.named();
}

}  // namespace
}  // namespace hostenv

#include "hostenv/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "hostenv/paths.h"

namespace hostenv {
namespace {

TEST(Samefilename, ComparesTheLastComponentLetterCaseAside) {
    EXPECT_TRUE(samefilename("C:\\Maps\\Twin.GALAXY", "twin.galaxy"));
    EXPECT_TRUE(samefilename("twin.galaxy", "Twin.Galaxy"));
    EXPECT_FALSE(samefilename("C:\\maps\\twin.galaxy", "twin"));
    EXPECT_FALSE(samefilename("C:\\maps\\twin.galaxy", "twin.galaxy "));
    EXPECT_FALSE(samefilename("C:\\maps\\twin.galaxy", "maps\\twin.galaxy"));
    EXPECT_FALSE(samefilename("C:\\maps\\twin.galaxy", ""));
    EXPECT_TRUE(samefilename("C:\\maps\\", ""));
}

TEST(Leadingnumber, ReadsTheNumberAtTheStart) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {" 4", 4},     {"12", 12},     {"3a", 3},     {"a4", 0},    {"", 0},
        {"3 4", 34},   {"\t1\n2", 12}, {"-7", -7},    {"+5", 5},    {"1.5x", 1.5},
        {".25", 0.25}, {"1.2.3", 1.2}, {"2E3", 2000}, {"2d2", 200}, {"2E", 2},
        {"2e+1", 20},  {"&H1F", 31},   {"&hff", 255}, {"&O17", 15}, {"&H", 0},
        {"-", 0},      {".", 0},       {"$3", 0},     {"4\r", 4},   {"\r4", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(leadingnumber(c.text), c.value);
    }
}

TEST(Signform, PutsABlankInTheSignPosition) {
    EXPECT_EQ(signform(0), " 0");
    EXPECT_EQ(signform(12), " 12");
    EXPECT_EQ(signform(-3), "-3");
    EXPECT_DOUBLE_EQ(leadingnumber(signform(41)), 41) << "a caption reads back as its number";
}

TEST(Splitlines, CutsAtCrLfAndDropsTrailingLineEnds) {
    const struct {
        const char* bytes;
        Lines lines;
    } cases[] = {
        {"a\r\n\r\nb\r\n\r\n", {"a", "", "b"}},
        {"", {}},
        {"\r\n\r\n\r\n", {}},
        {"a\nb\n", {"a\nb\n"}},
        {"a\r\nb", {"a", "b"}},
        {"a\r", {"a\r"}},
        {"\r\na", {"", "a"}},
        {"x\r\r\n", {"x\r"}},
    };
    LineIndex index;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(splitlines(c.bytes), c.lines);
        index.assign(c.bytes);
        Lines indexed;
        for (std::size_t i = 0; i < index.size(); ++i) indexed.emplace_back(index[i]);
        EXPECT_EQ(indexed, c.lines) << "the index cuts the same lines";
    }
}

TEST(Matchespattern, WildcardsAndLetterCase) {
    EXPECT_TRUE(matchespattern("My Map.galaxy", "*.galaxy"));
    EXPECT_TRUE(matchespattern("X.GALAXY", "*.galaxy"));
    EXPECT_TRUE(matchespattern(".galaxy", "*.galaxy"));
    EXPECT_FALSE(matchespattern("x.galaxy.bak", "*.galaxy"));
    EXPECT_TRUE(matchespattern("GALAXY.MANIFEST", "galaxy.manifest"));
    EXPECT_FALSE(matchespattern("galaxy.manifest.old", "galaxy.manifest"));
    EXPECT_TRUE(matchespattern("a.b", "?.?"));
    EXPECT_TRUE(matchespattern("abc", "*"));
    EXPECT_TRUE(matchespattern("a.galaxy.galaxy", "*.galaxy"));
}

TEST(Lower, KeepsAsciiAsItWasSoAsciiNamesKeepTheirOrder) {
    for (int c = 1; c < 0x80; ++c) {
        const std::string one(1, static_cast<char>(c));
        const char expected = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : one[0];
        EXPECT_EQ(lower(one), std::string(1, expected)) << c;
    }
    EXPECT_EQ(lower("My Map [2].GALAXY"), "my map [2].galaxy");
}

// Pairs of names and whether Windows takes them for the same file name, letter case aside.
TEST(Lower, FoldsLetterCaseAsWindowsComparesFileNames) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"ÉTOILE.galaxy", "étoile.galaxy", true},
        {"Łódź", "łÓDŹ", true},
        {"Ÿ", "ÿ", true},
        {"ΣΟΦΙΑ", "σοφια", true},
        {"ΣΟΦΟΣ", "σοφος", false},  // final sigma has no upper-case partner in Windows' table
        {"ς", "σ", false},
        {"ЖУК", "жук", true},
        {"ＡＢＣ", "ａｂｃ", true},  // fullwidth Latin
        {"ＡＢＣ", "abc", false},
        {"漢字", "漢字", true},
        {"Ɐ", "ɐ", true},  // three bytes upper case, two lower case
        {"Ȿ", "ȿ", true},
        {"ı", "I", false},  // dotless i
        {"ı", "i", false},
        {"İ", "i", false},
        {"ſ", "s", false},  // long s
        {"ſ", "S", false},
        {"\u212A", "k", false},  // Kelvin sign
        {"\u212A", "K", false},
        {"\u2126", "ω", false},  // ohm sign
        {"µ", "μ", false},       // micro sign and Greek mu
        {"Μ", "μ", true},
        {"ß", "ẞ", false},
        {"ǅ", "ǆ", false},  // title-case digraph
        {"Ǆ", "ǆ", true},
        {"\U00010400", "\U00010428", false},  // past the BMP letter case counts
        {"é", "e\u0301", false},              // no normalisation
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(lower(c.a) == lower(c.b), c.same);
        EXPECT_EQ(samefilename(std::string("C:\\Maps\\") + c.a, c.b), c.same);
        EXPECT_EQ(matchespattern(c.a, c.b), c.same);
    }
    EXPECT_EQ(lower("ÉTOILE Ł Ж Ａ Ɐ"), "étoile ł ж ａ ɐ");
    EXPECT_EQ(lower("漢字 ς \u212A ı \U00010400"), "漢字 ς \u212A ı \U00010400");
}

TEST(Lower, PassesInvalidUtf8ThroughByteForByte) {
    const char* const invalid[] = {
        "\xC3",                  // cut short
        "\xC3(",                 // lead byte without its continuation
        "\x80\xBF",              // continuation bytes alone
        "\xE2\x84",              // three-byte sequence cut short
        "\xC0\xAF",              // overlong slash
        "\xE0\x80\xAF",          // overlong slash in three bytes
        "\xED\xA0\x80",          // a surrogate
        "\xF4\x90\x80\x80",      // past U+10FFFF
        "\xF8\x88\x80\x80\x80",  // the five-byte form of old
        "\xFE\xFF",              // bytes UTF-8 never uses
    };
    for (const char* bytes : invalid) {
        SCOPED_TRACE(::testing::PrintToString(std::string(bytes)));
        EXPECT_EQ(lower(bytes), bytes);
        EXPECT_EQ(lower(std::string("É") + bytes + "É"), std::string("é") + bytes + "é");
        EXPECT_TRUE(matchespattern(bytes, bytes));
        EXPECT_TRUE(matchespattern(bytes, std::string(std::strlen(bytes), '?')))
            << "each byte is a character of its own";
    }
    EXPECT_EQ(lower("A\xFF!\xC3\x89"), "a\xFF!\xC3\xA9");
    EXPECT_EQ(lower(std::string("Z\0Z", 3)), std::string("z\0z", 3));
    EXPECT_FALSE(matchespattern("\xC3", "\xC4"));
    EXPECT_FALSE(matchespattern("\xC3", "\xC3\x89")) << "a stray byte is not the letter it starts";
}

// Names built from letters whose forms differ in length, confusable letters and stray bytes
// that may join into letters: the matcher, samefilename and lower must agree on which are
// the same name.
TEST(Lower, AgreesWithMatchingOnRandomNames) {
    const char* const pieces[] = {"a",      "A", "É",    "é",    "ς",        "σ",   "Σ",
                                  "\u212A", "k", "K",    "ı",    "I",        "Ɐ",   "ɐ",
                                  "漢",     ".", "\xC3", "\x89", "\xE2\x84", "\xB2"};
    std::mt19937 random(7);
    const auto name = [&] {
        std::string text;
        for (auto n = random() % 5; n > 0; --n) text += pieces[random() % std::size(pieces)];
        return text;
    };
    int same = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string a = name();
        const std::string b = name();
        SCOPED_TRACE(::testing::PrintToString(a) + " / " + ::testing::PrintToString(b));
        const bool folded = lower(a) == lower(b);
        ASSERT_EQ(matchespattern(a, b), folded);
        ASSERT_EQ(samefilename(a, b), folded);
        ASSERT_EQ(lower(lower(a)), lower(a));
        same += folded;
    }
    EXPECT_GT(same, 100) << "enough pairs fold alike to tell";
}

TEST(Matchespattern, AQuestionMarkIsOneCharacterOfAnyLength) {
    EXPECT_TRUE(matchespattern("漢.galaxy", "?.galaxy"));
    EXPECT_FALSE(matchespattern("漢字.galaxy", "?.galaxy"));
    EXPECT_TRUE(matchespattern("漢字.galaxy", "??.galaxy"));
    EXPECT_TRUE(matchespattern("É.galaxy", "?.galaxy"));
    EXPECT_TRUE(matchespattern("\U0001F30C.galaxy", "?.galaxy"));
    EXPECT_TRUE(matchespattern("\xFF.galaxy", "?.galaxy"));
    EXPECT_FALSE(matchespattern("\xE2\x84.galaxy", "?.galaxy")) << "two stray bytes";
    EXPECT_FALSE(matchespattern("", "?"));
}

TEST(Matchespattern, StarsBacktrackOverWholeCharacters) {
    EXPECT_TRUE(matchespattern("étoile.galaxy", "ÉTOILE.*"));
    EXPECT_TRUE(matchespattern("ÉÉÉTOILE.GALAXY", "*é?oile.galaxy"));
    EXPECT_TRUE(matchespattern("漢漢字.galaxy", "*漢字*"));
    EXPECT_FALSE(matchespattern("漢漢字.galaxy", "*漢字"));
    EXPECT_TRUE(matchespattern("ΣΣς", "*σς"));
    EXPECT_FALSE(matchespattern("ΣΣς", "*σσ"));
    EXPECT_FALSE(matchespattern("漢ab", "*??a?")) << "a star resumes at a whole character";
}

TEST(Visibletext, WritesOutWhatWouldNotShowOrWouldLookLikeSomethingElse) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"1.52.0.3", "1.52.0.3"},
        {"Caf\xC3\xA9 \xE6\x98\x9F \xF0\x9F\x8C\x8C", "Caf\xC3\xA9 \xE6\x98\x9F \xF0\x9F\x8C\x8C"},
        {std::string("1\0.5", 4), "1<NUL>.5"},
        {"\xEF\xBB\xBF"
         "1.52",
         "<U+FEFF>1.52"},
        {"a\tb\rc\x7F", "a<U+0009>b<U+000D>c<U+007F>"},
        {"1.52\xC2\xA0", "1.52<U+00A0>"},
        {"\xC2\x81x\xE2\x80\x8B", "<U+0081>x<U+200B>"},
        {"\xFF\xFE"
         "1",
         "<0xFF><0xFE>1"},
        {"\xC3", "<0xC3>"},
        {"\xC0\xAF\xED\xA0\x80", "<0xC0><0xAF><0xED><0xA0><0x80>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(visibletext(c.text), c.shown);
    }
}

TEST(Shownpath, WritesOutControlCharactersAndNothingElse) {
    const struct {
        std::string path;
        std::string shown;
    } cases[] = {
        {"C:\\Zarn\\q\"uote.galaxy", "C:\\Zarn\\q\"uote.galaxy"},
        {"C:\\line\nfeed\\tab\there.galaxy", "C:\\line\\x0Afeed\\tab\\x09here.galaxy"},
        {std::string("\0\x1F\x7F", 3), "\\x00\\x1F\x7F"},
        {"\r\n", "\\x0D\\x0A"},
        {"\xE6\x98\x9F\xFF.galaxy", "\xE6\x98\x9F\xFF.galaxy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(shownpath(c.path), c.shown);
    }
}

}  // namespace
}  // namespace hostenv

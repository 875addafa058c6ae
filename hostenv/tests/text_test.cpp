#include "hostenv/text.h"

#include <gtest/gtest.h>

#include <random>

#include "hostenv/lineends.h"

namespace hostenv {
namespace {

TEST(Lastinstr, FindsOnePastTheLastOccurrence) {
    EXPECT_EQ(lastinstr("C:\\maps\\x.galaxy", "\\"), 9);
    EXPECT_EQ(lastinstr("no separator", "\\"), 1);
    EXPECT_EQ(lastinstr("maps\\", "\\"), 6);
    EXPECT_EQ(lastinstr("", "\\"), 1);
    EXPECT_EQ(lastinstr("abcabc", "bc"), 6);
    EXPECT_EQ(lastinstr("aaa", "aa"), 3);
    EXPECT_EQ(lastinstr("ABC", "b"), 1) << "letter case counts";
}

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

// Texts thick with CR and LF, of lengths around the 64-byte blocks, against a plain search.
TEST(LineEnds, GivesEveryCrLfInOrderFromAnyRestart) {
    std::mt19937 random(5);
    const auto below = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text(below(3) == 0 ? 60 + below(10) : below(300), ' ');
        for (char& c : text) c = "\r\nab"[below(round % 2 == 0 ? 4 : 2)];
        std::vector<std::size_t> expected;
        for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1)) {
            expected.push_back(at);
        }
        const std::size_t restart = below(text.size() + 1);
        LineEnds ends(text);
        if (restart > 0) ends.restart(restart);
        std::vector<std::size_t> found;
        for (std::size_t end = ends.next(); end != text.size(); end = ends.next()) {
            found.push_back(end);
        }
        std::erase_if(expected, [&](std::size_t at) { return at < restart; });
        ASSERT_EQ(found, expected) << "text of " << text.size() << " bytes from " << restart;
        EXPECT_EQ(ends.next(), text.size()) << "the end stays the end";
    }
}

TEST(LineEnds, TheWordAtATimeSearchAgreesWithTheBuiltOne) {
    std::mt19937 random(9);
    char block[64];
    for (int round = 0; round < 20000; ++round) {
        for (char& c : block) c = "\r\nx\x8a\x8d\0"[random() % (round % 3 == 0 ? 2 : 6)];
        const bool crbefore = round % 2 == 0;
        ASSERT_EQ(crlfbitsportable(block, crbefore), crlfbits(block, crbefore)) << round;
    }
    char lfs[64];
    std::fill(std::begin(lfs), std::end(lfs), '\n');
    EXPECT_EQ(crlfbitsportable(lfs, true), 1u) << "only the first LF follows a CR, the one before";
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

}  // namespace
}  // namespace hostenv

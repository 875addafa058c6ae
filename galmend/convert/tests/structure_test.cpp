#include "structure.h"

#include <gtest/gtest.h>

#include <limits>

#include "hostenv/failure.h"

namespace galmend {
namespace {

using hostenv::Lines;
using Table = std::vector<std::int16_t>;

TEST(Headerlines, TheFirstDollarFromPositionTwoOpensABlock) {
    EXPECT_TRUE(isheaderline("planet $12"));
    EXPECT_TRUE(isheaderline("a$"));
    EXPECT_TRUE(isheaderline("x $3 $4"));
    EXPECT_FALSE(isheaderline("$12"));
    EXPECT_FALSE(isheaderline("$a$"));
    EXPECT_FALSE(isheaderline("planet"));
    EXPECT_FALSE(isheaderline(""));
}

TEST(Blockcount, ReadFromTheTextAfterTheFirstDollar) {
    EXPECT_DOUBLE_EQ(blockcount("planet $12"), 12);
    EXPECT_DOUBLE_EQ(blockcount("a$"), 0);
    EXPECT_DOUBLE_EQ(blockcount("x $3 $4"), 3);
    EXPECT_DOUBLE_EQ(blockcount("x $3 4"), 34);
    EXPECT_DOUBLE_EQ(blockcount("$2"), 2) << "line 0 with its dollar first";
    EXPECT_DOUBLE_EQ(blockcount("galaxy title"), 0) << "a plain title line";
    EXPECT_DOUBLE_EQ(blockcount("5 lines"), 5) << "no dollar: the whole line";
    EXPECT_DOUBLE_EQ(blockcount("p $1.5"), 1.5);
}

TEST(Consumedlines, TheWholePartAtLeastOne) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr auto most = std::numeric_limits<std::size_t>::max();
    const std::pair<double, std::size_t> cases[] = {
        {0, 1},    {-3, 1},      {0.5, 1},    {1, 1},
        {1.5, 1},  {2.7, 2},     {3, 3},      {nan, 1},
        {-inf, 1}, {1e30, most}, {inf, most}, {18446744073709549568.0, 18446744073709549568u}};
    for (const auto& [w, lines] : cases) EXPECT_EQ(consumedlines(w), lines) << w;
}

TEST(Blocktable, HeaderLineIndexesAfterAZero) {
    const Lines definition{"title", "version", "a $1", "x", "y", "z",
                           "w",     "b $2",    "c",    "d", "e", "c $0"};
    EXPECT_EQ(blocktable(definition, "oldstruct.txt"), (Table{0, 2, 7, 11}));
    EXPECT_EQ(blocktable({"a $1", "b"}, "f"), (Table{0, 0})) << "a header at line 0";
    EXPECT_EQ(blocktable({"$1", "version", "planet $3"}, "f"), (Table{0, 2}));
    EXPECT_EQ(blocktable({"$1", "version", "$3"}, "f"), std::nullopt) << "no header: absent";
    EXPECT_EQ(blocktable({}, "f"), std::nullopt);
    EXPECT_EQ(blocktable({"t", "body with a $ inside", "h $1"}, "f"), (Table{0, 1, 2}))
        << "a stray dollar shifts the numbering";
}

TEST(Blocktable, HeaderLinesMustStandWithinTheFirst32768Lines) {
    Lines definition(32769, "body");
    definition[32767] = "last $1";
    const auto table = blocktable(definition, "newstruct.txt");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->back(), 32767);

    definition[32768] = "beyond $1";
    try {
        blocktable(definition, "newstruct.txt");
        FAIL() << "no overflow";
    } catch (const hostenv::Failure& failure) {
        EXPECT_NE(std::string(failure.what()).find("Overflow"), std::string::npos);
        EXPECT_NE(std::string(failure.what()).find("\"newstruct.txt\""), std::string::npos);
    }
}

TEST(Versionofline, TheLastTwoCharacters) {
    EXPECT_DOUBLE_EQ(versionofline("version 4"), 4);
    EXPECT_DOUBLE_EQ(versionofline("version12"), 12);
    EXPECT_DOUBLE_EQ(versionofline("version 1a"), 1);
    EXPECT_DOUBLE_EQ(versionofline("version ab"), 0);
    EXPECT_DOUBLE_EQ(versionofline("7"), 7);
    EXPECT_DOUBLE_EQ(versionofline(""), 0);
    EXPECT_DOUBLE_EQ(versionofline("v 123"), 23);
}

}  // namespace
}  // namespace galmend

#include "rewrite.h"

#include <gtest/gtest.h>

#include <functional>

#include "hostenv/failure.h"

namespace galmend {
namespace {

using hostenv::Lines;

// The definitions of the worked example.
const Lines exampleold{"$1", "version", "planet $3", "planet", "owner", "moons"};
const Lines examplenew{"$1", "version 4", "planet $4", "planet", "owner #", "moons ##", "rings 0"};

std::string crlf(const Lines& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

std::string rewritten(const Lines& oldstruct, const Lines& newstruct, const Lines& galaxy) {
    const BlockTable oldblocks = blocktable(oldstruct, "oldstruct.txt");
    const BlockTable newblocks = blocktable(newstruct, "newstruct.txt");
    std::string out;
    Rewriter(oldstruct, oldblocks, newstruct, newblocks).rewritegalaxy(crlf(galaxy), out);
    return out;
}

// The failure's description; empty when the rewriting succeeded.
std::string failure(const Lines& oldstruct, const Lines& newstruct, const Lines& galaxy) {
    try {
        rewritten(oldstruct, newstruct, galaxy);
    } catch (const hostenv::Failure& failure) {
        return failure.what();
    }
    return {};
}

void expectmentions(const std::string& message, const std::vector<std::string>& parts) {
    EXPECT_FALSE(message.empty()) << "no failure";
    for (const auto& part : parts) {
        EXPECT_NE(message.find(part), std::string::npos) << '"' << part << "\" not in: " << message;
    }
}

TEST(Rewrite, WorkedExample) {
    const Lines galaxy{"begin", "version 3", "planet", "owner 2", "moons 11", "end"};
    EXPECT_EQ(rewritten(exampleold, examplenew, galaxy),
              "begin\r\nversion 4\r\nplanet\r\nowner 2\r\nmoons 11\r\nrings 0\r\nend\r\n");

    const BlockTable oldblocks = blocktable(exampleold, "oldstruct.txt");
    const BlockTable newblocks = blocktable(examplenew, "newstruct.txt");
    const Rewriter rewriter(exampleold, oldblocks, examplenew, newblocks);
    EXPECT_EQ(rewriter.findoldline("begin"), 0);
    EXPECT_EQ(rewriter.findoldline("version 3"), 1);
    EXPECT_EQ(rewriter.findoldline("planet"), 3) << "planet $3 is longer than the galaxy line";
    EXPECT_EQ(rewriter.blockofline(1), 0);
    EXPECT_EQ(rewriter.blockofline(3), 1);
}

TEST(Rewrite, AppendsToWhatTheOutputHolds) {
    const BlockTable oldblocks = blocktable(exampleold, "oldstruct.txt");
    const BlockTable newblocks = blocktable(examplenew, "newstruct.txt");
    std::string out = "kept\r\n";
    Rewriter(exampleold, oldblocks, examplenew, newblocks).rewritegalaxy("x", out);
    EXPECT_EQ(out, "kept\r\nx\r\n");
}

// Built from temporaries, the rewriter still rewrites once they are gone: by its plans,
// by the rules line by line, and into a failure that quotes a template. AddressSanitizer
// watches the memory the temporaries held.
TEST(Rewrite, KeepsWhatItNeedsOfTemporaries) {
    const Rewriter rewriter(Lines(exampleold), blocktable(exampleold, "oldstruct.txt"),
                            Lines(examplenew), blocktable(examplenew, "newstruct.txt"));
    const std::string galaxy = crlf({"begin", "planet", "owner 2", "moons 11", "end"});
    std::string out;
    rewriter.rewritegalaxy(galaxy, out);
    EXPECT_EQ(out, crlf({"begin", "planet", "owner 2", "moons 11", "rings 0", "end"}));

    out.clear();
    rewriter.writenewblock(1, 1, hostenv::splitlines(galaxy), out);
    EXPECT_EQ(out, crlf({"planet", "owner 2", "moons 11", "rings 0"}));
    EXPECT_EQ(rewriter.blockofline(3), 1);
    EXPECT_EQ(rewriter.findoldline("moons 11"), 5);

    out.clear();
    try {
        rewriter.rewritegalaxy(crlf({"planet", "owner 2"}), out);
        ADD_FAILURE() << "no failure";
    } catch (const hostenv::Failure& failure) {
        expectmentions(failure.what(), {"(\"moons ##\")", "galaxy ends at line 2"});
    }
}

TEST(Findoldline, TheLastMatchWinsNotTheLongest) {
    struct Case {
        Lines oldstruct;
        std::string galaxyline;
        int expected;
    };
    const Case cases[] = {
        {{"$1", "v", "planet", "planets"}, "planets 3", 3},
        {{"$1", "v", "planets", "planet"}, "planets 3", 3},
        {{"$1", "v", "planet"}, "Planet", 0},
        {{"$1", "v", "planet"}, "plane", 0},
        {{"$1", "v", "planet", "planet"}, "planet", 3},
        {{"$1", "v", "", "x $1", "y"}, "anything", 2},
        {{"$1", "v", "", "x $1", "y"}, "", 2},
        {{"$1", "v", "", "x $1", "y"}, "y z", 4},
        {{"title", "v", "a $1"}, "title and more", 0},
        {{"$1", "v", "a", "ab", "abc", "b"}, "abd", 3},
        {{"$1", "v", "ab\xff", "ab"}, "ab\xff!", 3},
        {{}, "x", 0},
        {{"$1", "v", std::string("ab\0", 3)}, "ab", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.galaxyline);
        const BlockTable oldblocks = blocktable(c.oldstruct, "oldstruct.txt");
        EXPECT_EQ(Rewriter(c.oldstruct, oldblocks, examplenew, oldblocks).findoldline(c.galaxyline),
                  c.expected);
    }
}

// More than eight ways on from one node, and edges longer than a word, as long
// definitions have them.
TEST(Findoldline, WideAndLongBranches) {
    Lines oldstruct{"$1", "v"};
    for (char c = 'a'; c <= 'l'; ++c) oldstruct.push_back(std::string(1, c) + " starsystem");
    oldstruct.push_back("a starsystem with a long name");
    const BlockTable oldblocks = blocktable(oldstruct, "oldstruct.txt");
    const Rewriter rewriter(oldstruct, oldblocks, examplenew, oldblocks);
    for (int i = 2; i < 14; ++i) {
        EXPECT_EQ(rewriter.findoldline(oldstruct[i] + " 7"), i) << oldstruct[i];
        EXPECT_EQ(rewriter.findoldline(oldstruct[i].substr(0, 10)), 0) << "cut short";
    }
    EXPECT_EQ(rewriter.findoldline("a starsystem with a long name!"), 14);
    EXPECT_EQ(rewriter.findoldline("a starsystem with a long nam"), 2);
    EXPECT_EQ(rewriter.findoldline("m starsystem"), 0);
}

// Lines whose first eight bytes branch more than once start their walk further down.
TEST(Findoldline, SharedStartsOfEightBytes) {
    const Lines oldstruct{"$1",        "v",         "ob", "object01 name", "object02 name",
                          "object1 x", "object01 n"};
    const BlockTable oldblocks = blocktable(oldstruct, "oldstruct.txt");
    const Rewriter rewriter(oldstruct, oldblocks, examplenew, oldblocks);
    const std::pair<const char*, int> cases[] = {
        {"object01 name 5", 6}, {"object01 nam", 6},  {"object01", 2},
        {"object02 name", 4},   {"object03 name", 2}, {"object1 xyz", 5},
        {"object1 ", 2},        {"objec", 2},         {"ob", 2},
        {"Object01 name", 0},   {"object01 nome", 6}};
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(rewriter.findoldline(line), expected) << line;
}

TEST(Blockofline, TheHeaderStrictlyAbove) {
    const BlockTable table = std::vector<std::int16_t>{0, 2, 7, 11};
    const Rewriter rewriter(exampleold, table, examplenew, table);
    const std::pair<int, int> cases[] = {{0, 0}, {1, 0},  {2, 0},  {3, 1},  {7, 1},
                                         {8, 2}, {11, 2}, {12, 3}, {999, 3}};
    for (const auto& [line, block] : cases) EXPECT_EQ(rewriter.blockofline(line), block) << line;

    const BlockTable headerfirst = std::vector<std::int16_t>{0, 0, 3};
    const Rewriter first(exampleold, headerfirst, examplenew, headerfirst);
    EXPECT_EQ(first.blockofline(1), 1) << "a header at line 0 opens block 1 at once";
    EXPECT_EQ(first.blockofline(3), 1);
    EXPECT_EQ(first.blockofline(4), 2);
}

TEST(Rewrite, RecognitionEdgeCases) {
    // A matching header line belongs to the block before it: block 0 here.
    EXPECT_EQ(rewritten({"$1", "v", "star $1", "moon"}, {"$1", "version 4", "star $1", "MOON"},
                        {"star $1 Vega"}),
              crlf({"version 4"}));
    // An empty old line puts every otherwise unrecognised galaxy line into its block.
    EXPECT_EQ(rewritten({"$1", "v", "e $1", "", "x $1", "x"},
                        {"$1", "v", "e $1", "ANY", "x $1", "X"}, {"a", "xy", "", "b"}),
              crlf({"ANY", "X", "ANY", "ANY"}));
    EXPECT_EQ(rewritten(exampleold, examplenew, {"Planet", "VERSION 3"}),
              crlf({"Planet", "VERSION 3"}));
    EXPECT_EQ(rewritten({}, examplenew, {"planet", "x"}), crlf({"planet", "x"}))
        << "an empty old definition recognises nothing";
    EXPECT_EQ(rewritten(exampleold, examplenew, {}), "");
}

TEST(Rewrite, Templates) {
    const Lines oldstruct{"$1", "v", "p $4", "a", "b", "c", "d"};
    struct Case {
        Lines templates;
        Lines galaxy;
        Lines expected;
    };
    const Case cases[] = {
        // The block consumes the line after the empty one too.
        {{"t #", "u #"}, {"a1", "", "x"}, {"t 1", "u "}},
        {{"t ##", "##", "u ##"}, {"a123", "b", "", "x"}, {"t 23", "b", "u "}},
        {{"t#", "#", "a#b", "# x", "plain"}, {"a1", "b2", "c3", "d4"}, {"a#b", "# x", "plain"}},
        {{"t ###"}, {"a1", "b", "c", "d"}, {"t #a1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.templates.front());
        Lines newstruct{"$1", "v", "p $" + std::to_string(c.templates.size())};
        newstruct.insert(newstruct.end(), c.templates.begin(), c.templates.end());
        EXPECT_EQ(rewritten(oldstruct, newstruct, c.galaxy), crlf(c.expected));
    }
}

TEST(Rewrite, CountsDecideWhatIsWrittenAndConsumed) {
    const Lines oldstruct{"$1", "v", "planet $3", "planet", "owner", "moons", "star $1", "star"};
    const Lines galaxy{"planet", "star x", "star y", "star z"};
    // The short planet block takes the next two star lines with it, by position.
    EXPECT_EQ(rewritten(oldstruct, {"$1", "v", "planet $1", "PLANET", "star $1", "STAR"}, galaxy),
              crlf({"PLANET", "STAR"}));
    // A new count reaching past its block writes the next header line as it stands.
    EXPECT_EQ(rewritten(oldstruct, {"$1", "v", "planet $2", "PLANET", "star $1", "STAR"}, galaxy),
              crlf({"PLANET", "star $1", "STAR"}));
    // Lines after the last counted template are never written.
    EXPECT_EQ(
        rewritten(oldstruct, {"$1", "v", "planet $1", "PLANET", "extra", "star $1", "S"}, galaxy),
        crlf({"PLANET", "S"}));
    // New counts: the whole part of a fraction, nothing below 1.
    const std::pair<std::string, Lines> newcounts[] = {
        {"2.7", {"T1", "T2"}}, {"0.9", {}}, {"0", {}}, {"-2", {}}, {"", {}}};
    for (const auto& [count, expected] : newcounts) {
        SCOPED_TRACE(count);
        EXPECT_EQ(rewritten({"$1", "v", "p $1", "p"}, {"$1", "v", "p $" + count, "T1", "T2", "T3"},
                            {"p", "x"}),
                  crlf(expected) + "x\r\n");
    }
    // Plain templates do not read the galaxy, so a block may run past its end.
    EXPECT_EQ(rewritten({"$1", "v", "p $5", "p"}, {"$1", "v", "p $3", "A", "B", "C"}, {"p"}),
              crlf({"A", "B", "C"}));
}

TEST(Rewrite, OldCountsBelowOneOrFractionalStillMoveOn) {
    const Lines newstruct{"$1", "v", "p $1", "P"};
    const Lines galaxy{"p1", "p2", "p3", "x"};
    const std::pair<std::string, Lines> cases[] = {
        {"0", {"P", "P", "P", "x"}}, {"-2", {"P", "P", "P", "x"}}, {"1.5", {"P", "P", "P", "x"}},
        {"2.7", {"P", "P"}},         {"", {"P", "P", "P", "x"}},   {"1e300", {"P"}},
        {"&HFFFFFFFF", {"P"}},
    };
    for (const auto& [count, expected] : cases) {
        SCOPED_TRACE(count);
        EXPECT_EQ(rewritten({"$1", "v", "p $" + count, "p"}, newstruct, galaxy), crlf(expected));
    }
    // A plain title line gives block 0 the count 0 in both definitions: the version line
    // is consumed alone and nothing replaces it.
    EXPECT_EQ(
        rewritten({"galaxy title", "version", "p $1", "p"},
                  {"galaxy title", "version 4", "p $1", "P"}, {"version 3", "version 3", "x"}),
        "x\r\n");
}

TEST(RewriteFailure, RecognisedButTheOldDefinitionHasNoHeader) {
    expectmentions(failure({"$1", "version"}, examplenew, {"a", "version 3"}),
                   {"Galaxy line 2", "line 2 of", "\"oldstruct.txt\"", "no header line"});
    expectmentions(failure({"$1", "version", "", "x"}, examplenew, {"xa"}),
                   {"Galaxy line 1", "line 4 of", "\"oldstruct.txt\""});

    const Lines headerless{"$1", "version"};
    const BlockTable absent;
    const Rewriter rewriter(headerless, absent, examplenew, absent);
    try {
        rewriter.blockofline(1);
        ADD_FAILURE() << "no failure";
    } catch (const hostenv::Failure& failure) {
        expectmentions(failure.what(), {"Line 2", "\"oldstruct.txt\"", "no header line"});
    }
}

TEST(RewriteFailure, ABlockTheOldDefinitionLacks) {
    const BlockTable oldblocks = blocktable(exampleold, "oldstruct.txt");
    const BlockTable newblocks = blocktable(examplenew, "newstruct.txt");
    const Rewriter rewriter(exampleold, oldblocks, examplenew, newblocks);
    std::string out;
    for (const int p : {-1, 2}) {
        try {
            rewriter.writenewblock(p, 0, {"planet"}, out);
            ADD_FAILURE() << "no failure for block " << p;
        } catch (const hostenv::Failure& failure) {
            expectmentions(failure.what(), {"\"oldstruct.txt\"", "block " + std::to_string(p)});
        }
    }
}

TEST(RewriteFailure, TheNewDefinitionHasFewerBlocks) {
    const Lines oldstruct{"$1", "version", "planet $1", "planet", "star $1", "star"};
    expectmentions(failure(oldstruct, {"$1", "v", "planet $1", "P"}, {"x", "star 1"}),
                   {"Galaxy line 2", "block 2", "\"newstruct.txt\"", "last block is 1"});
    expectmentions(failure(oldstruct, {"$1", "version 4"}, {"version 3"}),
                   {"Galaxy line 1", "block 0", "\"newstruct.txt\"", "no header line"});
}

TEST(RewriteFailure, APlaceholderNeedsALineBeyondTheGalaxy) {
    expectmentions(failure(exampleold, examplenew, {"begin", "planet", "owner 2"}),
                   {"Galaxy line 2", "block 1", "template line 6", "\"newstruct.txt\"",
                    "\"moons ##\"", "galaxy line 4", "ends at line 3"});
    // A template written as nothing still reads its galaxy line.
    expectmentions(failure({"$1", "v", "p $1", "p"}, {"$1", "v", "p $2", "P", "Q#"}, {"p"}),
                   {"Galaxy line 1", "template line 5", "galaxy line 2"});
}

TEST(RewriteFailure, ATemplateBeyondTheNewDefinition) {
    Lines newstruct = examplenew;
    newstruct[2] = "planet $5";
    expectmentions(failure(exampleold, newstruct, {"planet", "owner 2", "moons 11"}),
                   {"Galaxy line 1", "block 1", "count 5", "\"newstruct.txt\"", "template line 8",
                    "ends at line 7"});
    newstruct[2] = "planet $1e400";
    expectmentions(failure(exampleold, newstruct, {"planet", "owner 2", "moons 11"}),
                   {"count inf", "template line 8"});
}

// The texts the player reads, byte for byte: the engine and the transcription share them,
// so only this holds them still.
TEST(RewriteFailure, TheTextsWordForWord) {
    const Lines oldstruct{"$1", "version", "planet $1", "planet", "star $1", "star"};
    Lines overflowing(32769, "filler");
    overflowing[0] = "$1";
    overflowing[32767] = "planet $1";
    Lines counted = examplenew;
    counted[2] = "planet $5.5";
    Lines large = examplenew;
    large[2] = "planet $1234567";
    const std::pair<std::string, std::string> cases[] = {
        {failure({"$1", "version"}, examplenew, {"a", "version 3"}),
         "Galaxy line 2 begins with line 2 of the old structure definition \"oldstruct.txt\", "
         "but that definition has no header line, so the galaxy line belongs to no block."},
        {failure(oldstruct, {"$1", "v", "planet $1", "P"}, {"x", "star 1"}),
         "Galaxy line 2 opens block 2, but the new structure definition \"newstruct.txt\" has "
         "no block 2: its last block is 1."},
        {failure(oldstruct, {"$1", "version 4"}, {"version 3"}),
         "Galaxy line 1 opens block 0, but the new structure definition \"newstruct.txt\" has "
         "no block 0: it has no header line."},
        {failure({"$1", "v", "planet $1", "planet"}, overflowing, {"x", "planet"}),
         "Overflow in the new structure definition \"newstruct.txt\": block 1, opened by galaxy "
         "line 2, has its header at line 32768, so its template lines lie beyond the last line a "
         "block can use."},
        {failure(exampleold, counted, {"planet", "owner 2", "moons 11"}),
         "Galaxy line 1 opens block 1, whose count 5.5 in the new structure definition "
         "\"newstruct.txt\" needs template line 8, but that definition ends at line 7."},
        {failure(exampleold, large, {"planet", "owner 2", "moons 11"}),
         "Galaxy line 1 opens block 1, whose count 1.23457e+06 in the new structure definition "
         "\"newstruct.txt\" needs template line 8, but that definition ends at line 7."},
        {failure(exampleold, examplenew, {"begin", "planet", "owner 2"}),
         "Galaxy line 2 opens block 1, whose template line 6 of the new structure definition "
         "\"newstruct.txt\" (\"moons ##\") needs galaxy line 4, but the galaxy ends at line 3."},
    };
    for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);

    const Lines headerless{"$1", "version"};
    const BlockTable absent;
    const BlockTable oldblocks = blocktable(exampleold, "oldstruct.txt");
    const Rewriter rules(exampleold, oldblocks, examplenew, oldblocks);
    const std::pair<std::function<void()>, std::string> calls[] = {
        {[&] { Rewriter(headerless, absent, examplenew, absent).blockofline(1); },
         "Line 2 of the old structure definition \"oldstruct.txt\" belongs to no block: that "
         "definition has no header line."},
        {[&] {
             std::string out;
             rules.writenewblock(2, 0, {"planet"}, out);
         },
         "The old structure definition \"oldstruct.txt\" has no block 2."},
    };
    for (const auto& [call, expected] : calls) {
        try {
            call();
            ADD_FAILURE() << "no failure: " << expected;
        } catch (const hostenv::Failure& failure) {
            EXPECT_EQ(failure.what(), expected);
        }
    }
}

TEST(RewriteFailure, AHeaderAtTheLast16BitLineLeavesNoTemplateIndex) {
    Lines newstruct(32769, "filler");
    newstruct[0] = "$1";
    newstruct[32767] = "planet $1";
    newstruct[32768] = "planet";
    const Lines oldstruct{"$1", "v", "planet $1", "planet"};
    expectmentions(failure(oldstruct, newstruct, {"x", "planet"}),
                   {"Overflow", "\"newstruct.txt\"", "block 1", "galaxy line 2", "line 32768"});
    newstruct[32767] = "planet $0";
    EXPECT_EQ(rewritten(oldstruct, newstruct, {"x", "planet"}), "x\r\n")
        << "without templates no index is formed";
}

}  // namespace
}  // namespace galmend

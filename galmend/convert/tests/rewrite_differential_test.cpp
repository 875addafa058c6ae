// Holds the indexed engine to the line-by-line transcription on generated definitions
// and galaxies built to make prefixes collide and blocks misbehave.
#include <gtest/gtest.h>

#include <random>

#include "hostenv/failure.h"
#include "rewrite.h"
#include "transcription.h"

namespace galmend {
namespace {

using hostenv::Lines;

class Generator {
  public:
    explicit Generator(unsigned seed) : random_(seed) {}

    Lines definition(bool isnew, int most) {
        Lines lines;
        // Now and then too short for a header line, or empty.
        const int size = below(10) == 0 ? below(3) : 3 + below(most - 2);
        for (int i = 0; i < size; ++i) {
            if (i == 0) {
                lines.push_back(oneof({"$1", "$2", "$0", "title", "t $1", "a", ""}));
            } else if (i == 1 && below(4) > 0) {
                lines.push_back(isnew ? "version 4" : "version");
            } else {
                lines.push_back(isnew ? newline() : oldline());
            }
        }
        return lines;
    }

    // A galaxy's bytes: lines of old lines and stray words, some with a lone CR or LF or
    // long enough to span several words of the line-end search, and any ending.
    std::string galaxy(const Lines& oldstruct, int most) {
        std::string text;
        const int size = below(most + 1);
        for (int i = 0; i < size; ++i) {
            if (!oldstruct.empty() && below(3) > 0) {
                text += oldstruct[below(static_cast<int>(oldstruct.size()))] +
                        oneof({"", "", "1", " 23", "s", "b", "$", "\r", " a long remark 1234"});
            } else {
                text += word() + oneof({"", "7", " 42", "$1", "\n", "\r7", "\n\r"});
            }
            if (i + 1 < size) text += "\r\n";
        }
        return text + oneof({"", "\r\n", "\r\n", "\r\n\r\n", "\r", "\n"});
    }

  private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    std::string oneof(std::initializer_list<const char*> items) {
        return *(items.begin() + below(static_cast<int>(items.size())));
    }

    // Few letters, so that old lines are prefixes of one another, some sharing their first
    // eight bytes.
    std::string word() {
        return oneof({"", "a", "b", "ab", "ba", "aa", "abb", "A", "a b", "b#", "abbaab", "abbabb"});
    }
    std::string count() {
        return oneof({"0", "1", "1", "2", "2", "3", "4", "-1", "1.5", "2.7", "0.5", "", "x", "1e9",
                      "&H2", " 2"});
    }

    std::string oldline() {
        switch (below(8)) {
            case 0:
                return "$" + count();
            case 1:
                return word() + "$" + count() + "$" + count();
            case 2:
            case 3:
            case 4:
            case 5:
                return word() + " $" + count();
            default:
                return word();
        }
    }
    std::string newline() {
        if (below(3) == 0) return word() + " $" + count();
        return word() + oneof({"", "", " #", "##", "#", " ##", "x#", "a#b"});
    }

    std::mt19937 random_;
};

std::string describe(const Lines& lines) {
    std::string text;
    for (const auto& line : lines) text += "[" + line + "] ";
    return text;
}

struct Tally {
    int cases = 0;
    int failed = 0;
    int recognised = 0;
};

void compare(const Lines& oldstruct, const Lines& newstruct, const std::string& text,
             Tally& tally) {
    const Lines galaxy = hostenv::splitlines(text);
    const BlockTable oldblocks = blocktable(oldstruct, "oldstruct.txt");
    const BlockTable newblocks = blocktable(newstruct, "newstruct.txt");
    const Rewriter engine(oldstruct, oldblocks, newstruct, newblocks);
    const transcription::Definitions rules{oldstruct, oldblocks, newstruct, newblocks};

    for (const auto& line : galaxy) {
        const int r = transcription::findoldline(rules, line);
        ASSERT_EQ(engine.findoldline(line), r) << line;
        if (r != 0) ++tally.recognised;
    }
    if (oldblocks) {
        for (int r = 0; r <= static_cast<int>(oldstruct.size()); ++r) {
            ASSERT_EQ(engine.blockofline(r), transcription::blockofline(rules, r)) << r;
        }
    }
    const transcription::Outcome expected = transcription::outcome(
        [&](std::string& out) { transcription::rewritegalaxy(rules, galaxy, out); });
    const transcription::Outcome actual =
        transcription::outcome([&](std::string& out) { engine.rewritegalaxy(text, out); });
    ASSERT_EQ(actual.failed, expected.failed) << actual.failure << expected.failure;
    ASSERT_EQ(actual.failure, expected.failure);
    ASSERT_EQ(actual.out, expected.out) << "the text written before the failure, or all of it";
    ++tally.cases;
    if (expected.failed) ++tally.failed;
}

void run(unsigned firstseed, int cases, int definitionlines, int galaxylines, Tally& tally) {
    for (unsigned seed = firstseed; seed < firstseed + static_cast<unsigned>(cases); ++seed) {
        Generator generate(seed);
        const Lines oldstruct = generate.definition(false, definitionlines);
        const Lines newstruct = generate.definition(true, definitionlines);
        const std::string galaxy = generate.galaxy(oldstruct, galaxylines);
        SCOPED_TRACE("seed " + std::to_string(seed) + "\nold: " + describe(oldstruct) + "\nnew: " +
                     describe(newstruct) + "\ngalaxy: " + describe(hostenv::splitlines(galaxy)));
        compare(oldstruct, newstruct, galaxy, tally);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

TEST(RewriteDifferential, SmallDefinitionsAndGalaxies) {
    Tally tally;
    run(1, 15000, 10, 12, tally);
    ASSERT_EQ(tally.cases, 15000);
    // The generator must reach both ends: rewritten galaxies and failures.
    EXPECT_GT(tally.failed, tally.cases / 10);
    EXPECT_LT(tally.failed, tally.cases * 9 / 10);
    EXPECT_GT(tally.recognised, tally.cases);
}

TEST(RewriteDifferential, LargerDefinitionsAndGalaxies) {
    Tally tally;
    run(100001, 500, 60, 300, tally);
    ASSERT_EQ(tally.cases, 500);
}

}  // namespace
}  // namespace galmend

// The line-end search by each of its ways (SSE2 and eight-byte words, where the build has
// both) against a plain one, block by block and over whole texts. Built into the Windows
// side's tests too, so that a 32-bit run also checks the choice made from the processor.
#include "hostenv/lineends.h"

#include <gtest/gtest.h>

#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace hostenv {
namespace {

// The breaks of a block found a byte at a time.
std::uint64_t plainbits(const char* block, bool crbefore) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 64; ++i) {
        const bool cr = i == 0 ? crbefore : block[i - 1] == '\r';
        if (cr && block[i] == '\n') bits |= std::uint64_t{1} << i;
    }
    return bits;
}

// Every way this build has of finding a block's breaks, with its name; SSE2 only where the
// processor runs it.
struct Way {
    const char* name;
    BlockSearch search;
    std::vector<std::size_t> (*ends)(std::string_view text, std::size_t restart);
};

// The line ends that LineEndsBy<search> gives from restart on.
template <BlockSearch search>
std::vector<std::size_t> endsby(std::string_view text, std::size_t restart) {
    LineEndsBy<search> ends(text);
    if (restart > 0) ends.restart(restart);
    std::vector<std::size_t> found;
    for (std::size_t end = ends.next(); end != text.size(); end = ends.next()) {
        found.push_back(end);
        if (found.size() > text.size()) break;  // a search that does not move on
    }
    EXPECT_EQ(ends.next(), text.size()) << "the end stays the end";
    return found;
}

std::vector<Way> ways() {
    std::vector<Way> all = {{"built", crlfbits, endsby<crlfbits>},
                            {"words", crlfbitsportable, endsby<crlfbitsportable>}};
#if defined(HOSTENV_SSE2_LANES)
    if (sse2lanes) all.push_back({"sse2", crlfbitssse2, endsby<crlfbitssse2>});
#endif
    return all;
}

// The CR LFs of text from restart on, found with a plain search.
std::vector<std::size_t> plainends(std::string_view text, std::size_t restart) {
    std::vector<std::size_t> ends;
    for (auto at = text.find("\r\n", restart); at != std::string_view::npos;
         at = text.find("\r\n", at + 1)) {
        ends.push_back(at);
    }
    return ends;
}

TEST(LineEnds, TheBuildsSearchIsSse2WhereTheProcessorHasIt) {
#if defined(HOSTENV_SSE2_LANES)
    __builtin_cpu_init();
    EXPECT_EQ(sse2lanes, __builtin_cpu_supports("sse2") != 0);
#if defined(__SSE2__)
    std::cout << "[          ] the line-end search uses SSE2, compiled in\n";
#else
    std::cout << "[          ] the line-end search uses "
              << (sse2lanes ? "SSE2" : "eight-byte words") << ", chosen at start\n";
#endif
#else
    GTEST_SKIP() << "no SSE2 search on this processor family";
#endif
}

// Blocks of random bytes, of bytes near CR and LF (their bits flipped, their top bit set),
// and of set patterns, each with and without a CR before it.
TEST(LineEnds, EachWayFindsABlocksBreaks) {
    std::vector<std::string> blocks;
    std::mt19937 random(9);
    const std::string nearby =
        std::string("\r\n") + "x\x8a\x8d" + '\0' + "\x0b\x0c\x0e\x09\x1a\x2a\x2d\xff";
    for (int round = 0; round < 20000; ++round) {
        std::string block(64, ' ');
        const std::size_t alphabet = round % 3 == 0 ? 2 : round % 3 == 1 ? 6 : nearby.size();
        for (char& c : block) c = nearby[random() % alphabet];
        blocks.push_back(block);
    }
    for (int round = 0; round < 2000; ++round) {
        std::string block(64, ' ');
        for (char& c : block) c = static_cast<char>(random());
        blocks.push_back(block);
    }
    for (const char* pattern : {"\n", "\r", "\r\n", "\n\r", "\r\r\n", "\r\n\n", "ab\r\n"}) {
        for (std::size_t shift = 0; shift < 4; ++shift) {
            std::string block(shift, 'x');
            while (block.size() < 64) block += pattern;
            blocks.push_back(block.substr(0, 64));
        }
    }
    // One CR LF at each place, and one split by each edge of the 16- and 32-byte parts.
    for (std::size_t at = 0; at < 63; ++at) {
        std::string block(64, 'y');
        block[at] = '\r';
        block[at + 1] = '\n';
        blocks.push_back(block);
    }
    std::string edge(64, '\n');
    edge[63] = '\r';
    blocks.push_back(edge);
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        for (const bool crbefore : {false, true}) {
            const std::uint64_t expected = plainbits(blocks[b].data(), crbefore);
            for (const Way& way : ways()) {
                ASSERT_EQ(way.search(blocks[b].data(), crbefore), expected)
                    << way.name << " on block " << b << ", crbefore " << crbefore;
            }
        }
    }
    EXPECT_EQ(crlfbitsportable(std::string(64, '\n').data(), true), 1u)
        << "only the first LF follows a CR, the one before";
}

// Texts thick with CR and LF, of lengths around and across the 64-byte blocks, against a plain
// search, from any restart, by each way.
TEST(LineEnds, GivesEveryCrLfInOrderFromAnyRestart) {
    std::mt19937 random(5);
    const auto below = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string text(below(3) == 0 ? 60 + below(10) : below(300), ' ');
        for (char& c : text) c = "\r\nab"[below(round % 2 == 0 ? 4 : 2)];
        const std::size_t restart = below(text.size() + 1);
        const std::vector<std::size_t> expected = plainends(text, restart);
        for (const Way& way : ways()) {
            ASSERT_EQ(way.ends(text, restart), expected)
                << way.name << ": text of " << text.size() << " bytes from " << restart;
        }
    }
}

}  // namespace
}  // namespace hostenv

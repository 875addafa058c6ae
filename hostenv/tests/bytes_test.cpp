// The word-at-a-time byte helpers against byte-by-byte answers.
#include "hostenv/bytes.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace hostenv {
namespace {

// Lanes equal to c next to lanes one above or below it, where a carry or a borrow that
// crossed a lane would flag a byte that differs ("\n\x0b" flagging the 0x0b).
TEST(Bytes, EqualLanesFlagsExactlyTheEqualBytes) {
    std::mt19937 random(5);
    for (int c = 0; c < 256; ++c) {
        const auto target = static_cast<char>(c);
        const char neighbours[] = {target,
                                   static_cast<char>(c ^ 1),
                                   static_cast<char>(c + 1),
                                   static_cast<char>(c - 1),
                                   static_cast<char>(c ^ 0x80),
                                   '\0',
                                   '\xff'};
        for (int round = 0; round < 200; ++round) {
            char bytes[8];
            for (char& b : bytes) b = neighbours[random() % std::size(neighbours)];
            std::uint64_t flags = 0;
            unsigned first = 8;
            for (unsigned lane = 8; lane-- > 0;) {
                if (bytes[lane] != target) continue;
                flags |= std::uint64_t{0x80} << (8 * lane);
                first = lane;
            }
            const std::uint64_t word = loadword(bytes);
            ASSERT_EQ(equallanes(word, target), flags) << "c " << c << " round " << round;
            ASSERT_EQ(firstequallane(word, target), first) << "c " << c << " round " << round;
        }
    }
}

TEST(Bytes, WordAtReadsNoFurtherThanRoom) {
    const std::string text = "abcdefghijk";
    for (std::size_t room = 0; room <= text.size(); ++room) {
        // Exactly room bytes, so that AddressSanitizer sees any read past them.
        const auto held = std::make_unique<char[]>(room);
        text.copy(held.get(), room);
        for (std::size_t at = 0; at <= room; ++at) {
            std::string expected = text.substr(at, std::min<std::size_t>(8, room - at));
            expected.resize(8, '\0');
            EXPECT_EQ(wordat(held.get(), at, room), loadword(expected.data()))
                << "at " << at << " room " << room;
        }
    }
}

TEST(Bytes, LowBytesSetsTheLowNBytes) {
    for (std::size_t n = 1; n <= 8; ++n) {
        std::string expected(n, '\xff');
        expected.resize(8, '\0');
        EXPECT_EQ(lowbytes(n), loadword(expected.data())) << n;
    }
}

TEST(Bytes, SameBytesComparesTheFirstLengthBytesOnly) {
    const std::string a = "0123456789abcdefghijklmnopq";
    for (std::size_t length = 0; length <= 24; ++length) {
        EXPECT_TRUE(samebytes(a.data(), a.data(), length)) << length;
        for (std::size_t at = 0; at < 26; ++at) {
            std::string b = a;
            b[at] = '!';
            EXPECT_EQ(samebytes(a.data(), b.data(), length), at >= length)
                << "length " << length << " differing at " << at;
        }
    }
}

TEST(Bytes, CopyBytesCopiesExactlyN) {
    std::string from(48, '\0');
    for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<char>('A' + i % 26);
    for (std::size_t n = 0; n <= 40; ++n) {
        std::string to(n + 16, '#');
        EXPECT_EQ(copybytes(to.data(), from.data(), n), to.data() + n) << n;
        EXPECT_EQ(to, from.substr(0, n) + std::string(16, '#')) << n;
    }
}

}  // namespace
}  // namespace hostenv

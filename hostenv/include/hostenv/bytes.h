// Byte helpers for the text scans: eight bytes compared as one word, and the short copies
// that make up most of a galaxy done without a call.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace hostenv {

// Byte i of a word read from memory is its lane i, counted from the low end.
static_assert(std::endian::native == std::endian::little);

// The eight bytes at from as one word.
[[gnu::always_inline]] inline std::uint64_t loadword(const char* from) {
    std::uint64_t word;
    std::memcpy(&word, from, sizeof word);
    return word;
}

// The eight bytes of text from at where room allows, fewer and zeros past room otherwise.
[[gnu::always_inline]] inline std::uint64_t wordat(const char* text, std::size_t at,
                                                   std::size_t room) {
    std::uint64_t word = 0;
    if (at + 8 <= room) {
        std::memcpy(&word, text + at, 8);
    } else if (at < room) {
        std::memcpy(&word, text + at, room - at);
    }
    return word;
}

// Whether the processor's word is narrower than the eight-byte words here, as on 32-bit x86:
// an eight-byte word then takes two registers, and the helpers below work on its halves
// where that saves instructions.
inline constexpr bool narrowwords = sizeof(std::size_t) < sizeof(std::uint64_t);

// equallanes() on a word of any width.
template <class Word>
[[gnu::always_inline]] inline Word equallanesof(Word word, char c) {
    constexpr Word ones = ~Word{0} / 0xff;
    constexpr Word lows = ones * 0x7f;
    constexpr Word highs = ones * 0x80;
    const Word differ = word ^ (ones * static_cast<unsigned char>(c));
    // 0x80 less a lane's low seven bits keeps the top bit only when they are all zero; the
    // top bit of differ is tested beside it, so a child lookup in the prefix tree waits on
    // three steps after the xor, not five.
    return (highs - (differ & lows)) & ~(differ | lows);
}

// The top bit of each lane of word that equals c, and no other bit. No borrow crosses a
// lane, so every flag is true, not only the lowest; and the two halves of the word can be
// done apart, without a borrow between them.
[[gnu::always_inline]] inline std::uint64_t equallanes(std::uint64_t word, char c) {
    if constexpr (narrowwords) {
        return std::uint64_t{equallanesof(static_cast<std::uint32_t>(word >> 32), c)} << 32 |
               equallanesof(static_cast<std::uint32_t>(word), c);
    }
    return equallanesof(word, c);
}

// The low n bytes of a word set, 1 <= n <= 8. A table where a variable shift of an eight-byte
// word takes a branch.
[[gnu::always_inline]] inline std::uint64_t lowbytes(std::size_t n) {
    if constexpr (narrowwords) {
        static constexpr auto masks = [] {
            std::array<std::uint64_t, 9> all{};
            for (std::size_t i = 1; i < all.size(); ++i) all[i] = ~std::uint64_t{0} >> (64 - 8 * i);
            return all;
        }();
        return masks[n];
    }
    return ~std::uint64_t{0} >> (64 - 8 * n);
}

// std::countr_zero of a word, 64 for zero. On 32-bit targets the word is two registers and
// the library's count a call, so the halves are counted apart, without a branch.
[[gnu::always_inline]] inline unsigned lowzeros(std::uint64_t word) {
    if constexpr (narrowwords) {
        const auto low = static_cast<std::uint32_t>(word);
        const auto high = static_cast<std::uint32_t>(word >> 32);
        const auto lowcount = static_cast<unsigned>(std::countr_zero(low));
        const auto highcount = 32 + static_cast<unsigned>(std::countr_zero(high));
        return low != 0 ? lowcount : highcount;
    }
    return static_cast<unsigned>(std::countr_zero(word));
}

// The first lane of word that equals c, or 8 when none does.
[[gnu::always_inline]] inline unsigned firstequallane(std::uint64_t word, char c) {
    return lowzeros(equallanes(word, c)) / 8;
}

// Whether the first length bytes at a and b are the same, eight at a time.
[[gnu::always_inline]] inline bool samebytes(const char* a, const char* b, std::size_t length) {
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        if (loadword(a + i) != loadword(b + i)) return false;
    }
    return std::memcmp(a + i, b + i, length - i) == 0;
}

// Copies n bytes and returns where the copy ends; runs of up to 32 bytes take a few
// overlapping word moves instead of a call.
[[gnu::always_inline]] inline char* copybytes(char* to, const char* from, std::size_t n) {
    if (n > 32) {
        std::memcpy(to, from, n);
    } else if (n > 16) {
        std::uint64_t words[4];
        std::memcpy(words, from, 16);
        std::memcpy(words + 2, from + n - 16, 16);
        std::memcpy(to, words, 16);
        std::memcpy(to + n - 16, words + 2, 16);
    } else if (n >= 8) {
        const std::uint64_t head = loadword(from);
        const std::uint64_t tail = loadword(from + n - 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + n - 4, &tail, 4);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
    return to + n;
}

}  // namespace hostenv

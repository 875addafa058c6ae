// Finding the CR LF line breaks of a large text quickly: 64 bytes are looked at a time and
// their breaks kept as the bits of one word, so that a short line costs a few instructions
// and no call. SSE2 where the compiler may use it; on 32-bit x86 built without it, SSE2 where
// the processor has it, found once at start (lanes.cpp); eight-byte words otherwise.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "hostenv/bytes.h"

// Defined where crlfbitssse2 exists; sse2lanes then says whether the processor can run it.
#if defined(__SSE2__) || (defined(__i386__) && defined(__GNUC__))
#define HOSTENV_SSE2_LANES 1
#endif

namespace hostenv {

// Bit i is set when byte i of the 64 at block is the LF of a CR LF; crbefore says whether
// the byte before the block is a CR. Written with eight-byte words, for any processor.
inline std::uint64_t crlfbitsportable(const char* block, bool crbefore) {
    // Gathers the top bits of the eight bytes into the low eight bits, byte 0 lowest.
    const auto gather = [](std::uint64_t tops) {
        return static_cast<std::uint64_t>(((tops >> 7) * 0x0102040810204080u) >> 56);
    };
    std::uint64_t lf = 0;
    std::uint64_t cr = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t word = loadword(block + 8 * i);
        lf |= gather(equallanes(word, '\n')) << (8 * i);
        cr |= gather(equallanes(word, '\r')) << (8 * i);
    }
    return lf & ((cr << 1) | (crbefore ? 1 : 0));
}

#if defined(__SSE2__)
// The compiler may use SSE2 (every x86-64 build does): the search is inlined and nothing is
// chosen at run time.
inline constexpr bool sse2lanes = true;

inline std::uint64_t crlfbitssse2(const char* block, bool crbefore) {
    const __m128i lfs = _mm_set1_epi8('\n');
    const __m128i crs = _mm_set1_epi8('\r');
    std::uint64_t lf = 0;
    std::uint64_t cr = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
        lf |= static_cast<std::uint64_t>(
                  static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lfs))))
              << (16 * i);
        cr |= static_cast<std::uint64_t>(
                  static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, crs))))
              << (16 * i);
    }
    return lf & ((cr << 1) | (crbefore ? 1 : 0));
}

inline std::uint64_t crlfbits(const char* block, bool crbefore) {
    return crlfbitssse2(block, crbefore);
}
#elif defined(HOSTENV_SSE2_LANES)
// 32-bit x86 built without SSE2. The SSE2 search is compiled for SSE2 alone in lanes.cpp and
// never inlined here, so no code of this header holds an SSE2 instruction; sse2lanes is set
// there once, before main, from the processor's cpuid (false until then: the words are right
// on every processor). Per block, the choice costs one well-predicted branch.
extern const bool sse2lanes;
std::uint64_t crlfbitssse2(const char* block, bool crbefore);

inline std::uint64_t crlfbits(const char* block, bool crbefore) {
    if (sse2lanes) return crlfbitssse2(block, crbefore);
    return crlfbitsportable(block, crbefore);
}
#else
inline std::uint64_t crlfbits(const char* block, bool crbefore) {
    return crlfbitsportable(block, crbefore);
}
#endif

// How the CR LF breaks of one block are found: crlfbits, or for a test or a measurement one
// of the ways it chooses from.
using BlockSearch = std::uint64_t (*)(const char* block, bool crbefore);

// The line ends of a text in order: where the CR of each CR LF stands, then the text's size.
template <BlockSearch search>
class LineEndsBy {
  public:
    explicit LineEndsBy(std::string_view text) : text_(text) { restart(0); }

    // The next line end; the text's size when no CR LF is left.
    std::size_t next() {
        while (bits_ == 0) {
            base_ += 64;
            if (base_ >= text_.size()) return text_.size();
            bits_ = blockbits(base_);
        }
        const std::size_t lf = base_ + hostenv::lowzeros(bits_);
        bits_ &= bits_ - 1;
        return lf - 1;
    }

    // Makes next() give the first line end at or after position.
    void restart(std::size_t position) {
        const std::size_t lf = position + 1;  // the earliest LF that can follow such a CR
        base_ = lf / 64 * 64;
        if (base_ >= text_.size()) {
            bits_ = 0;
            return;
        }
        bits_ = blockbits(base_) & (~std::uint64_t{0} << (lf - base_));
    }

  private:
    std::uint64_t blockbits(std::size_t base) const {
        const bool crbefore = base > 0 && text_[base - 1] == '\r';
        if (text_.size() - base >= 64) return search(text_.data() + base, crbefore);
        // The last, short block is looked at in a copy padded with bytes that are no break.
        char last[64] = {};
        std::memcpy(last, text_.data() + base, text_.size() - base);
        return search(last, crbefore);
    }

    std::string_view text_;
    std::size_t base_ = 0;    // where the 64 bytes of bits_ start
    std::uint64_t bits_ = 0;  // the LFs of CR LFs in that block not yet given
};

using LineEnds = LineEndsBy<crlfbits>;

}  // namespace hostenv

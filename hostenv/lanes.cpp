// The line-end search of 32-bit x86 builds made without SSE2: its SSE2 form, compiled for
// SSE2 in this one function, and whether the processor can run it, found once.
#include "hostenv/lineends.h"

#if defined(HOSTENV_SSE2_LANES) && !defined(__SSE2__)

#include <cpuid.h>
#include <emmintrin.h>

namespace hostenv {

namespace {

// cpuid leaf 1: EDX bit 26 is SSE2.
bool processorhassse2() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_SSE2) != 0;
}

// Bit i of the 32 says whether byte i of the 32 in low and high is c.
[[gnu::target("sse2"), gnu::always_inline]] inline std::uint32_t equalbits(__m128i low,
                                                                           __m128i high,
                                                                           __m128i c) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, c))) |
           static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, c))) << 16;
}

}  // namespace

// External, as lineends.h declares it.
const bool sse2lanes = processorhassse2();

// As lineends.h's SSE2 search, with the bits gathered in 32-bit halves, the processor's
// word. Never inlined: it is called only where sse2lanes is true. The target is this
// function's alone (and its helper's, which is local to this file), so the headers' inline
// functions keep their plain code in this file too, and whichever copy of one the linker
// keeps has no SSE2 instruction.
[[gnu::target("sse2"), gnu::noinline]] std::uint64_t crlfbitssse2(const char* block,
                                                                  bool crbefore) {
    const __m128i lfs = _mm_set1_epi8('\n');
    const __m128i crs = _mm_set1_epi8('\r');
    const auto* const at = reinterpret_cast<const __m128i*>(block);
    const __m128i b0 = _mm_loadu_si128(at);
    const __m128i b1 = _mm_loadu_si128(at + 1);
    const __m128i b2 = _mm_loadu_si128(at + 2);
    const __m128i b3 = _mm_loadu_si128(at + 3);
    const std::uint32_t crlow = equalbits(b0, b1, crs);
    const std::uint32_t crhigh = equalbits(b2, b3, crs);
    // The LF of a CR LF: bit i of the LFs with bit i - 1 of the CRs, the last CR of the low
    // half carried into the high one.
    const std::uint32_t low = equalbits(b0, b1, lfs) & ((crlow << 1) | (crbefore ? 1u : 0u));
    const std::uint32_t high = equalbits(b2, b3, lfs) & ((crhigh << 1) | (crlow >> 31));
    return static_cast<std::uint64_t>(high) << 32 | low;
}

}  // namespace hostenv

#endif

#pragma once
// Conversion of eight floats at once to FP16 bit patterns, with the same rounding as
// gemm::FloatToHalf (declared in core/input_matrices.h).

#include <emmintrin.h>

namespace gemm {

// Converts eight floats (low, then high) at once when every magnitude lies in the normal
// FP16 range, 2^-14 up to below 65536, which nearly every generated value does. Returns
// false, leaving halves unspecified, when any value lies outside it.
inline bool NormalFloatsToHalves(__m128 low, __m128 high, __m128i& halves) {
    const __m128i absMask = _mm_set1_epi32(0x7FFFFFFF);
    const __m128i rebias = _mm_set1_epi32(static_cast<int>(0xF8000FFFu));
    const __m128i one = _mm_set1_epi32(1);
    const __m128i low15 = _mm_set1_epi32(0x7FFF);
    const __m128i signBit = _mm_set1_epi32(0x8000);
    // With signed compares: m - 0x38800000 in [0, 0x47800000 - 0x38800000) is the range.
    const __m128i rangeStart = _mm_set1_epi32(0x38800000);
    const __m128i rangeLength = _mm_set1_epi32(0x47800000 - 0x38800000);
    const __m128i minusOne = _mm_set1_epi32(-1);
    __m128i out[2];
    __m128i inRange = minusOne;
    const __m128 values[2] = {low, high};
    for (int i = 0; i < 2; ++i) {
        const __m128i bits = _mm_castps_si128(values[i]);
        const __m128i m = _mm_and_si128(bits, absMask);
        const __m128i offset = _mm_sub_epi32(m, rangeStart);
        inRange = _mm_and_si128(inRange, _mm_and_si128(_mm_cmpgt_epi32(rangeLength, offset),
                                                       _mm_cmpgt_epi32(offset, minusOne)));
        // FloatToHalf's normal case: rebias and round to nearest even in one addition.
        const __m128i odd = _mm_and_si128(_mm_srli_epi32(m, 13), one);
        __m128i r = _mm_and_si128(_mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(m, rebias), odd), 13), low15);
        r = _mm_or_si128(r, _mm_and_si128(_mm_srli_epi32(bits, 16), signBit));
        // Sign-extend from 16 bits so that the signed saturating pack keeps every pattern.
        out[i] = _mm_srai_epi32(_mm_slli_epi32(r, 16), 16);
    }
    halves = _mm_packs_epi32(out[0], out[1]);
    return _mm_movemask_epi8(inRange) == 0xFFFF;
}

}  // namespace gemm

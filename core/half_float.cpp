#include "core/half_float.h"

#include <bit>
#include <emmintrin.h>

#include "core/input_matrices.h"

namespace gemm {

std::uint16_t FloatToHalf(float value) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t sign = (bits >> 16) & 0x8000u;
    const std::uint32_t m = bits & 0x7FFFFFFFu;
    std::uint32_t r;
    if (m >= 0x47800000u) {
        // 65536 or more, infinity, NaN. A NaN stays quiet and keeps its upper payload bits.
        r = m <= 0x7F800000u ? 0x7C00u : 0x7E00u | ((m >> 13) & 0x1FFu);
    } else if (m <= 0x33000000u) {
        r = 0;  // at most 2^-25: rounds to zero (2^-25 itself is a tie towards even zero)
    } else if (m < 0x38800000u) {
        const std::uint32_t shift = 125u - (m >> 23);
        const std::uint32_t mant = (m & 0x7FFFFFu) | 0x800000u;
        r = mant >> (shift + 1);
        const std::uint32_t sticky = (mant & ((1u << shift) - 1u)) != 0 ? 1u : 0u;
        r += (r | sticky) & (mant >> shift) & 1u;
    } else {
        // Rebias the exponent by -112 and round to nearest even in one addition; the carry
        // out of the mantissa moves into the exponent, up to infinity.
        r = ((m + 0xF8000FFFu + ((m >> 13) & 1u)) >> 13) & 0x7FFFu;
    }
    return static_cast<std::uint16_t>(r | sign);
}

float HalfToFloat(std::uint16_t half) {
    const std::uint32_t sign = static_cast<std::uint32_t>(half & 0x8000u) << 16;
    const std::uint32_t exponent = (half >> 10) & 0x1Fu;
    std::uint32_t mantissa = half & 0x3FFu;
    std::uint32_t bits;
    if (exponent == 0x1Fu) {
        bits = sign | 0x7F800000u | (mantissa << 13);
    } else if (exponent != 0) {
        bits = sign | ((exponent + 112u) << 23) | (mantissa << 13);
    } else if (mantissa == 0) {
        bits = sign;
    } else {
        // Subnormal: shift the leading one into the implicit bit position.
        std::uint32_t e = 113;
        while ((mantissa & 0x400u) == 0) {
            mantissa <<= 1;
            --e;
        }
        bits = sign | (e << 23) | ((mantissa & 0x3FFu) << 13);
    }
    return std::bit_cast<float>(bits);
}

void FloatsToHalves(const float* values, std::uint16_t* halves, std::size_t count) {
    // Eight values at a time in the normal FP16 range, which is where nearly every
    // generated value lies; groups with any other magnitude go through FloatToHalf.
    const __m128i absMask = _mm_set1_epi32(0x7FFFFFFF);
    const __m128i rebias = _mm_set1_epi32(static_cast<int>(0xF8000FFFu));
    const __m128i one = _mm_set1_epi32(1);
    const __m128i low15 = _mm_set1_epi32(0x7FFF);
    const __m128i signBit = _mm_set1_epi32(0x8000);
    // Signed compares: m - 0x38800000 < 0x47800000 - 0x38800000 tests the normal range.
    const __m128i rangeStart = _mm_set1_epi32(0x38800000);
    const __m128i rangeLength = _mm_set1_epi32(0x47800000 - 0x38800000);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128i out[2];
        bool inRange = true;
        for (int half = 0; half < 2; ++half) {
            const __m128i bits =
                _mm_castps_si128(_mm_loadu_ps(values + i + static_cast<std::size_t>(half) * 4));
            const __m128i m = _mm_and_si128(bits, absMask);
            const __m128i offset = _mm_sub_epi32(m, rangeStart);
            const __m128i normal = _mm_and_si128(_mm_cmpgt_epi32(rangeLength, offset),
                                                 _mm_cmpgt_epi32(offset, _mm_set1_epi32(-1)));
            inRange = inRange && _mm_movemask_epi8(normal) == 0xFFFF;
            const __m128i odd = _mm_and_si128(_mm_srli_epi32(m, 13), one);
            __m128i r = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(m, rebias), odd), 13);
            r = _mm_and_si128(r, low15);
            r = _mm_or_si128(r, _mm_and_si128(_mm_srli_epi32(bits, 16), signBit));
            // Sign-extend from 16 bits so that the signed saturating pack keeps every pattern.
            out[half] = _mm_srai_epi32(_mm_slli_epi32(r, 16), 16);
        }
        if (inRange) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(halves + i), _mm_packs_epi32(out[0], out[1]));
        } else {
            for (std::size_t j = i; j < i + 8; ++j) {
                halves[j] = FloatToHalf(values[j]);
            }
        }
    }
    for (; i < count; ++i) {
        halves[i] = FloatToHalf(values[i]);
    }
}

}  // namespace gemm

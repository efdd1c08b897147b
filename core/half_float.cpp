#include <bit>

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

}  // namespace gemm

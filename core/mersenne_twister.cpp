#include "core/mersenne_twister.h"

#include <emmintrin.h>

namespace gemm {

namespace {

constexpr std::size_t kN = MersenneTwisterBlocks::kBlockWords;
constexpr std::size_t kM = 397;
constexpr std::uint32_t kMatrixA = 0x9908B0DFu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7FFFFFFFu;

std::uint32_t TwistWord(std::uint32_t current, std::uint32_t next, std::uint32_t far) {
    const std::uint32_t y = (current & kUpperMask) | (next & kLowerMask);
    return far ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrixA : 0u);
}

__m128i Load(const std::uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Words i..i+3; their neighbours i+1..i+4 and the far words must not have been
// overwritten by this twist yet, or must already have been (for the wrapped part).
void TwistFour(std::uint32_t* state, std::size_t i, const std::uint32_t* far) {
    const __m128i upper = _mm_set1_epi32(static_cast<int>(kUpperMask));
    const __m128i lower = _mm_set1_epi32(static_cast<int>(kLowerMask));
    const __m128i one = _mm_set1_epi32(1);
    const __m128i matrixA = _mm_set1_epi32(static_cast<int>(kMatrixA));
    const __m128i y = _mm_or_si128(_mm_and_si128(Load(state + i), upper),
                                   _mm_and_si128(Load(state + i + 1), lower));
    // (y & 1) ? kMatrixA : 0, as the mask -(y & 1).
    const __m128i odd = _mm_sub_epi32(_mm_setzero_si128(), _mm_and_si128(y, one));
    const __m128i word = _mm_xor_si128(_mm_xor_si128(Load(far), _mm_srli_epi32(y, 1)),
                                       _mm_and_si128(odd, matrixA));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + i), word);
}

}  // namespace

MersenneTwisterBlocks::MersenneTwisterBlocks(std::uint32_t seed) {
    state_[0] = seed;
    for (std::size_t i = 1; i < kN; ++i) {
        const std::uint32_t previous = state_[i - 1];
        state_[i] = 1812433253u * (previous ^ (previous >> 30)) + static_cast<std::uint32_t>(i);
    }
}

void MersenneTwisterBlocks::Twist() {
    // Words 0..226 combine with old words 397..623; words 227..623 with new words 0..396.
    // Four at a time where neither a neighbour nor a far word falls across that border.
    const auto twistOne = [this](std::size_t i) {
        state_[i] = TwistWord(state_[i], state_[(i + 1) % kN], state_[(i + kM) % kN]);
    };
    std::size_t i = 0;
    for (; i + 4 <= kN - kM; i += 4) {
        TwistFour(state_, i, state_ + i + kM);
    }
    for (; i <= kN - kM; ++i) {
        twistOne(i);
    }
    for (; i + 4 < kN; i += 4) {
        TwistFour(state_, i, state_ + i + kM - kN);
    }
    for (; i < kN; ++i) {
        twistOne(i);
    }
}

void MersenneTwisterBlocks::NextBlock(std::uint32_t (&words)[kBlockWords]) {
    Twist();
    const __m128i b = _mm_set1_epi32(static_cast<int>(0x9D2C5680u));
    const __m128i c = _mm_set1_epi32(static_cast<int>(0xEFC60000u));
    for (std::size_t i = 0; i < kN; i += 4) {
        __m128i y = Load(state_ + i);
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 11));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 7), b));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 15), c));
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 18));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + i), y);
    }
}

}  // namespace gemm

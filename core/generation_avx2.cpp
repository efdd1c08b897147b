// The AVX2 generation kernels, eight lanes wide, with F16C for the FP16 conversion; one
// logarithm variant also uses FMA. This file alone is compiled for AVX2, and it defines
// nothing but the two kernel tables, so that no wide instruction reaches shared code.

#include <immintrin.h>

#include "core/generation_kernels.h"
#include "core/logarithm_table.h"

namespace gemm {

namespace {

constexpr std::size_t kN = kEngineWords;
constexpr std::size_t kM = 397;
constexpr std::uint32_t kMatrixA = 0x9908B0DFu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7FFFFFFFu;

void TwistOne(std::uint32_t* state, std::size_t i) {
    const std::uint32_t y = (state[i] & kUpperMask) | (state[(i + 1) % kN] & kLowerMask);
    state[i] = state[(i + kM) % kN] ^ (y >> 1) ^ ((y & 1u) != 0 ? kMatrixA : 0u);
}

__m256i Load(const std::uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Words i..i+7, as TwistFour in the SSE2 kernels.
void TwistEight(std::uint32_t* state, std::size_t i, const std::uint32_t* far) {
    const __m256i y = _mm256_or_si256(_mm256_and_si256(Load(state + i), _mm256_set1_epi32(static_cast<int>(kUpperMask))),
                                      _mm256_and_si256(Load(state + i + 1), _mm256_set1_epi32(static_cast<int>(kLowerMask))));
    const __m256i odd = _mm256_sub_epi32(_mm256_setzero_si256(), _mm256_and_si256(y, _mm256_set1_epi32(1)));
    const __m256i word = _mm256_xor_si256(_mm256_xor_si256(Load(far), _mm256_srli_epi32(y, 1)),
                                          _mm256_and_si256(odd, _mm256_set1_epi32(static_cast<int>(kMatrixA))));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(state + i), word);
}

void NextWords(std::uint32_t* state, std::uint32_t* words) {
    std::size_t i = 0;
    for (; i + 8 <= kN - kM; i += 8) {
        TwistEight(state, i, state + i + kM);
    }
    for (; i <= kN - kM; ++i) {
        TwistOne(state, i);
    }
    for (; i + 8 < kN; i += 8) {
        TwistEight(state, i, state + i + kM - kN);
    }
    for (; i < kN; ++i) {
        TwistOne(state, i);
    }
    const __m256i b = _mm256_set1_epi32(static_cast<int>(0x9D2C5680u));
    const __m256i c = _mm256_set1_epi32(static_cast<int>(0xEFC60000u));
    for (i = 0; i < kN; i += 8) {
        __m256i y = Load(state + i);
        y = _mm256_xor_si256(y, _mm256_srli_epi32(y, 11));
        y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 7), b));
        y = _mm256_xor_si256(y, _mm256_and_si256(_mm256_slli_epi32(y, 15), c));
        y = _mm256_xor_si256(y, _mm256_srli_epi32(y, 18));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(words + i), y);
    }
}

// For each 8-bit acceptance mask, the numbers of its set lanes packed to the front, and how
// many lanes are set.
struct PackedLanes {
    alignas(32) std::int32_t lanes[256][8] = {};
    int count[256] = {};

    constexpr PackedLanes() {
        for (int mask = 0; mask < 256; ++mask) {
            for (int lane = 0; lane < 8; ++lane) {
                if ((mask >> lane) & 1) {
                    lanes[mask][count[mask]++] = lane;
                }
            }
        }
    }
};
constexpr PackedLanes kPackedLanes;

void AcceptPairs(const std::uint32_t* words, AcceptedPairs& pairs) {
    const __m256 scale = _mm256_set1_ps(0x1p-24f);
    const __m256 one = _mm256_set1_ps(1.0f);
    const __m256 zero = _mm256_setzero_ps();
    const __m256 small = _mm256_set1_ps(kSmallRadiusSquared);
    std::size_t count = 0;
    int anySmall = 0;
    for (std::size_t i = 0; i < kEngineAttempts; i += 8) {
        const __m256 w0 = _mm256_castsi256_ps(Load(words + 2 * i));
        const __m256 w1 = _mm256_castsi256_ps(Load(words + 2 * i + 8));
        // Within each 128-bit half the even (first) and odd (second) words of attempts
        // i, i+1, i+4, i+5 | i+2, i+3, i+6, i+7; the 64-bit permute restores attempt order.
        const __m256i first = _mm256_permute4x64_epi64(
            _mm256_castps_si256(_mm256_shuffle_ps(w0, w1, _MM_SHUFFLE(2, 0, 2, 0))), _MM_SHUFFLE(3, 1, 2, 0));
        const __m256i second = _mm256_permute4x64_epi64(
            _mm256_castps_si256(_mm256_shuffle_ps(w0, w1, _MM_SHUFFLE(3, 1, 3, 1))), _MM_SHUFFLE(3, 1, 2, 0));
        const __m256 u1 = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(first, 8)), scale);
        const __m256 u2 = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(second, 8)), scale);
        const __m256 c1 = _mm256_sub_ps(_mm256_add_ps(u1, u1), one);
        const __m256 c2 = _mm256_sub_ps(_mm256_add_ps(u2, u2), one);
        const __m256 r = _mm256_add_ps(_mm256_mul_ps(c2, c2), _mm256_mul_ps(c1, c1));
        const __m256 accept = _mm256_and_ps(_mm256_cmp_ps(r, one, _CMP_LT_OQ),
                                            _mm256_and_ps(_mm256_cmp_ps(c1, zero, _CMP_NEQ_UQ),
                                                          _mm256_cmp_ps(c2, zero, _CMP_NEQ_UQ)));
        anySmall |= _mm256_movemask_ps(_mm256_and_ps(accept, _mm256_cmp_ps(r, small, _CMP_LE_OQ)));
        const int mask = _mm256_movemask_ps(accept);
        const __m256i lanes = _mm256_load_si256(reinterpret_cast<const __m256i*>(kPackedLanes.lanes[mask]));
        _mm256_storeu_ps(pairs.v1 + count, _mm256_permutevar8x32_ps(c1, lanes));
        _mm256_storeu_ps(pairs.v2 + count, _mm256_permutevar8x32_ps(c2, lanes));
        _mm256_storeu_ps(pairs.s + count, _mm256_permutevar8x32_ps(r, lanes));
        count += static_cast<std::size_t>(kPackedLanes.count[mask]);
    }
    _mm256_storeu_ps(pairs.v1 + count, _mm256_set1_ps(kPaddingCoordinate));
    _mm256_storeu_ps(pairs.v2 + count, _mm256_set1_ps(kPaddingCoordinate));
    _mm256_storeu_ps(pairs.s + count, _mm256_set1_ps(kPaddingRadiusSquared));
    pairs.count = count;
    pairs.anySmall = anySmall != 0;
}

template <bool kFused>
__m256d MulAdd(__m256d a, __m256d b, __m256d c) {
    if constexpr (kFused) {
        return _mm256_fmadd_pd(a, b, c);
    } else {
        return _mm256_add_pd(_mm256_mul_pd(a, b), c);
    }
}

// The logarithm of core/logarithm.cpp, four lanes at a time. Only the polynomial may fuse:
// the exhaustive logarithm test proves that the rounding stays correct either way.
template <bool kFused>
__m128 LogarithmOfFour(__m256d z, __m256d k, __m256d invC, __m256d head, __m256d tail) {
    using namespace logarithm;
    const __m256d r = _mm256_sub_pd(_mm256_mul_pd(z, invC), _mm256_set1_pd(1.0));
    __m256d p = _mm256_set1_pd(kC8);
    p = MulAdd<kFused>(p, r, _mm256_set1_pd(kC7));
    p = MulAdd<kFused>(p, r, _mm256_set1_pd(kC6));
    p = MulAdd<kFused>(p, r, _mm256_set1_pd(kC5));
    p = MulAdd<kFused>(p, r, _mm256_set1_pd(kC4));
    p = MulAdd<kFused>(p, r, _mm256_set1_pd(kC3));
    p = MulAdd<kFused>(p, r, _mm256_set1_pd(kC2));
    const __m256d q = _mm256_mul_pd(_mm256_mul_pd(r, r), p);
    head = _mm256_add_pd(_mm256_mul_pd(k, _mm256_set1_pd(kLn2Head)), head);
    tail = _mm256_add_pd(_mm256_mul_pd(k, _mm256_set1_pd(kLn2Tail)), tail);
    const __m256d sum = _mm256_add_pd(head, r);
    const __m256d sumError = _mm256_add_pd(_mm256_sub_pd(head, sum), r);
    const __m256d small = _mm256_add_pd(q, _mm256_add_pd(tail, sumError));
    const __m256d resultHead = _mm256_add_pd(sum, small);
    const __m256d resultTail = _mm256_sub_pd(small, _mm256_sub_pd(resultHead, sum));
    const __m256i bits = _mm256_castpd_si256(resultHead);
    const __m256i onMidpoint =
        _mm256_cmpeq_epi64(_mm256_and_si256(bits, _mm256_set1_epi64x(static_cast<long long>(kBelowFloatMask))),
                           _mm256_set1_epi64x(static_cast<long long>(kMidpointBits)));
    const __m256i tailNonZero = _mm256_castpd_si256(_mm256_cmp_pd(resultTail, _mm256_setzero_pd(), _CMP_NEQ_UQ));
    const __m256i signsDiffer =
        _mm256_cmpgt_epi64(_mm256_setzero_si256(), _mm256_xor_si256(bits, _mm256_castpd_si256(resultTail)));
    const __m256i step = _mm256_or_si256(signsDiffer, _mm256_set1_epi64x(1));
    const __m256i nudged =
        _mm256_add_epi64(bits, _mm256_and_si256(step, _mm256_and_si256(onMidpoint, tailNonZero)));
    return _mm256_cvtpd_ps(_mm256_castsi256_pd(nudged));
}

// The interval constants of four lanes: each interval's four doubles loaded whole, then
// transposed (gathers are slow on processors with the gather data sampling mitigation).
void LoadIntervals(const std::int32_t* index, __m256d& invC, __m256d& head, __m256d& tail) {
    using namespace logarithm;
    const __m256d row0 = _mm256_load_pd(&kIntervals[index[0]].invC);
    const __m256d row1 = _mm256_load_pd(&kIntervals[index[1]].invC);
    const __m256d row2 = _mm256_load_pd(&kIntervals[index[2]].invC);
    const __m256d row3 = _mm256_load_pd(&kIntervals[index[3]].invC);
    const __m256d invCTail01 = _mm256_unpacklo_pd(row0, row1);  // invC0 invC1 tail0 tail1
    const __m256d invCTail23 = _mm256_unpacklo_pd(row2, row3);
    const __m256d head01 = _mm256_unpackhi_pd(row0, row1);  // head0 head1 unused unused
    const __m256d head23 = _mm256_unpackhi_pd(row2, row3);
    invC = _mm256_permute2f128_pd(invCTail01, invCTail23, 0x20);
    tail = _mm256_permute2f128_pd(invCTail01, invCTail23, 0x31);
    head = _mm256_permute2f128_pd(head01, head23, 0x20);
}

template <bool kFused>
void Logarithms(const float* x, float* out, std::size_t count) {
    using namespace logarithm;
    for (std::size_t i = 0; i < count; i += 8) {
        const __m256i bits = _mm256_castps_si256(_mm256_loadu_ps(x + i));
        const __m256i offset = _mm256_sub_epi32(bits, _mm256_set1_epi32(static_cast<int>(kIntervalStart)));
        alignas(32) std::int32_t index[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(index),
                           _mm256_and_si256(_mm256_srli_epi32(offset, kIntervalShift),
                                            _mm256_set1_epi32(static_cast<int>(kIntervalMask))));
        const __m256i k = _mm256_srai_epi32(offset, 23);
        const __m256 z = _mm256_castsi256_ps(
            _mm256_sub_epi32(bits, _mm256_and_si256(offset, _mm256_set1_epi32(static_cast<int>(0xFF800000u)))));
        __m128 results[2];
        for (int half = 0; half < 2; ++half) {
            const __m128i halfK = half == 0 ? _mm256_castsi256_si128(k) : _mm256_extracti128_si256(k, 1);
            const __m128 halfZ = half == 0 ? _mm256_castps256_ps128(z) : _mm256_extractf128_ps(z, 1);
            __m256d invC;
            __m256d head;
            __m256d tail;
            LoadIntervals(index + 4 * half, invC, head, tail);
            results[half] =
                LogarithmOfFour<kFused>(_mm256_cvtps_pd(halfZ), _mm256_cvtepi32_pd(halfK), invC, head, tail);
        }
        _mm256_storeu_ps(out + i, _mm256_set_m128(results[1], results[0]));
    }
}

void PolarFactors(AcceptedPairs& pairs) {
    const __m256 minusTwo = _mm256_set1_ps(-2.0f);
    for (std::size_t i = 0; i < pairs.count; i += 8) {
        const __m256 t =
            _mm256_div_ps(_mm256_mul_ps(_mm256_loadu_ps(pairs.logarithm + i), minusTwo), _mm256_loadu_ps(pairs.s + i));
        _mm256_storeu_ps(pairs.logarithm + i, _mm256_sqrt_ps(t));
    }
}

// F16C rounds to nearest even exactly as gemm::FloatToHalf for every value that is not a
// NaN (the half-float exhaustive test checks this), and no generated value is a NaN.
void ToHalves(const AcceptedPairs& pairs, std::uint16_t* halves) {
    for (std::size_t i = 0; i < pairs.count; i += 8) {
        const __m256 f = _mm256_loadu_ps(pairs.logarithm + i);
        const __m128i first = _mm256_cvtps_ph(_mm256_mul_ps(f, _mm256_loadu_ps(pairs.v1 + i)), _MM_FROUND_TO_NEAREST_INT);
        const __m128i second = _mm256_cvtps_ph(_mm256_mul_ps(f, _mm256_loadu_ps(pairs.v2 + i)), _MM_FROUND_TO_NEAREST_INT);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(halves + 2 * i), _mm_unpacklo_epi16(first, second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(halves + 2 * i + 8), _mm_unpackhi_epi16(first, second));
    }
}

}  // namespace

const GenerationKernels kAvx2Kernels = {NextWords, AcceptPairs, Logarithms<false>, PolarFactors, ToHalves};
const GenerationKernels kAvx2FmaKernels = {NextWords, AcceptPairs, Logarithms<true>, PolarFactors, ToHalves};

}  // namespace gemm

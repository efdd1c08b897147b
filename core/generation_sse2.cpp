// The SSE2 generation kernels, which every x86-64 processor runs.

#include <emmintrin.h>
#include <initializer_list>

#include "core/generation_kernels.h"
#include "core/half_float.h"
#include "core/input_matrices.h"
#include "core/logarithm_table.h"

namespace gemm {

namespace {

constexpr std::size_t kN = kEngineWords;
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

void NextWords(std::uint32_t* state, std::uint32_t* words) {
    // Words 0..226 combine with old words 397..623; words 227..623 with new words 0..396.
    // Four at a time where neither a neighbour nor a far word falls across that border.
    const auto twistOne = [state](std::size_t i) {
        state[i] = TwistWord(state[i], state[(i + 1) % kN], state[(i + kM) % kN]);
    };
    std::size_t i = 0;
    for (; i + 4 <= kN - kM; i += 4) {
        TwistFour(state, i, state + i + kM);
    }
    for (; i <= kN - kM; ++i) {
        twistOne(i);
    }
    for (; i + 4 < kN; i += 4) {
        TwistFour(state, i, state + i + kM - kN);
    }
    for (; i < kN; ++i) {
        twistOne(i);
    }
    const __m128i b = _mm_set1_epi32(static_cast<int>(0x9D2C5680u));
    const __m128i c = _mm_set1_epi32(static_cast<int>(0xEFC60000u));
    for (i = 0; i < kN; i += 4) {
        __m128i y = Load(state + i);
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 11));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 7), b));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 15), c));
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 18));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words + i), y);
    }
}

void AcceptPairs(const std::uint32_t* words, AcceptedPairs& pairs) {
    const __m128 scale = _mm_set1_ps(0x1p-24f);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 zero = _mm_setzero_ps();
    const __m128 small = _mm_set1_ps(kSmallRadiusSquared);
    std::size_t count = 0;
    int anySmall = 0;
    for (std::size_t i = 0; i < kEngineAttempts; i += 4) {
        // Words 2k and 2k+1 are the first and second draw of attempt k.
        const __m128 w0 = _mm_castsi128_ps(Load(words + 2 * i));
        const __m128 w1 = _mm_castsi128_ps(Load(words + 2 * i + 4));
        const __m128i first = _mm_castps_si128(_mm_shuffle_ps(w0, w1, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i second = _mm_castps_si128(_mm_shuffle_ps(w0, w1, _MM_SHUFFLE(3, 1, 3, 1)));
        // UniformFromWord, PolarCoordinate and RadiusSquared of core/polar.h; every
        // intermediate is exact until the squares.
        const __m128 u1 = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(first, 8)), scale);
        const __m128 u2 = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(second, 8)), scale);
        const __m128 c1 = _mm_sub_ps(_mm_add_ps(u1, u1), one);
        const __m128 c2 = _mm_sub_ps(_mm_add_ps(u2, u2), one);
        const __m128 r = _mm_add_ps(_mm_mul_ps(c2, c2), _mm_mul_ps(c1, c1));
        const __m128 accept = _mm_and_ps(_mm_cmplt_ps(r, one),
                                         _mm_and_ps(_mm_cmpneq_ps(c1, zero), _mm_cmpneq_ps(c2, zero)));
        anySmall |= _mm_movemask_ps(_mm_and_ps(accept, _mm_cmple_ps(r, small)));
        alignas(16) float lane1[4];
        alignas(16) float lane2[4];
        alignas(16) float laneS[4];
        _mm_store_ps(lane1, c1);
        _mm_store_ps(lane2, c2);
        _mm_store_ps(laneS, r);
        // Every lane is written at the end; only an accepted one advances it.
        const int mask = _mm_movemask_ps(accept);
        for (int lane = 0; lane < 4; ++lane) {
            pairs.v1[count] = lane1[lane];
            pairs.v2[count] = lane2[lane];
            pairs.s[count] = laneS[lane];
            count += static_cast<std::size_t>((mask >> lane) & 1);
        }
    }
    for (std::size_t i = count; i < PaddedPairs(count); ++i) {
        pairs.v1[i] = kPaddingCoordinate;
        pairs.v2[i] = kPaddingCoordinate;
        pairs.s[i] = kPaddingRadiusSquared;
    }
    pairs.count = count;
    pairs.anySmall = anySmall != 0;
}

// The logarithm of core/logarithm.cpp, two lanes at a time: k and z as doubles, and the
// interval's three constants.
__m128 LogarithmOfTwo(__m128d z, __m128d k, __m128d invC, __m128d head, __m128d tail) {
    using namespace logarithm;
    const __m128d r = _mm_sub_pd(_mm_mul_pd(z, invC), _mm_set1_pd(1.0));
    __m128d p = _mm_set1_pd(kC8);
    for (const double c : {kC7, kC6, kC5, kC4, kC3, kC2}) {
        p = _mm_add_pd(_mm_mul_pd(p, r), _mm_set1_pd(c));
    }
    const __m128d q = _mm_mul_pd(_mm_mul_pd(r, r), p);
    head = _mm_add_pd(_mm_mul_pd(k, _mm_set1_pd(kLn2Head)), head);
    tail = _mm_add_pd(_mm_mul_pd(k, _mm_set1_pd(kLn2Tail)), tail);
    const __m128d sum = _mm_add_pd(head, r);
    const __m128d sumError = _mm_add_pd(_mm_sub_pd(head, sum), r);
    const __m128d small = _mm_add_pd(q, _mm_add_pd(tail, sumError));
    const __m128d resultHead = _mm_add_pd(sum, small);
    const __m128d resultTail = _mm_sub_pd(small, _mm_sub_pd(resultHead, sum));
    // On a float midpoint, one double step towards the tail: +1 on the bits when head and
    // tail have the same sign, -1 otherwise.
    const __m128i bits = _mm_castpd_si128(resultHead);
    const __m128i below = _mm_and_si128(bits, _mm_set1_epi64x(static_cast<long long>(kBelowFloatMask)));
    __m128i onMidpoint = _mm_cmpeq_epi32(below, _mm_set1_epi64x(static_cast<long long>(kMidpointBits)));
    onMidpoint = _mm_and_si128(onMidpoint, _mm_shuffle_epi32(onMidpoint, _MM_SHUFFLE(2, 3, 0, 1)));
    const __m128i tailNonZero = _mm_castpd_si128(_mm_cmpneq_pd(resultTail, _mm_setzero_pd()));
    const __m128i signs = _mm_xor_si128(bits, _mm_castpd_si128(resultTail));
    const __m128i signsDiffer = _mm_srai_epi32(_mm_shuffle_epi32(signs, _MM_SHUFFLE(3, 3, 1, 1)), 31);
    const __m128i step = _mm_or_si128(signsDiffer, _mm_set1_epi64x(1));
    const __m128i nudged = _mm_add_epi64(bits, _mm_and_si128(step, _mm_and_si128(onMidpoint, tailNonZero)));
    return _mm_cvtpd_ps(_mm_castsi128_pd(nudged));
}

void Logarithms(const float* x, float* out, std::size_t count) {
    using namespace logarithm;
    const __m128i start = _mm_set1_epi32(static_cast<int>(kIntervalStart));
    const __m128i indexMask = _mm_set1_epi32(static_cast<int>(kIntervalMask));
    const __m128i exponentMask = _mm_set1_epi32(static_cast<int>(0xFF800000u));
    for (std::size_t i = 0; i < count; i += 4) {
        const __m128i bits = _mm_castps_si128(_mm_loadu_ps(x + i));
        const __m128i offset = _mm_sub_epi32(bits, start);
        alignas(16) std::int32_t index[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(index),
                        _mm_and_si128(_mm_srli_epi32(offset, kIntervalShift), indexMask));
        const __m128i k = _mm_srai_epi32(offset, 23);
        const __m128 z = _mm_castsi128_ps(_mm_sub_epi32(bits, _mm_and_si128(offset, exponentMask)));
        __m128d invC[2];
        __m128d head[2];
        __m128d tail[2];
        for (int half = 0; half < 2; ++half) {
            const Interval& a = kIntervals[index[2 * half]];
            const Interval& b = kIntervals[index[2 * half + 1]];
            const __m128d first = _mm_load_pd(&a.invC);  // invC, head
            const __m128d second = _mm_load_pd(&b.invC);
            invC[half] = _mm_unpacklo_pd(first, second);
            head[half] = _mm_unpackhi_pd(first, second);
            tail[half] = _mm_loadh_pd(_mm_load_sd(&a.negLogInvCTail), &b.negLogInvCTail);
        }
        const __m128 low = LogarithmOfTwo(_mm_cvtps_pd(z), _mm_cvtepi32_pd(k), invC[0], head[0], tail[0]);
        const __m128 high = LogarithmOfTwo(_mm_cvtps_pd(_mm_movehl_ps(z, z)),
                                           _mm_cvtepi32_pd(_mm_shuffle_epi32(k, _MM_SHUFFLE(3, 2, 3, 2))), invC[1],
                                           head[1], tail[1]);
        _mm_storeu_ps(out + i, _mm_movelh_ps(low, high));
    }
}

void PolarFactors(AcceptedPairs& pairs) {
    const __m128 minusTwo = _mm_set1_ps(-2.0f);
    for (std::size_t i = 0; i < PaddedPairs(pairs.count); i += 4) {
        const __m128 t = _mm_div_ps(_mm_mul_ps(_mm_loadu_ps(pairs.logarithm + i), minusTwo), _mm_loadu_ps(pairs.s + i));
        _mm_storeu_ps(pairs.logarithm + i, _mm_sqrt_ps(t));
    }
}

void ToHalves(const AcceptedPairs& pairs, std::uint16_t* halves) {
    for (std::size_t i = 0; i < PaddedPairs(pairs.count); i += 4) {
        const __m128 f = _mm_loadu_ps(pairs.logarithm + i);
        const __m128 first = _mm_mul_ps(f, _mm_loadu_ps(pairs.v1 + i));
        const __m128 second = _mm_mul_ps(f, _mm_loadu_ps(pairs.v2 + i));
        const __m128 low = _mm_unpacklo_ps(first, second);
        const __m128 high = _mm_unpackhi_ps(first, second);
        __m128i group;
        if (NormalFloatsToHalves(low, high, group)) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(halves + 2 * i), group);
        } else {
            alignas(16) float values[8];
            _mm_store_ps(values, low);
            _mm_store_ps(values + 4, high);
            for (std::size_t j = 0; j < 8; ++j) {
                halves[2 * i + j] = FloatToHalf(values[j]);
            }
        }
    }
}

}  // namespace

const GenerationKernels kSse2Kernels = {NextWords, AcceptPairs, Logarithms, PolarFactors, ToHalves};

}  // namespace gemm

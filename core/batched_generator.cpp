#include <algorithm>
#include <cstring>
#include <emmintrin.h>

#include "core/half_float.h"
#include "core/matrix_generation.h"
#include "core/mersenne_twister.h"
#include "core/polar.h"

namespace gemm {

namespace {

// For each 4-bit acceptance mask, the numbers of its set lanes packed to the front, and how
// many lanes are set.
struct PackedLanes {
    alignas(16) std::int32_t lanes[16][4] = {};
    std::uint8_t count[16] = {};

    constexpr PackedLanes() {
        for (int mask = 0; mask < 16; ++mask) {
            for (int lane = 0; lane < 4; ++lane) {
                if ((mask >> lane) & 1) {
                    lanes[mask][count[mask]++] = lane;
                }
            }
        }
    }
};
constexpr PackedLanes kPackedLanes;

// Turns one engine block after another into FP16 values. Each polar attempt takes two words
// and a block holds an even number of them, so attempts never straddle blocks, and the
// values of one block come out in exactly the order a value-at-a-time loop delivers them.
class BatchedHalfStream final : public HalfStream {
public:
    void Fill(std::uint16_t* out, std::size_t count) override {
        while (count > 0) {
            if (next_ == available_) {
                NextBlock();
            }
            const std::size_t take = std::min(count, available_ - next_);
            std::memcpy(out, halves_ + next_, take * sizeof(std::uint16_t));
            next_ += take;
            out += take;
            count -= take;
        }
    }

private:
    static constexpr std::size_t kWords = MersenneTwisterBlocks::kBlockWords;
    static constexpr std::size_t kAttempts = kWords / 2;

    void NextBlock() {
        engine_.NextBlock(words_);
        const std::size_t accepted = SelectAcceptedAttempts();
        // logf is the C runtime's own, one call per accepted pair; everything else is batched.
        for (std::size_t i = 0; i < accepted; ++i) {
            const auto k = static_cast<std::size_t>(acceptedIndex_[i]);
            float v1 = attemptV1_[k];
            float v2 = attemptV2_[k];
            float s = attemptS_[k];
            logarithm_[i] = PolarLogarithm(v1, v2, s);
            v1_[i] = v1;
            v2_[i] = v2;
            s_[i] = s;
        }
        // Pad the last lane group with a harmless pair (f = 1), so that no lane divides by
        // zero and the group still converts in one piece.
        for (std::size_t i = accepted; i % 4 != 0; ++i) {
            logarithm_[i] = -0.5f;
            s_[i] = 1.0f;
            v1_[i] = 1.0f;
            v2_[i] = 1.0f;
        }
        ScalePairs(accepted);
        next_ = 0;
        available_ = 2 * accepted;
    }

    // Coordinates and radius squared of every attempt, and the indices of the accepted
    // attempts in order. Returns how many were accepted.
    std::size_t SelectAcceptedAttempts() {
        const __m128 scale = _mm_set1_ps(0x1p-24f);
        const __m128 one = _mm_set1_ps(1.0f);
        const __m128 zero = _mm_setzero_ps();
        std::size_t accepted = 0;
        for (std::size_t i = 0; i < kAttempts; i += 4) {
            // Words 2k and 2k+1 are the first and second draw of attempt k.
            const __m128 w0 = _mm_castsi128_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(words_ + 2 * i)));
            const __m128 w1 = _mm_castsi128_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(words_ + 2 * i + 4)));
            const __m128i first = _mm_castps_si128(_mm_shuffle_ps(w0, w1, _MM_SHUFFLE(2, 0, 2, 0)));
            const __m128i second = _mm_castps_si128(_mm_shuffle_ps(w0, w1, _MM_SHUFFLE(3, 1, 3, 1)));
            // The same operations, in the same order, as UniformFromWord, PolarCoordinate and
            // RadiusSquared; every intermediate is exact until the squares.
            const __m128 u1 = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(first, 8)), scale);
            const __m128 u2 = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(second, 8)), scale);
            const __m128 c1 = _mm_sub_ps(_mm_add_ps(u1, u1), one);
            const __m128 c2 = _mm_sub_ps(_mm_add_ps(u2, u2), one);
            const __m128 r = _mm_add_ps(_mm_mul_ps(c2, c2), _mm_mul_ps(c1, c1));
            const __m128 accept = _mm_and_ps(_mm_cmplt_ps(r, one),
                                             _mm_and_ps(_mm_cmpneq_ps(c1, zero), _mm_cmpneq_ps(c2, zero)));
            _mm_store_ps(attemptV1_ + i, c1);
            _mm_store_ps(attemptV2_ + i, c2);
            _mm_store_ps(attemptS_ + i, r);
            // Append the accepted lanes' indices: the packed lane numbers for this mask plus i.
            const auto mask = static_cast<std::size_t>(_mm_movemask_ps(accept));
            const __m128i lanes = _mm_load_si128(reinterpret_cast<const __m128i*>(kPackedLanes.lanes[mask]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(acceptedIndex_ + accepted),
                             _mm_add_epi32(lanes, _mm_set1_epi32(static_cast<int>(i))));
            accepted += kPackedLanes.count[mask];
        }
        return accepted;
    }

    // halves_ = FP16 of f * v1, f * v2 for each accepted pair, f = sqrt((l * -2) / s) as in
    // PolarFactor.
    void ScalePairs(std::size_t accepted) {
        const __m128 minusTwo = _mm_set1_ps(-2.0f);
        // Results of the padding lanes past the last accepted pair are written but never used.
        for (std::size_t i = 0; i < accepted; i += 4) {
            const __m128 f = _mm_sqrt_ps(_mm_div_ps(_mm_mul_ps(_mm_load_ps(logarithm_ + i), minusTwo),
                                                    _mm_load_ps(s_ + i)));
            const __m128 first = _mm_mul_ps(f, _mm_load_ps(v1_ + i));
            const __m128 second = _mm_mul_ps(f, _mm_load_ps(v2_ + i));
            const __m128 low = _mm_unpacklo_ps(first, second);
            const __m128 high = _mm_unpackhi_ps(first, second);
            __m128i group;
            if (NormalFloatsToHalves(low, high, group)) {
                _mm_store_si128(reinterpret_cast<__m128i*>(halves_ + 2 * i), group);
            } else {
                alignas(16) float values[8];
                _mm_store_ps(values, low);
                _mm_store_ps(values + 4, high);
                for (std::size_t j = 0; j < 8; ++j) {
                    halves_[2 * i + j] = FloatToHalf(values[j]);
                }
            }
        }
    }

    MersenneTwisterBlocks engine_{kGeneratorSeed};
    alignas(16) std::uint32_t words_[kWords];
    alignas(16) float attemptV1_[kAttempts];
    alignas(16) float attemptV2_[kAttempts];
    alignas(16) float attemptS_[kAttempts];
    // Room for a whole lane group written past the last accepted index.
    alignas(16) std::int32_t acceptedIndex_[kAttempts + 4];
    // Accepted pairs, padded to a whole lane group.
    alignas(16) float v1_[kAttempts + 4] = {};
    alignas(16) float v2_[kAttempts + 4] = {};
    alignas(16) float s_[kAttempts + 4] = {};
    alignas(16) float logarithm_[kAttempts + 4] = {};
    alignas(16) std::uint16_t halves_[kWords + 8];
    std::size_t next_ = 0;
    std::size_t available_ = 0;
};

}  // namespace

std::unique_ptr<HalfStream> MakeBatchedStream() {
    return std::make_unique<BatchedHalfStream>();
}

}  // namespace gemm

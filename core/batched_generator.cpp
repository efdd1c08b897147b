#include <algorithm>

#include "core/generation_kernels.h"
#include "core/matrix_generation.h"
#include "core/mersenne_twister.h"
#include "core/polar.h"

namespace gemm {

namespace {

// Turns one engine block after another into FP16 values. Each polar attempt takes two words
// and a block holds an even number of them, so attempts never straddle blocks, and the
// values of one block come out in exactly the order a value-at-a-time loop delivers them.
class BatchedHalfStream final : public HalfStream {
public:
    explicit BatchedHalfStream(SimdPath path) : kernels_(KernelsFor(path)), engine_(kGeneratorSeed, path) {}

    void Append(HalfMatrix& out, std::size_t count) override {
        while (count > 0) {
            if (next_ == available_) {
                NextBlock();
            }
            const std::size_t take = std::min(count, available_ - next_);
            out.append(halves_ + next_, take);
            next_ += take;
            count -= take;
        }
    }

private:
    void NextBlock() {
        engine_.NextBlock(words_);
        kernels_.acceptPairs(words_, pairs_);
        kernels_.logarithms(pairs_.s, pairs_.logarithm, PaddedPairs(pairs_.count));
        if (pairs_.anySmall) {
            RescaleSmallPairs();
        }
        kernels_.polarFactors(pairs_);
        kernels_.toHalves(pairs_, halves_);
        next_ = 0;
        available_ = 2 * pairs_.count;
    }

    // About one block in forty has a pair with a tiny radius, which takes the rescaling
    // branch of the polar method one pair at a time.
    void RescaleSmallPairs() {
        for (std::size_t i = 0; i < pairs_.count; ++i) {
            if (pairs_.s[i] <= kSmallRadiusSquared) {
                pairs_.logarithm[i] = RescaledPolarLogarithm(pairs_.v1[i], pairs_.v2[i], pairs_.s[i]);
            }
        }
    }

    const GenerationKernels& kernels_;
    MersenneTwisterBlocks engine_;
    std::uint32_t words_[kEngineWords];
    AcceptedPairs pairs_;
    std::uint16_t halves_[2 * (kEngineAttempts + kPairGroup)];
    std::size_t next_ = 0;
    std::size_t available_ = 0;
};

}  // namespace

std::unique_ptr<HalfStream> MakeBatchedStream(SimdPath path) {
    return std::make_unique<BatchedHalfStream>(path);
}

}  // namespace gemm

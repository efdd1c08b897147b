#include "core/mersenne_twister.h"

namespace gemm {

MersenneTwisterBlocks::MersenneTwisterBlocks(std::uint32_t seed, SimdPath path)
    : nextWords_(KernelsFor(path).nextWords) {
    state_[0] = seed;
    for (std::size_t i = 1; i < kBlockWords; ++i) {
        const std::uint32_t previous = state_[i - 1];
        state_[i] = 1812433253u * (previous ^ (previous >> 30)) + static_cast<std::uint32_t>(i);
    }
}

}  // namespace gemm

#pragma once
// MT19937 producing the same words as std::mt19937, a whole state (624 words) at a time,
// with the twist and the tempering done by the chosen path's vector kernel.

#include <cstddef>
#include <cstdint>

#include "core/generation_kernels.h"

namespace gemm {

class MersenneTwisterBlocks {
public:
    static constexpr std::size_t kBlockWords = kEngineWords;

    MersenneTwisterBlocks(std::uint32_t seed, SimdPath path);

    // Writes the next kBlockWords outputs, in order, to words.
    void NextBlock(std::uint32_t (&words)[kBlockWords]) {
        nextWords_(state_, words);
    }

private:
    std::uint32_t state_[kBlockWords];
    void (*nextWords_)(std::uint32_t* state, std::uint32_t* words);
};

}  // namespace gemm

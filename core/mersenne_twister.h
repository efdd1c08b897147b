#pragma once
// MT19937 producing the same words as std::mt19937, a whole state (624 words) at a time,
// with the twist and the tempering done four words per SSE2 instruction.

#include <cstddef>
#include <cstdint>

namespace gemm {

class MersenneTwisterBlocks {
public:
    static constexpr std::size_t kBlockWords = 624;

    explicit MersenneTwisterBlocks(std::uint32_t seed);

    // Writes the next kBlockWords outputs, in order, to words.
    void NextBlock(std::uint32_t (&words)[kBlockWords]);

private:
    void Twist();

    alignas(16) std::uint32_t state_[kBlockWords];
};

}  // namespace gemm

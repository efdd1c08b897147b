#pragma once
// The stages that turn one MT19937 block (624 words) into FP16 values, in one version per
// instruction-set path. All paths give the same bits; the fastest one that the processor
// runs is chosen at run time. Declarations and constants only: the file is also compiled
// with AVX2 code generation (see core/logarithm_table.h).

#include <cstddef>
#include <cstdint>

namespace gemm {

enum class SimdPath { Sse2, Avx2, Avx2Fma };
inline constexpr SimdPath kSimdPaths[] = {SimdPath::Sse2, SimdPath::Avx2, SimdPath::Avx2Fma};

bool ProcessorRuns(SimdPath path);
SimdPath FastestSimdPath();  // the last of kSimdPaths that the processor runs
const char* SimdPathName(SimdPath path);

inline constexpr std::size_t kEngineWords = 624;
inline constexpr std::size_t kEngineAttempts = kEngineWords / 2;
// Kernels work on groups of this many pairs; the last group is padded.
inline constexpr std::size_t kPairGroup = 8;

// The accepted polar pairs of one block, in order, padded with harmless pairs up to a whole
// group. logarithm holds ln s after the logarithm stage and the factor f after the next.
// The kernels load and store unaligned, so no member needs an alignment of its own.
struct AcceptedPairs {
    float v1[kEngineAttempts + kPairGroup];
    float v2[kEngineAttempts + kPairGroup];
    float s[kEngineAttempts + kPairGroup];
    float logarithm[kEngineAttempts + kPairGroup];
    std::size_t count;
    bool anySmall;  // some pair has s <= kSmallRadiusSquared and must be rescaled
};

// Not used by the AVX2 kernels, so that file emits no copy of it (a group loop up to count
// covers the padding there).
inline constexpr std::size_t PaddedPairs(std::size_t count) {
    return (count + kPairGroup - 1) / kPairGroup * kPairGroup;
}

struct GenerationKernels {
    // Twists the engine state (624 words) and writes its tempered outputs.
    void (*nextWords)(std::uint32_t* state, std::uint32_t* words);
    // Polar attempts from words 2k and 2k+1: keeps the accepted ones (padding included).
    void (*acceptPairs)(const std::uint32_t* words, AcceptedPairs& pairs);
    // out[i] = Logarithm(x[i]) for count values, a multiple of kPairGroup.
    void (*logarithms)(const float* x, float* out, std::size_t count);
    // logarithm[i] = sqrt((logarithm[i] * -2) / s[i]) over the padded pairs.
    void (*polarFactors)(AcceptedPairs& pairs);
    // halves = FP16 of f * v1, f * v2 pair after pair, padding included.
    void (*toHalves)(const AcceptedPairs& pairs, std::uint16_t* halves);
};

const GenerationKernels& KernelsFor(SimdPath path);

extern const GenerationKernels kSse2Kernels;
// Defined in the translation unit compiled for AVX2.
extern const GenerationKernels kAvx2Kernels;
extern const GenerationKernels kAvx2FmaKernels;

// Harmless padding pair: log, factor and FP16 stay in the normal range.
inline constexpr float kPaddingCoordinate = 0.5f;
inline constexpr float kPaddingRadiusSquared = 0.5f;

// At or below this radius squared the pair is rescaled by a power of two before the
// logarithm, so that tiny coordinates keep their precision (core/polar.h).
inline constexpr float kSmallRadiusSquared = 1.0e-4f;

}  // namespace gemm

#pragma once
// How gemm::MakeInputMatrices fills A and B. One stream of FP16 values runs through A's
// elements and on into B's; two implementations produce it bit for bit the same: the batched
// one that the product uses, and a sequential one that draws one value at a time exactly as
// described and serves as the reference in tests and benchmarks.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/generation_kernels.h"
#include "core/input_matrices.h"

namespace gemm {

inline constexpr std::uint32_t kGeneratorSeed = 4060;
inline constexpr std::size_t kStopCheckInterval = 1048576;

class HalfStream {
public:
    virtual ~HalfStream() = default;
    // Appends the next count values of the stream to out, whose capacity the caller has
    // reserved, so that each element is written once and never zero-filled first.
    virtual void Append(HalfMatrix& out, std::size_t count) = 0;
};

// std::mt19937 and the polar method, one value at a time.
std::unique_ptr<HalfStream> MakeSequentialStream();

// The same draws in the same order, processed a whole engine state (624 words) at a time
// by the kernels of the given path.
std::unique_ptr<HalfStream> MakeBatchedStream(SimdPath path = FastestSimdPath());

// Asked before element j of A and of B whenever j is a multiple of kStopCheckInterval;
// returning true makes generation throw gemm::Cancelled.
using StopRequested = std::function<bool()>;

InputMatrices GenerateInputMatrices(HalfStream& stream, const StopRequested& stopRequested);

}  // namespace gemm

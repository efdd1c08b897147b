#pragma once
// The two generators behind gemm::MakeInputMatrices. Both produce the same matrices bit for
// bit; the batched one is what the product uses, the sequential one draws one value at a
// time exactly as described and serves as the reference for tests and benchmarks.

#include <cstdint>
#include <functional>

#include "core/input_matrices.h"

namespace gemm {

inline constexpr std::uint32_t kGeneratorSeed = 4060;
inline constexpr std::int64_t kStopCheckInterval = 1048576;

// Asked before element j of A and of B whenever j is a multiple of kStopCheckInterval;
// returning true makes the generator throw gemm::Cancelled.
using StopRequested = std::function<bool()>;

InputMatrices MakeInputMatricesSequential(const StopRequested& stopRequested);

}  // namespace gemm

#pragma once
// The FP16 GEMM benchmark on one AMD or Intel adapter through DirectML on Direct3D 12.

#include <cstdint>
#include <functional>
#include <stop_token>

#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/input_matrices.h"
#include "dml/platform.h"

namespace gemm {

// How one multiplication is split into dispatches, and how many passes a run makes.
struct DirectMlRunShape {
    std::int32_t blockCount;
    std::int32_t rowsPerBlock;
    std::uint64_t blockBytes;
    std::int32_t warmupPasses;
    std::int32_t passesPerSeries;
};

inline constexpr DirectMlRunShape kDiscreteShape{1, 8192, 134217728, 20, 50};
// An integrated GPU computes the product in 16 row blocks of 512 rows.
inline constexpr DirectMlRunShape kIntegratedShape{16, 512, 8388608, 2, 4};

using InputGenerator = std::function<InputMatrices(std::stop_token)>;

// The whole run against the given platform calls; `generate` makes the input matrices
// (gemm::MakeInputMatrices in the product).
BenchmarkResult RunDirectMl(DmlPlatform& platform, AdapterLuid adapterLuid,
                            std::stop_token stopToken, const ProgressCallback& progress,
                            const InputGenerator& generate);

// The same run on matrices the caller made once for several adapters: they are only read
// (each run uploads its own copy), so runs on other threads may share them.
BenchmarkResult RunDirectMl(DmlPlatform& platform, AdapterLuid adapterLuid, const InputMatrices& inputs,
                            std::stop_token stopToken, const ProgressCallback& progress);

}  // namespace gemm

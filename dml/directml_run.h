#pragma once
// The FP16 GEMM benchmark on one AMD or Intel adapter through DirectML on Direct3D 12.

#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <stop_token>
#include <vector>

#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/input_matrices.h"
#include "core/text_pair.h"
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

// The adapters on which a failed run had to leave its objects behind (DmlPlatform::
// AbandonObjects). Direct3D 12 keeps one device per adapter, so a later run would be handed
// that device again, with work of the failed run that may still be running on it; such
// adapters are not used again until the program restarts. Shared by the runs of a process.
class AbandonedAdapters {
public:
    bool Contains(AdapterLuid luid) const;
    void Add(AdapterLuid luid);

private:
    mutable std::mutex mutex_;
    std::vector<AdapterLuid> luids_;
};

// A run refused on such an adapter; what() is the English text of AdapterNeedsRestartMessage.
class AdapterNeedsRestart : public std::runtime_error {
public:
    AdapterNeedsRestart();
};
TextPair AdapterNeedsRestartMessage();

// The whole run against the given platform calls; `generate` makes the input matrices
// (gemm::MakeInputMatrices in the product). Refused with AdapterNeedsRestart on an adapter in
// `abandoned`; an adapter whose objects this run abandons is added to it.
BenchmarkResult RunDirectMl(DmlPlatform& platform, AdapterLuid adapterLuid,
                            std::stop_token stopToken, const ProgressCallback& progress,
                            const InputGenerator& generate, AbandonedAdapters& abandoned);

// The same run on matrices the caller made once for several adapters: they are only read
// (each run uploads its own copy), so runs on other threads may share them.
BenchmarkResult RunDirectMl(DmlPlatform& platform, AdapterLuid adapterLuid, const InputMatrices& inputs,
                            std::stop_token stopToken, const ProgressCallback& progress,
                            AbandonedAdapters& abandoned);

}  // namespace gemm

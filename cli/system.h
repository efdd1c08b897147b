#pragma once
// What the console runner needs from the machine: discovery, the benchmark runs, the clock
// monitors, the facts a result records, and files to read, write and find. Any call may
// throw; the runner turns that into an error outcome. The calls about one card (bus id,
// details, clocks, run) may come from several threads at once, one per card. The program
// binds the real subsystems; the tests script every answer.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "cli/record/run_record.h"
#include "cli/telemetry/clocks.h"
#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/input_matrices.h"
#include "core/text_pair.h"
#include "discovery/cuda_status_dialog.h"

namespace cli {

struct DiscoveredSystem {
    std::vector<GpuTarget> targets;  // CUDA devices first, then DirectML adapters
    std::vector<TextPair> targetMessages;  // per target: why it is not ready; empty when ready
    std::size_t defaultIndex = 0;          // the first ready target, else 0
    TextPair status;                       // the list assembly's message; shown for an empty list
    bool nvidiaPresent = false;
    // The CUDA components as detected, the cuBLAS search included, and the advice that fits
    // this platform; only meaningful with nvidiaPresent.
    CudaComponentsState cudaState;
    CudaAdvice cudaAdvice = CudaAdvice::Windows;
    ComponentVersions components;
};

class System {
public:
    virtual ~System() = default;
    virtual DiscoveredSystem Discover() = 0;
    // The PCI bus id of a target, as NVML accepts it; empty when unknown.
    virtual std::string PciBusId(const GpuTarget& target) = 0;
    virtual ClockAccess OpenClocks(const GpuTarget& target, const std::string& pciBusId) = 0;
    // How often the clocks are sampled while a series runs.
    virtual std::chrono::milliseconds ClockSampleInterval() { return std::chrono::milliseconds(50); }
    // Compute capability, SM count, library paths and versions; uuid and driver version
    // come from the clock monitor.
    virtual CardDetails Details(const GpuTarget& target) = 0;
    virtual HostInfo Host() = 0;
    virtual std::int64_t SecondsSinceEpoch() = 0;  // now, UTC
    // The file's bytes, but no more than maxBytes + 1 of them, so that a longer file shows;
    // nullopt when it cannot be read. path: UTF-8, as given on the command line.
    virtual std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) = 0;
    // Writes the whole file or leaves what was there: written beside it, then put in its
    // place. Returns why it could not (one line), empty on success.
    virtual std::string WriteFileReplacing(const std::string& path, std::string_view contents) = 0;
    // The *.json files in a folder and its subfolders, sorted, as UTF-8 paths; nullopt when
    // path is not a folder.
    virtual std::optional<std::vector<std::string>> DocumentsIn(const std::string& path) = 0;
    // The run's input matrices, made once; gemm::Cancelled at a stop request.
    virtual gemm::InputMatrices MakeInputs(std::stop_token stopToken) = 0;
    // The inputs' XXH64, asked once a run, on a thread of its own while the cards measure.
    virtual std::uint64_t HashInputs(const gemm::InputMatrices& inputs) = 0;
    // Keeps the backend contract: progress 0..5, gemm::Cancelled, std::exception. Runs on
    // several cards may run at once, each on its own thread, all reading the same inputs.
    virtual BenchmarkResult Run(const GpuTarget& target, const gemm::InputMatrices& inputs,
                                std::stop_token stopToken, const gemm::ProgressCallback& progress) = 0;
};

}  // namespace cli

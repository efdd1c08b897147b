#pragma once
// What the console runner needs from the machine: discovery, one benchmark run and the
// clock monitor. The program binds the real subsystems; the tests script every answer.

#include <cstddef>
#include <stop_token>
#include <string>
#include <vector>

#include "cli/clocks.h"
#include "cli/run_report.h"
#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/text_pair.h"

namespace cli {

struct DiscoveredSystem {
    std::vector<GpuTarget> targets;  // CUDA devices first, then DirectML adapters
    std::vector<TextPair> targetMessages;  // per target: why it is not ready; empty when ready
    std::size_t defaultIndex = 0;          // the first ready target, else 0
    TextPair status;                       // the list assembly's message; shown for an empty list
    bool nvidiaPresent = false;
    // The CUDA status dialog's instruction and content; only meaningful with nvidiaPresent.
    TextPair cudaInstruction;
    TextPair cudaContent;
    ComponentVersions components;
};

class System {
public:
    virtual ~System() = default;
    virtual DiscoveredSystem Discover() = 0;
    // The PCI bus id of a target, as NVML accepts it; empty when unknown.
    virtual std::string PciBusId(const GpuTarget& target) = 0;
    virtual ClockAccess OpenClocks(const GpuTarget& target, const std::string& pciBusId) = 0;
    // Keeps the backend contract: progress 0..5, gemm::Cancelled, std::exception.
    virtual BenchmarkResult Run(const GpuTarget& target, std::stop_token stopToken,
                                const gemm::ProgressCallback& progress) = 0;
};

}  // namespace cli

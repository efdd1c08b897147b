#pragma once
// The console runner's machine: the real discovery, backends and NVML.

#include "cli/system.h"

namespace cli {

class RealSystem final : public System {
public:
    DiscoveredSystem Discover() override;
    std::string PciBusId(const GpuTarget& target) override;
    ClockAccess OpenClocks(const GpuTarget& target, const std::string& pciBusId) override;
    CardDetails Details(const GpuTarget& target) override;
    HostInfo Host() override;
    std::int64_t SecondsSinceEpoch() override;
    std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override;
    std::string WriteFileReplacing(const std::string& path, std::string_view contents) override;
    std::optional<std::vector<std::string>> DocumentsIn(const std::string& path) override;
    gemm::InputMatrices MakeInputs(std::stop_token stopToken) override;
    std::uint64_t HashInputs(const gemm::InputMatrices& inputs) override;
    BenchmarkResult Run(const GpuTarget& target, const gemm::InputMatrices& inputs, std::stop_token stopToken,
                        const gemm::ProgressCallback& progress) override;
};

}  // namespace cli

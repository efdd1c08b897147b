#include "cli/real_system.h"

#include <stdexcept>

#include "cli/describe.h"
#include "cli/nvml_clocks.h"
#include "cuda/cuda_gemm.h"
#include "cuda/nvidia_api.h"
#include "discovery/cuda_components.h"
#include "discovery/system_discovery.h"
#ifdef _WIN32
#include "dml/win32_platform.h"
#endif

namespace cli {

DiscoveredSystem RealSystem::Discover() {
    TargetDiscovery found = DiscoverSystemTargets();
    const auto cublas = LoadedCublasLibraryPath().u8string();
    return Describe(found, std::string(cublas.begin(), cublas.end()));
}

std::string RealSystem::PciBusId(const GpuTarget& target) {
    if (target.backend != BackendKind::Cuda) return {};
    char busId[32] = {};
    if (gemm::SystemCudaRuntime().cudaDeviceGetPCIBusId(busId, sizeof busId, target.cudaOrdinal) != 0) {
        return {};
    }
    busId[sizeof busId - 1] = '\0';
    return busId;
}

ClockAccess RealSystem::OpenClocks(const GpuTarget& target, const std::string& pciBusId) {
    if (target.backend != BackendKind::Cuda) {
        return {nullptr, {L"NVML измеряет только видеокарты NVIDIA", L"NVML covers NVIDIA cards only"}};
    }
    return OpenNvmlClocks(SystemNvmlClockApi(), pciBusId);
}

BenchmarkResult RealSystem::Run(const GpuTarget& target, std::stop_token stopToken,
                                const gemm::ProgressCallback& progress) {
    if (target.backend == BackendKind::DirectMl) {
#ifdef _WIN32
        return gemm::RunDirectMl(target.adapterLuid, std::move(stopToken), progress);
#else
        throw std::runtime_error("DirectML is available on Windows only");
#endif
    }
    return gemm::RunCuda(target.cudaOrdinal, std::move(stopToken), progress);
}

}  // namespace cli

#include "cli/real_system.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "cli/describe.h"
#include "cli/host.h"
#include "cli/libraries.h"
#include "cli/nvml_clocks.h"
#include "core/utf8.h"
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
        ClockAccess none;
        none.unavailableReason = {L"NVML измеряет только видеокарты NVIDIA", L"NVML covers NVIDIA cards only"};
        return none;
    }
    return OpenNvmlClocks(SystemNvmlClockApi(), pciBusId);
}

CardDetails RealSystem::Details(const GpuTarget& target) {
    CardDetails details;
    if (target.backend == BackendKind::DirectMl) {
        const DirectMlLibrary directMl = SystemDirectMlLibrary();
        details.directMlLibraryPath = directMl.path;
        details.directMlVersion = directMl.version;
        return details;
    }
    details.cudaDriverLibraryPath = CudaDriverLibraryPath();
    gemm::CudaRuntimeApi& cuda = gemm::SystemCudaRuntime();
    const auto attribute = [&](int which) {
        int value = 0;
        return cuda.cudaDeviceGetAttribute(&value, which, target.cudaOrdinal) == 0 ? value : 0;
    };
    details.computeCapabilityMajor = attribute(gemm::cudaDevAttrComputeCapabilityMajor);
    details.computeCapabilityMinor = attribute(gemm::cudaDevAttrComputeCapabilityMinor);
    details.smCount = attribute(gemm::cudaDevAttrMultiProcessorCount);
    return details;
}

HostInfo RealSystem::Host() { return ReadHostInfo(); }

std::int64_t RealSystem::SecondsSinceEpoch() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<std::string> RealSystem::ReadFile(const std::string& path) {
    // Result documents are a few kilobytes; anything past this is not one (or never ends).
    constexpr std::size_t kLimit = 16u << 20;
#ifdef _WIN32
    // A narrow path would be read in the ANSI code page; the runner's paths are UTF-8.
    std::ifstream file(std::filesystem::path(Utf8ToWide(path)), std::ios::binary);
#else
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
#endif
    if (!file) return std::nullopt;
    std::string text;
    char chunk[65536];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kLimit) return std::nullopt;
    }
    if (file.bad()) return std::nullopt;
    return text;
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

#include "cli/real_system.h"

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "cli/commands/describe.h"
#include "cli/platform/files.h"
#include "cli/platform/host.h"
#include "cli/platform/libraries.h"
#include "cli/telemetry/nvml_clocks.h"
#include "cuda/cuda_gemm.h"
#include "cuda/dynamic_library.h"
#include "cuda/nvidia_api.h"
#include "discovery/cuda_components.h"
#include "discovery/system_discovery.h"
#ifdef _WIN32
#include "dml/win32_platform.h"
#endif

namespace cli {
namespace {

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

DiscoveredSystem RealSystem::Discover() {
    TargetDiscovery found = DiscoverSystemTargets();
    return Describe(found, Utf8(LoadedCublasLibraryPath()), Utf8(LoadedCublasLtLibraryPath()));
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
        none.unavailable = ClocksUnavailable::NotNvidia;
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
    details.cudaDriverLibraryPath = Utf8(gemm::DynamicLibrary::LoadedFile(gemm::kCudaDriverLibraryName));
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

std::optional<std::string> RealSystem::ReadFile(const std::string& path, std::size_t maxBytes) {
    return ReadFileBytes(path, maxBytes);
}

std::string RealSystem::WriteFileReplacing(const std::string& path, std::string_view contents) {
    return cli::WriteFileReplacing(path, contents);
}

std::optional<std::vector<std::string>> RealSystem::DocumentsIn(const std::string& path) {
    return JsonFilesUnder(path);
}

gemm::InputMatrices RealSystem::MakeInputs(std::stop_token stopToken) {
    return gemm::MakeInputMatrices(std::move(stopToken));
}

std::uint64_t RealSystem::HashInputs(const gemm::InputMatrices& inputs) { return gemm::HashInputMatrices(inputs); }

BenchmarkResult RealSystem::Run(const GpuTarget& target, const gemm::InputMatrices& inputs,
                                std::stop_token stopToken, const gemm::ProgressCallback& progress) {
    if (target.backend == BackendKind::DirectMl) {
#ifdef _WIN32
        return gemm::RunDirectMl(target.adapterLuid, inputs, std::move(stopToken), progress);
#else
        throw std::runtime_error("DirectML is available on Windows only");
#endif
    }
    return gemm::RunCuda(target.cudaOrdinal, inputs, std::move(stopToken), progress);
}

}  // namespace cli

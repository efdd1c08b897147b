#include "cli/commands/describe.h"

#include "core/utf8.h"
#include "dml/adapter_discovery.h"
#include "presentation/selection_lists.h"

namespace cli {
namespace {

ComponentVersions Versions(const CudaComponentsState& state, const std::string& cublasLibraryPath,
                           const std::string& cublasLtLibraryPath) {
    ComponentVersions versions;
    if (state.runtimeVersion != 0) versions.cudaRuntime = WideToUtf8(FormatCudaVersion(state.runtimeVersion, L'.'));
    if (state.driverVersion != 0) versions.cudaDriver = WideToUtf8(FormatCudaVersion(state.driverVersion, L'.'));
    if (state.cublasMajor != 0) {
        versions.cublas = std::to_string(state.cublasMajor) + "." + std::to_string(state.cublasMinor) + "." +
                          std::to_string(state.cublasPatch);
    }
    versions.cublasLibraryPath = cublasLibraryPath;
    versions.cublasLtLibraryPath = cublasLtLibraryPath;
    return versions;
}

}  // namespace

DiscoveredSystem Describe(const TargetDiscovery& found, const std::string& cublasLibraryPath,
                          const std::string& cublasLtLibraryPath) {
    DiscoveredSystem system;
    system.targets = found.targets;
    system.defaultIndex = found.defaultIndex;
    system.nvidiaPresent = found.nvidiaPresent;
    // The window keeps its idle text when discovery sets none; for an empty list the
    // console says what the window's empty target list says.
    system.status = found.status.value_or(TextPair{TargetListItems({}, Language::Russian).front(),
                                                   TargetListItems({}, Language::English).front()});
    for (const GpuTarget& target : found.targets) {
        system.targetMessages.push_back(gemm::DirectMlSelectionMessage(target.directMlStatus).value_or(TextPair{}));
    }
    system.cudaState = found.cudaState;
#ifdef _WIN32
    system.cudaAdvice = CudaAdvice::Windows;
#else
    system.cudaAdvice = CudaAdvice::Linux;
#endif
    system.components = Versions(found.cudaState, cublasLibraryPath, cublasLtLibraryPath);
    return system;
}

}  // namespace cli

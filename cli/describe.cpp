#include "cli/describe.h"

#include "core/utf8.h"
#include "discovery/cuda_status_dialog.h"
#include "dml/adapter_discovery.h"
#include "presentation/selection_lists.h"

namespace cli {
namespace {

ComponentVersions Versions(const CudaComponentsState& state, const std::string& cublasLibraryPath) {
    ComponentVersions versions;
    if (state.runtimeVersion != 0) versions.cudaRuntime = WideToUtf8(FormatCudaVersion(state.runtimeVersion, L'.'));
    if (state.driverVersion != 0) versions.cudaDriver = WideToUtf8(FormatCudaVersion(state.driverVersion, L'.'));
    if (state.cublasMajor != 0) {
        versions.cublas = std::to_string(state.cublasMajor) + "." + std::to_string(state.cublasMinor) + "." +
                          std::to_string(state.cublasPatch);
    }
    versions.cublasLibraryPath = cublasLibraryPath;
    return versions;
}

}  // namespace

DiscoveredSystem Describe(const TargetDiscovery& found, const std::string& cublasLibraryPath) {
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
    if (found.nvidiaPresent) {
        const CudaStatusDialog ru = BuildCudaStatusDialog(found.cudaState, Language::Russian);
        const CudaStatusDialog en = BuildCudaStatusDialog(found.cudaState, Language::English);
        system.cudaInstruction = {ru.mainInstruction, en.mainInstruction};
        system.cudaContent = {ru.content, en.content};
    }
    system.components = Versions(found.cudaState, cublasLibraryPath);
    return system;
}

}  // namespace cli

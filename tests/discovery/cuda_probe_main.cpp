// Runs this machine's CUDA components detection and prints its result, one "field=value" line
// each, and every place the cuBLAS search tried, for the tests that place stand-in libraries
// around it.

#include <cstdio>
#include <filesystem>
#include <string>

#include "discovery/cuda_components.h"
#include "discovery/pci_inventory.h"

namespace {

std::string Utf8(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

int main() {
    const CudaComponentsState state = DetectCudaComponents(ScanPciDisplayAdapters());
    std::printf("driverVersion=%d\n", state.driverVersion);
    std::printf("runtimeVersion=%d\n", state.runtimeVersion);
    std::printf("cublas=%d.%d.%d\n", state.cublasMajor, state.cublasMinor, state.cublasPatch);
    std::printf("cublasMissing=%d\n", state.cublasMissing ? 1 : 0);
    std::printf("deviceCount=%d\n", state.deviceCount);
    std::printf("driverStatus=%d\n", static_cast<int>(state.driverStatus));
    std::printf("errorText=%s\n", state.errorText.c_str());
    std::printf("cublasPath=%s\n", Utf8(LoadedCublasLibraryPath()).c_str());
    std::printf("cublasLtPath=%s\n", Utf8(LoadedCublasLtLibraryPath()).c_str());
    std::printf("fromOverride=%d\n", state.cublasSearch.fromOverride ? 1 : 0);
    for (const CublasAttempt& attempt : state.cublasSearch.attempts) {
        std::printf("attempt=%d %s\n", static_cast<int>(attempt.outcome), Utf8(attempt.file).c_str());
    }
    return 0;
}

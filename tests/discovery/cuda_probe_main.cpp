// Runs this machine's CUDA components detection and prints its result, one "field=value" line
// each, for the tests that place stand-in libraries around it.

#include <cstdio>
#include <string>

#include "discovery/cuda_components.h"
#include "discovery/pci_inventory.h"

int main() {
    const CudaComponentsState state = DetectCudaComponents(ScanPciDisplayAdapters());
    std::printf("driverVersion=%d\n", state.driverVersion);
    std::printf("runtimeVersion=%d\n", state.runtimeVersion);
    std::printf("cublas=%d.%d.%d\n", state.cublasMajor, state.cublasMinor, state.cublasPatch);
    std::printf("cublasMissing=%d\n", state.cublasMissing ? 1 : 0);
    std::printf("deviceCount=%d\n", state.deviceCount);
    std::printf("driverStatus=%d\n", static_cast<int>(state.driverStatus));
    std::printf("errorText=%s\n", state.errorText.c_str());
    const auto loaded = LoadedCublasLibraryPath().u8string();
    std::printf("cublasPath=%s\n", std::string(loaded.begin(), loaded.end()).c_str());
    return 0;
}

#include "cuda/nvml_library.h"

namespace gemm {
namespace {
// Returned by a call whose function is not bound (NVML's "library not loaded").
constexpr nvmlReturn_t kNvmlNotLoaded = 12;
}  // namespace

NvmlLoad NvmlLibrary::LoadNvml() {
    library_ = DynamicLibrary::LoadSystem(kNvmlLibraryName);
    if (!library_.IsLoaded()) return NvmlLoad::Missing;
    Functions f;
    const bool complete =
        library_.Bind(f.nvmlInit_v2, "nvmlInit_v2") &&
        library_.Bind(f.nvmlShutdown, "nvmlShutdown") &&
        library_.Bind(f.nvmlDeviceGetHandleByPciBusId_v2, "nvmlDeviceGetHandleByPciBusId_v2") &&
        library_.Bind(f.nvmlDeviceGetPciInfo_v3, "nvmlDeviceGetPciInfo_v3");
    if (!complete) return NvmlLoad::Incomplete;
    functions_ = f;
    return NvmlLoad::Complete;
}

void NvmlLibrary::UnloadNvml() {
    functions_ = Functions{};
    library_ = DynamicLibrary();
}

nvmlReturn_t NvmlLibrary::nvmlInit_v2() {
    if (functions_.nvmlInit_v2 == nullptr) return kNvmlNotLoaded;
    return functions_.nvmlInit_v2();
}

nvmlReturn_t NvmlLibrary::nvmlShutdown() {
    if (functions_.nvmlShutdown == nullptr) return kNvmlNotLoaded;
    return functions_.nvmlShutdown();
}

nvmlReturn_t NvmlLibrary::nvmlDeviceGetHandleByPciBusId_v2(const char* pciBusId,
                                                           nvmlDevice_t* device) {
    if (functions_.nvmlDeviceGetHandleByPciBusId_v2 == nullptr) return kNvmlNotLoaded;
    return functions_.nvmlDeviceGetHandleByPciBusId_v2(pciBusId, device);
}

nvmlReturn_t NvmlLibrary::nvmlDeviceGetPciInfo_v3(nvmlDevice_t device, nvmlPciInfo_t* pci) {
    if (functions_.nvmlDeviceGetPciInfo_v3 == nullptr) return kNvmlNotLoaded;
    return functions_.nvmlDeviceGetPciInfo_v3(device, pci);
}

}  // namespace gemm

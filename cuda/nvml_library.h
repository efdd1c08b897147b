#pragma once
// NVML ("nvml.dll" from the system directory, "libnvidia-ml.so.1" elsewhere), loaded for the
// length of one device enumeration.

#include "cuda/dynamic_library.h"
#include "cuda/nvidia_api.h"

namespace gemm {

class NvmlLibrary final : public NvmlApi {
public:
    NvmlLoad LoadNvml() override;
    void UnloadNvml() override;
    nvmlReturn_t nvmlInit_v2() override;
    nvmlReturn_t nvmlShutdown() override;
    nvmlReturn_t nvmlDeviceGetHandleByPciBusId_v2(const char* pciBusId,
                                                  nvmlDevice_t* device) override;
    nvmlReturn_t nvmlDeviceGetPciInfo_v3(nvmlDevice_t device, nvmlPciInfo_t* pci) override;

private:
    struct Functions {
        nvmlReturn_t (*nvmlInit_v2)() = nullptr;
        nvmlReturn_t (*nvmlShutdown)() = nullptr;
        nvmlReturn_t (*nvmlDeviceGetHandleByPciBusId_v2)(const char* pciBusId,
                                                         nvmlDevice_t* device) = nullptr;
        nvmlReturn_t (*nvmlDeviceGetPciInfo_v3)(nvmlDevice_t device,
                                                nvmlPciInfo_t* pci) = nullptr;
    };

    DynamicLibrary library_;
    Functions functions_;
};

}  // namespace gemm

#include "cuda/cuda_devices.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "cuda/call_checks.h"
#include "cuda/nvml_library.h"

namespace gemm {
namespace {

// NVML for the length of one enumeration: shut down (when it was initialised) and unloaded
// (when it was loaded) on every exit.
class NvmlSession {
public:
    explicit NvmlSession(NvmlApi& nvml) : nvml_(nvml) {
        const NvmlLoad load = nvml.LoadNvml();
        loaded_ = load != NvmlLoad::Missing;
        initialized_ = load == NvmlLoad::Complete && nvml.nvmlInit_v2() == NVML_SUCCESS;
    }
    ~NvmlSession() {
        if (initialized_) nvml_.nvmlShutdown();
        if (loaded_) nvml_.UnloadNvml();
    }
    NvmlSession(const NvmlSession&) = delete;
    NvmlSession& operator=(const NvmlSession&) = delete;

    bool Usable() const { return initialized_; }

private:
    NvmlApi& nvml_;
    bool loaded_ = false;
    bool initialized_ = false;
};

// The device's PCI bus id as NVML accepts it; empty when the driver gives none.
std::string PciBusId(CudaRuntimeApi& cuda, int ordinal) {
    char busId[kPciBusIdLength] = {};
    if (cuda.cudaDeviceGetPCIBusId(busId, kPciBusIdLength, ordinal) != cudaSuccess) return {};
    busId[kPciBusIdLength - 1] = '\0';
    return busId;
}

// The PCI subsystem vendor of the board carrying the device, or 0 when any step fails.
std::uint32_t BoardVendorId(NvmlApi& nvml, const std::string& busId) {
    if (busId.empty()) return 0;
    nvmlDevice_t device = nullptr;
    if (nvml.nvmlDeviceGetHandleByPciBusId_v2(busId.c_str(), &device) != NVML_SUCCESS) return 0;
    nvmlPciInfo_t pci{};
    if (nvml.nvmlDeviceGetPciInfo_v3(device, &pci) != NVML_SUCCESS) return 0;
    return pci.pciSubSystemId & 0xFFFFu;
}

}  // namespace

std::vector<GpuTarget> EnumerateCudaDevices(CudaRuntimeApi& cuda, NvmlApi& nvml,
                                            int deviceCount) {
    const NvmlSession session(nvml);
    std::vector<GpuTarget> targets;
    for (int ordinal = 0; ordinal < deviceCount; ++ordinal) {
        cudaDeviceProp prop{};
        CheckCuda(cuda, cuda.cudaGetDeviceProperties(&prop, ordinal), "cudaGetDeviceProperties");

        GpuTarget target;
        target.cudaOrdinal = ordinal;
        // The name ends at its first zero, and never runs past the field.
        const char* nameBegin = prop.name;
        const char* nameLimit = prop.name + sizeof prop.name;
        target.name.assign(nameBegin, std::find(nameBegin, nameLimit, '\0'));
        target.dedicatedMemoryBytes = prop.totalGlobalMem;
        target.pciBusId = PciBusId(cuda, ordinal);
        target.uuid = FormatGpuUuid(prop.uuid);
        target.boardVendorId = session.Usable() ? BoardVendorId(nvml, target.pciBusId) : 0;
        target.backend = BackendKind::Cuda;
        target.adapterLuid = AdapterLuid{};
        target.sharedMemoryBytes = 0;
        target.directMlStatus = DirectMlStatus::Ready;
        target.integrated = false;
        targets.push_back(std::move(target));
    }
    return targets;
}

std::string FormatGpuUuid(const cudaUUID_t& uuid) {
    if (std::all_of(std::begin(uuid.bytes), std::end(uuid.bytes), [](unsigned char byte) { return byte == 0; })) {
        return {};
    }
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "GPU-";
    for (std::size_t i = 0; i < sizeof uuid.bytes; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kDigits[uuid.bytes[i] >> 4];
        text += kDigits[uuid.bytes[i] & 0xF];
    }
    return text;
}

std::vector<GpuTarget> EnumerateCudaDevices(int deviceCount) {
    NvmlLibrary nvml;
    return EnumerateCudaDevices(SystemCudaRuntime(), nvml, deviceCount);
}

}  // namespace gemm

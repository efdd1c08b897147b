// The system's NVML, bound through the CUDA backend's library loader from the same library
// file the device enumeration uses.
#include "cli/telemetry/nvml_clocks.h"

#include "cuda/dynamic_library.h"
#include "cuda/nvidia_api.h"

namespace cli {
namespace {

constexpr int kNotLoaded = 12;  // NVML_ERROR_LIBRARY_NOT_FOUND

class NvmlClockLibrary final : public NvmlClockApi {
public:
    bool Load() override {
        library_ = gemm::DynamicLibrary::LoadSystem(gemm::kNvmlLibraryName);
        if (!library_.IsLoaded()) return false;
        // Drivers before the clocks-event names export the same call as "throttle reasons".
        const bool reasons = library_.Bind(reasons_, "nvmlDeviceGetCurrentClocksEventReasons") ||
                             library_.Bind(reasons_, "nvmlDeviceGetCurrentClocksThrottleReasons");
        // Optional: a card or driver without them still gives clocks.
        library_.Bind(power_, "nvmlDeviceGetPowerUsage");
        library_.Bind(temperature_, "nvmlDeviceGetTemperature");
        library_.Bind(uuid_, "nvmlDeviceGetUUID");
        library_.Bind(driverVersion_, "nvmlSystemGetDriverVersion");
        return library_.Bind(init_, "nvmlInit_v2") && library_.Bind(shutdown_, "nvmlShutdown") &&
               library_.Bind(byBusId_, "nvmlDeviceGetHandleByPciBusId_v2") &&
               library_.Bind(clockInfo_, "nvmlDeviceGetClockInfo") && reasons;
    }
    int Init() override { return init_ ? init_() : kNotLoaded; }
    int Shutdown() override { return shutdown_ ? shutdown_() : kNotLoaded; }
    int DeviceByPciBusId(const char* pciBusId, Device* device) override {
        return byBusId_ ? byBusId_(pciBusId, device) : kNotLoaded;
    }
    int SmClockMHz(Device device, unsigned int* clockMHz) override {
        return clockInfo_ ? clockInfo_(device, 1 /* NVML_CLOCK_SM */, clockMHz) : kNotLoaded;
    }
    int ClocksEventReasons(Device device, unsigned long long* reasons) override {
        return reasons_ ? reasons_(device, reasons) : kNotLoaded;
    }
    int PowerUsageMilliwatts(Device device, unsigned int* milliwatts) override {
        return power_ ? power_(device, milliwatts) : kNotLoaded;
    }
    int TemperatureC(Device device, unsigned int* celsius) override {
        return temperature_ ? temperature_(device, 0 /* NVML_TEMPERATURE_GPU */, celsius) : kNotLoaded;
    }
    int Uuid(Device device, char* uuid, unsigned int length) override {
        return uuid_ ? uuid_(device, uuid, length) : kNotLoaded;
    }
    int DriverVersion(char* version, unsigned int length) override {
        return driverVersion_ ? driverVersion_(version, length) : kNotLoaded;
    }

private:
    gemm::DynamicLibrary library_;
    int (*init_)() = nullptr;
    int (*shutdown_)() = nullptr;
    int (*byBusId_)(const char*, Device*) = nullptr;
    int (*clockInfo_)(Device, int, unsigned int*) = nullptr;
    int (*reasons_)(Device, unsigned long long*) = nullptr;
    int (*power_)(Device, unsigned int*) = nullptr;
    int (*temperature_)(Device, int, unsigned int*) = nullptr;
    int (*uuid_)(Device, char*, unsigned int) = nullptr;
    int (*driverVersion_)(char*, unsigned int) = nullptr;
};

}  // namespace

std::unique_ptr<NvmlClockApi> SystemNvmlClockApi() { return std::make_unique<NvmlClockLibrary>(); }

}  // namespace cli

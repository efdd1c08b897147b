#pragma once
// SM clock, clock-event (throttle) reasons, power and temperature of one NVIDIA card through
// NVML, the device found by its PCI bus id (CUDA ordinals and NVML indexes need not agree).

#include <memory>
#include <string>

#include "cli/telemetry/clocks.h"

struct nvmlDevice_st;  // NVML's opaque device

namespace cli {

// The NVML calls the monitor makes. The program binds them from the system's NVML library;
// tests substitute them. Results are NVML return codes, 0 = success.
class NvmlClockApi {
public:
    using Device = nvmlDevice_st*;
    virtual ~NvmlClockApi() = default;  // unloads the library
    // Loads the library and binds the entry points; false when either is missing.
    virtual bool Load() = 0;
    virtual int Init() = 0;
    virtual int Shutdown() = 0;
    virtual int DeviceByPciBusId(const char* pciBusId, Device* device) = 0;
    virtual int SmClockMHz(Device device, unsigned int* clockMHz) = 0;
    virtual int ClocksEventReasons(Device device, unsigned long long* reasons) = 0;
    virtual int PowerUsageMilliwatts(Device device, unsigned int* milliwatts) = 0;
    virtual int TemperatureC(Device device, unsigned int* celsius) = 0;
    // Zero-terminated texts of at most length bytes.
    virtual int Uuid(Device device, char* uuid, unsigned int length) = 0;
    virtual int DriverVersion(char* version, unsigned int length) = 0;
};

// A monitor for the card with this bus id, or the reason why there is none. The monitor
// keeps NVML initialised and loaded until it is destroyed.
ClockAccess OpenNvmlClocks(std::unique_ptr<NvmlClockApi> api, const std::string& pciBusId);

// The system's NVML library ("nvml.dll" from the system directory, "libnvidia-ml.so.1").
std::unique_ptr<NvmlClockApi> SystemNvmlClockApi();

}  // namespace cli

#include "cli/telemetry/nvml_clocks.h"

#include <utility>

namespace cli {
namespace {

constexpr unsigned kNvmlClockSm = 1;  // NVML_CLOCK_SM

class NvmlClockMonitor final : public ClockMonitor {
public:
    NvmlClockMonitor(std::unique_ptr<NvmlClockApi> api, NvmlClockApi::Device device)
        : api_(std::move(api)), device_(device) {}
    ~NvmlClockMonitor() override { api_->Shutdown(); }
    NvmlClockMonitor(const NvmlClockMonitor&) = delete;
    NvmlClockMonitor& operator=(const NvmlClockMonitor&) = delete;

    std::optional<ClockSample> Sample() override {
        unsigned int clock = 0;
        unsigned long long reasons = 0;
        if (api_->SmClockMHz(device_, &clock) != 0 || api_->ClocksEventReasons(device_, &reasons) != 0) {
            return std::nullopt;
        }
        ClockSample sample{clock, reasons, std::nullopt, std::nullopt};
        unsigned int value = 0;
        if (api_->PowerUsageMilliwatts(device_, &value) == 0) sample.powerMilliwatts = value;
        if (api_->TemperatureC(device_, &value) == 0) sample.temperatureC = value;
        return sample;
    }

private:
    std::unique_ptr<NvmlClockApi> api_;  // destroyed after Shutdown: unloads last
    NvmlClockApi::Device device_;
};

ClockAccess Unavailable(ClocksUnavailable reason, int nvmlReturnCode = 0) {
    ClockAccess access;
    access.unavailable = reason;
    access.nvmlReturnCode = nvmlReturnCode;
    return access;
}

// A text NVML wrote into a buffer of 96 bytes (its longest UUID and version texts are 80).
template <typename Query>
std::string NvmlText(Query query) {
    char text[96] = {};
    if (query(text, static_cast<unsigned int>(sizeof text)) != 0) return {};
    text[sizeof text - 1] = '\0';
    return text;
}

}  // namespace

ClockAccess OpenNvmlClocks(std::unique_ptr<NvmlClockApi> api, const std::string& pciBusId) {
    if (pciBusId.empty()) return Unavailable(ClocksUnavailable::BusIdUnknown);
    if (!api->Load()) return Unavailable(ClocksUnavailable::NvmlMissing);
    if (const int rc = api->Init(); rc != 0) return Unavailable(ClocksUnavailable::NvmlInitFailed, rc);
    NvmlClockApi::Device device = nullptr;
    if (api->DeviceByPciBusId(pciBusId.c_str(), &device) != 0) {
        api->Shutdown();
        return Unavailable(ClocksUnavailable::NvmlDeviceNotFound);
    }
    std::string uuid = NvmlText([&](char* text, unsigned int length) { return api->Uuid(device, text, length); });
    std::string driver = NvmlText([&](char* text, unsigned int length) { return api->DriverVersion(text, length); });
    ClockAccess access;
    access.monitor = std::make_unique<NvmlClockMonitor>(std::move(api), device);
    access.uuid = std::move(uuid);
    access.driverVersion = std::move(driver);
    return access;
}

}  // namespace cli

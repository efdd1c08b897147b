#include "cli/nvml_clocks.h"

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

ClockAccess Unavailable(std::wstring ru, std::wstring en) {
    ClockAccess access;
    access.unavailableReason = {std::move(ru), std::move(en)};
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
    if (pciBusId.empty()) {
        return Unavailable(L"PCI-адрес видеокарты неизвестен", L"the card's PCI bus id is unknown");
    }
    if (!api->Load()) {
        return Unavailable(L"библиотека NVML недоступна", L"the NVML library is unavailable");
    }
    if (const int rc = api->Init(); rc != 0) {
        const std::wstring code = std::to_wstring(rc);
        return Unavailable(L"NVML не инициализирован (код " + code + L")",
                           L"NVML could not be initialised (code " + code + L")");
    }
    NvmlClockApi::Device device = nullptr;
    if (api->DeviceByPciBusId(pciBusId.c_str(), &device) != 0) {
        api->Shutdown();
        const std::wstring busId(pciBusId.begin(), pciBusId.end());
        return Unavailable(L"NVML не знает устройства с PCI-адресом " + busId,
                           L"NVML has no device with PCI bus id " + busId);
    }
    std::string uuid = NvmlText([&](char* text, unsigned int length) { return api->Uuid(device, text, length); });
    std::string driver = NvmlText([&](char* text, unsigned int length) { return api->DriverVersion(text, length); });
    return {std::make_unique<NvmlClockMonitor>(std::move(api), device), {}, std::move(uuid), std::move(driver)};
}

}  // namespace cli

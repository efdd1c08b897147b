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
        return ClockSample{clock, reasons};
    }

private:
    std::unique_ptr<NvmlClockApi> api_;  // destroyed after Shutdown: unloads last
    NvmlClockApi::Device device_;
};

TextPair Reason(std::wstring ru, std::wstring en) { return {std::move(ru), std::move(en)}; }

}  // namespace

ClockAccess OpenNvmlClocks(std::unique_ptr<NvmlClockApi> api, const std::string& pciBusId) {
    if (pciBusId.empty()) {
        return {nullptr, Reason(L"PCI-адрес видеокарты неизвестен", L"the card's PCI bus id is unknown")};
    }
    if (!api->Load()) {
        return {nullptr, Reason(L"библиотека NVML недоступна", L"the NVML library is unavailable")};
    }
    if (const int rc = api->Init(); rc != 0) {
        const std::wstring code = std::to_wstring(rc);
        return {nullptr, Reason(L"NVML не инициализирован (код " + code + L")",
                                L"NVML could not be initialised (code " + code + L")")};
    }
    NvmlClockApi::Device device = nullptr;
    if (api->DeviceByPciBusId(pciBusId.c_str(), &device) != 0) {
        api->Shutdown();
        const std::wstring busId(pciBusId.begin(), pciBusId.end());
        return {nullptr, Reason(L"NVML не знает устройства с PCI-адресом " + busId,
                                L"NVML has no device with PCI bus id " + busId)};
    }
    return {std::make_unique<NvmlClockMonitor>(std::move(api), device), {}};
}

}  // namespace cli

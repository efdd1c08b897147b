#include "cli/telemetry/clocks.h"

#include <cstdio>
#include <utility>

namespace cli {

std::vector<std::string> ClockEventReasonNames(std::uint64_t reasons) {
    static constexpr std::pair<std::uint64_t, const char*> kNames[] = {
        {0x1, "gpuIdle"},
        {0x2, "applicationsClocksSetting"},
        {0x4, "swPowerCap"},
        {0x8, "hwSlowdown"},
        {0x10, "syncBoost"},
        {0x20, "swThermalSlowdown"},
        {0x40, "hwThermalSlowdown"},
        {0x80, "hwPowerBrakeSlowdown"},
        {0x100, "displayClockSetting"},
    };
    std::vector<std::string> names;
    for (const auto& [bit, name] : kNames) {
        if (reasons & bit) {
            names.emplace_back(name);
            reasons &= ~bit;
        }
    }
    if (reasons != 0) {
        char text[24];
        std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(reasons));
        names.emplace_back(text);
    }
    return names;
}

}  // namespace cli

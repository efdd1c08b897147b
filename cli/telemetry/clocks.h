#pragma once
// GPU clock, power and temperature samples taken while the timed series run, to show whether
// the card throttled.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cli {

struct ClockSample {
    std::uint32_t smClockMHz = 0;
    std::uint64_t eventReasons = 0;  // NVML clocks-event reason bits
    std::optional<std::uint32_t> powerMilliwatts;  // nullopt where the card does not report it
    std::optional<std::uint32_t> temperatureC;
};

// Reads the clocks of one card. Sampling runs beside the timed work on the CPU; the queries
// do not touch the GPU's queue.
class ClockMonitor {
public:
    virtual ~ClockMonitor() = default;
    // nullopt when the query failed this time.
    virtual std::optional<ClockSample> Sample() = 0;
};

// Why a card's clocks were not sampled.
enum class ClocksUnavailable {
    None,                // sampled
    NotReached,          // the run never reached the card
    NotNvidia,           // NVML covers NVIDIA cards only
    BusIdUnknown,        // the card's PCI bus id is unknown
    NvmlMissing,         // the NVML library or one of its functions is missing
    NvmlInitFailed,      // nvmlInit failed (its return code is kept)
    NvmlDeviceNotFound,  // NVML has no device at the card's PCI bus id
};

// Either a monitor or the reason why none exists.
struct ClockAccess {
    std::unique_ptr<ClockMonitor> monitor;
    ClocksUnavailable unavailable = ClocksUnavailable::None;
    int nvmlReturnCode = 0;  // with NvmlInitFailed
    // What the driver tells about the card while the monitor is open; empty when unknown.
    std::string uuid;
    std::string driverVersion;  // the display driver's release, e.g. "580.65.06"
};

// The names of the set reason bits, lowest bit first, in NVML's own terms. Unknown bits
// appear as "0x..." so nothing is hidden.
std::vector<std::string> ClockEventReasonNames(std::uint64_t reasons);

}  // namespace cli

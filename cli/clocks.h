#pragma once
// GPU clock samples taken between the timed series, to show whether the card throttled.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/text_pair.h"

namespace cli {

struct ClockSample {
    std::uint32_t smClockMHz = 0;
    std::uint64_t eventReasons = 0;  // NVML clocks-event reason bits
};

// Reads the clocks of one card. Sampling happens outside the timed work.
class ClockMonitor {
public:
    virtual ~ClockMonitor() = default;
    // nullopt when the query failed this time.
    virtual std::optional<ClockSample> Sample() = 0;
};

// Either a monitor or the reason why none exists.
struct ClockAccess {
    std::unique_ptr<ClockMonitor> monitor;
    TextPair unavailableReason;
};

// The names of the set reason bits, lowest bit first, in NVML's own terms. Unknown bits
// appear as "0x..." so nothing is hidden.
std::vector<std::string> ClockEventReasonNames(std::uint64_t reasons);

}  // namespace cli

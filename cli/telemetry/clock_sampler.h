#pragma once
// Samples a card's clocks at a fixed interval on a thread of its own while a timed series
// runs, and sums each series up: minimum, mean and maximum of the SM clock, power and
// temperature, and every clock-event reason seen.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "cli/telemetry/clocks.h"

namespace cli {

struct Range {
    double min = 0.0;
    double mean = 0.0;
    double max = 0.0;
};

// The samples of one series. Ranges are nullopt when no sample carried that reading.
struct SeriesClocks {
    int series = 0;         // 1..5
    int sampleCount = 0;    // successful queries
    int failedQueries = 0;
    std::optional<Range> smClockMHz;
    std::optional<Range> powerWatts;
    std::optional<Range> temperatureC;
    std::uint64_t eventReasons = 0;  // every reason bit seen during the series
};

// Folds samples into a series summary (pure; the sampler's arithmetic).
SeriesClocks Summarize(int series, const std::vector<std::optional<ClockSample>>& samples);

class ClockSampler {
public:
    // Takes the monitor over; it is queried only from the sampler's thread, one query at a
    // time and never under the sampler's lock, so a slow query delays no caller.
    ClockSampler(std::unique_ptr<ClockMonitor> monitor, std::chrono::milliseconds interval,
                 std::chrono::milliseconds patience = std::chrono::seconds(1));
    // Stops the thread, waiting at most the patience for a query in progress. A query that
    // hangs keeps its thread and the monitor until it returns; nothing else waits for it.
    ~ClockSampler();
    ClockSampler(const ClockSampler&) = delete;
    ClockSampler& operator=(const ClockSampler&) = delete;

    // Series k starts: the thread samples it from now on.
    void Begin(int series);
    // Series k ended: its summary. A series too short for the interval gets one sample now,
    // if the monitor answers within the patience.
    SeriesClocks End();
    // A query did not return within the patience: the samples may end early.
    bool Stalled() const { return stalled_; }

private:
    struct Shared;
    static void Loop(Shared& shared);

    std::shared_ptr<Shared> shared_;  // also owned by the thread, which may outlive the sampler
    std::chrono::milliseconds patience_;
    bool stalled_ = false;
    std::thread thread_;
};

}  // namespace cli

#pragma once
// Samples a card's clocks at a fixed interval on a thread of its own while a timed series
// runs, and sums each series up: minimum, mean and maximum of the SM clock, power and
// temperature, and every clock-event reason seen.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "cli/clocks.h"

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
    // The monitor is only queried from the sampler's calls and thread, one query at a time.
    ClockSampler(ClockMonitor& monitor, std::chrono::milliseconds interval);
    ~ClockSampler();
    ClockSampler(const ClockSampler&) = delete;
    ClockSampler& operator=(const ClockSampler&) = delete;

    // Series k starts: the thread samples it from now on.
    void Begin(int series);
    // Series k ended: its summary. A series too short for the interval gets one sample now.
    SeriesClocks End();

private:
    void Loop(std::stop_token stop);

    ClockMonitor& monitor_;
    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    int series_ = 0;  // 0: between series
    std::vector<std::optional<ClockSample>> samples_;
    std::jthread thread_;  // last: stopped and joined before the members it uses go
};

}  // namespace cli

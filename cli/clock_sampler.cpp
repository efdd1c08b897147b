#include "cli/clock_sampler.h"

#include <algorithm>

namespace cli {
namespace {

// Minimum, mean and maximum of the readings present.
class RangeBuilder {
public:
    void Add(double value) {
        min_ = count_ ? std::min(min_, value) : value;
        max_ = count_ ? std::max(max_, value) : value;
        sum_ += value;
        ++count_;
    }
    std::optional<Range> Get() const {
        if (count_ == 0) return std::nullopt;
        return Range{min_, sum_ / count_, max_};
    }

private:
    double min_ = 0.0;
    double max_ = 0.0;
    double sum_ = 0.0;
    int count_ = 0;
};

}  // namespace

SeriesClocks Summarize(int series, const std::vector<std::optional<ClockSample>>& samples) {
    SeriesClocks summary;
    summary.series = series;
    RangeBuilder clock, power, temperature;
    for (const std::optional<ClockSample>& sample : samples) {
        if (!sample) {
            ++summary.failedQueries;
            continue;
        }
        ++summary.sampleCount;
        clock.Add(sample->smClockMHz);
        if (sample->powerMilliwatts) power.Add(*sample->powerMilliwatts / 1000.0);
        if (sample->temperatureC) temperature.Add(*sample->temperatureC);
        summary.eventReasons |= sample->eventReasons;
    }
    summary.smClockMHz = clock.Get();
    summary.powerWatts = power.Get();
    summary.temperatureC = temperature.Get();
    return summary;
}

ClockSampler::ClockSampler(ClockMonitor& monitor, std::chrono::milliseconds interval)
    : monitor_(monitor), interval_(interval), thread_([this](std::stop_token stop) { Loop(stop); }) {}

// The thread's stop request wakes its wait; the thread is joined before the members go.
ClockSampler::~ClockSampler() = default;

void ClockSampler::Begin(int series) {
    const std::lock_guard lock(mutex_);
    series_ = series;
    samples_.clear();
    wake_.notify_all();  // the interval starts with the series
}

SeriesClocks ClockSampler::End() {
    std::lock_guard lock(mutex_);
    if (samples_.empty()) samples_.push_back(monitor_.Sample());
    const SeriesClocks summary = Summarize(series_, samples_);
    series_ = 0;
    samples_.clear();
    return summary;
}

void ClockSampler::Loop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (series_ == 0) {
            wake_.wait(lock, stop, [this] { return series_ != 0; });
            continue;
        }
        const int series = series_;
        const std::size_t taken = samples_.size();
        // Woken early only by a new series or the end; otherwise one sample per interval.
        if (!wake_.wait_for(lock, stop, interval_, [&] { return series_ != series || samples_.size() != taken; }) &&
            series_ == series) {
            samples_.push_back(monitor_.Sample());
        }
    }
}

}  // namespace cli

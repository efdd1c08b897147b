#include "cli/telemetry/clock_sampler.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

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

struct ClockSampler::Shared {
    std::unique_ptr<ClockMonitor> monitor;
    std::chrono::milliseconds interval;
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
    bool finished = false;  // the thread has left its loop
    int series = 0;         // 0: between series
    unsigned generation = 0;  // changes with every Begin and End: a sample counts for its series only
    bool sampleNow = false;
    std::vector<std::optional<ClockSample>> samples;
};

ClockSampler::ClockSampler(std::unique_ptr<ClockMonitor> monitor, std::chrono::milliseconds interval,
                           std::chrono::milliseconds patience)
    : shared_(std::make_shared<Shared>()), patience_(patience) {
    shared_->monitor = std::move(monitor);
    shared_->interval = interval;
    thread_ = std::thread([shared = shared_] { Loop(*shared); });
}

ClockSampler::~ClockSampler() {
    std::unique_lock lock(shared_->mutex);
    shared_->stop = true;
    shared_->changed.notify_all();
    const bool finished =
        shared_->changed.wait_for(lock, stalled_ ? std::chrono::milliseconds(0) : patience_,
                                  [this] { return shared_->finished; });
    lock.unlock();
    if (finished) {
        thread_.join();
    } else {
        thread_.detach();  // it ends, and releases the monitor, when its query returns
    }
}

void ClockSampler::Begin(int series) {
    const std::lock_guard lock(shared_->mutex);
    shared_->series = series;
    ++shared_->generation;
    shared_->samples.clear();
    shared_->changed.notify_all();  // the interval starts with the series
}

SeriesClocks ClockSampler::End() {
    std::unique_lock lock(shared_->mutex);
    if (shared_->samples.empty() && !stalled_) {
        shared_->sampleNow = true;
        shared_->changed.notify_all();
        stalled_ = !shared_->changed.wait_for(lock, patience_, [this] { return !shared_->samples.empty(); });
    }
    const SeriesClocks summary = Summarize(shared_->series, shared_->samples);
    shared_->series = 0;
    ++shared_->generation;
    shared_->sampleNow = false;
    shared_->samples.clear();
    return summary;
}

void ClockSampler::Loop(Shared& s) {
    std::unique_lock lock(s.mutex);
    while (!s.stop) {
        if (s.series == 0) {
            s.changed.wait(lock, [&] { return s.stop || s.series != 0; });
            continue;
        }
        // One sample per interval; woken early by a new series, the end, or a request.
        if (!s.sampleNow) {
            const unsigned waited = s.generation;
            if (s.changed.wait_for(lock, s.interval,
                                   [&] { return s.stop || s.sampleNow || s.generation != waited; })) {
                continue;
            }
        }
        const unsigned generation = s.generation;
        s.sampleNow = false;
        lock.unlock();
        std::optional<ClockSample> sample = s.monitor->Sample();
        lock.lock();
        if (s.generation == generation) {
            s.samples.push_back(sample);
            s.changed.notify_all();
        }
    }
    s.finished = true;
    s.changed.notify_all();
}

}  // namespace cli

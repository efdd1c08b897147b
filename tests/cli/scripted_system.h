#pragma once
// A scripted machine for the console runner's tests: discovery answers, a backend that
// keeps the backend contract (progress, stop checks, failures, releases) and NVML clocks.

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

#include "cli/system.h"

namespace cli::testing {

inline SeriesTiming Timing(double ms) { return {ms, 1099511627776.0 / (ms * 1.0e9)}; }

// Series of 5.2, 4.9, 5.0, 5.1 and 4.8 ms in measured order; the median is 5.0 ms.
inline BenchmarkResult SampleResult() {
    BenchmarkResult r;
    const double ms[] = {5.2, 4.9, 5.0, 5.1, 4.8};
    for (int i = 0; i < 5; ++i) r.series[i] = Timing(ms[i]);
    r.median = Timing(5.0);
    return r;
}

inline GpuTarget CudaTarget(int ordinal, std::string name, std::uint32_t vendor, std::uint64_t memory) {
    GpuTarget t;
    t.cudaOrdinal = ordinal;
    t.name = std::move(name);
    t.boardVendorId = vendor;
    t.dedicatedMemoryBytes = memory;
    return t;
}

inline GpuTarget DirectMlTarget(std::string name, DirectMlStatus status, bool integrated) {
    GpuTarget t;
    t.name = std::move(name);
    t.backend = BackendKind::DirectMl;
    t.boardVendorId = 0x8086;
    t.dedicatedMemoryBytes = 128ull << 20;
    t.sharedMemoryBytes = 8ull << 30;
    t.directMlStatus = status;
    t.integrated = integrated;
    return t;
}

class ScriptedClocks : public ClockMonitor {
public:
    explicit ScriptedClocks(std::deque<std::optional<ClockSample>> samples) : samples_(std::move(samples)) {}
    std::optional<ClockSample> Sample() override {
        if (samples_.empty()) return std::nullopt;
        auto s = samples_.front();
        samples_.pop_front();
        return s;
    }

private:
    std::deque<std::optional<ClockSample>> samples_;
};

class ScriptedSystem : public System {
public:
    DiscoveredSystem discovered;
    bool discoveryThrows = false;
    std::map<int, std::string> busIds;  // by CUDA ordinal
    // Clocks: samples handed out after each series, or the reason why there are none.
    std::optional<std::deque<std::optional<ClockSample>>> clockSamples;
    TextPair clocksUnavailable{L"NVML не найден", L"NVML not found"};

    // Backend script.
    BenchmarkResult result = SampleResult();
    int failAfterSeries = -1;  // throw after progress(k) when >= 0
    std::string failure = "cudaMalloc: out of memory";
    int multiplicationsPerSeries = 3;
    std::chrono::milliseconds perMultiplication{0};
    std::function<void(int)> onProgress;  // observes each progress report

    // What happened.
    std::vector<std::string> ranTargets;
    std::string openedClocksFor;
    int liveResources = 0;
    int maxLiveResources = 0;

    DiscoveredSystem Discover() override {
        if (discoveryThrows) throw std::runtime_error("discovery exploded");
        return discovered;
    }
    std::string PciBusId(const GpuTarget& target) override {
        const auto it = busIds.find(target.cudaOrdinal);
        return target.backend == BackendKind::Cuda && it != busIds.end() ? it->second : std::string();
    }
    ClockAccess OpenClocks(const GpuTarget&, const std::string& pciBusId) override {
        openedClocksFor = pciBusId;
        if (!clockSamples) return {nullptr, clocksUnavailable};
        return {std::make_unique<ScriptedClocks>(*clockSamples), {}};
    }

    BenchmarkResult Run(const GpuTarget& target, std::stop_token stop,
                        const gemm::ProgressCallback& progress) override {
        ranTargets.push_back(target.name);
        Resource device(*this);  // released on every way out, as a backend must
        const auto check = [&] {
            if (stop.stop_requested()) throw gemm::Cancelled{};
        };
        const auto multiply = [&](int count) {
            for (int i = 0; i < count; ++i) {
                check();
                std::this_thread::sleep_for(perMultiplication);
            }
        };
        const auto report = [&](int k) {
            progress(k);
            if (onProgress) onProgress(k);
            if (k == failAfterSeries) throw std::runtime_error(failure);
        };
        check();
        report(0);
        multiply(multiplicationsPerSeries);
        for (int k = 1; k <= 5; ++k) {
            multiply(multiplicationsPerSeries);
            report(k);
        }
        check();
        return result;
    }

private:
    struct Resource {
        explicit Resource(ScriptedSystem& s) : system(s) {
            system.maxLiveResources = std::max(system.maxLiveResources, ++system.liveResources);
        }
        ~Resource() { --system.liveResources; }
        ScriptedSystem& system;
    };
};

}  // namespace cli::testing

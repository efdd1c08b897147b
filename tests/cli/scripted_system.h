#pragma once
// A scripted machine for the console runner's tests: discovery answers, a backend that
// keeps the backend contract (progress, stop checks, failures, releases) and NVML clocks.

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "cli/app.h"
#include "cli/system.h"
#include "core/input_matrices.h"

namespace cli::testing {

inline SeriesTiming Timing(double ms) { return {ms, 1099511627776.0 / (ms * 1.0e9)}; }

// Series of 5.2, 4.9, 5.0, 5.1 and 4.8 ms in measured order; the median is 5.0 ms.
inline BenchmarkResult SampleResult() {
    BenchmarkResult r;
    const double ms[] = {5.2, 4.9, 5.0, 5.1, 4.8};
    for (int i = 0; i < 5; ++i) r.series[i] = Timing(ms[i]);
    r.median = Timing(5.0);
    r.checkedElements[0] = {0, 0, 0x5640, 100.0f, 100.03f, 0.03f, 0.22006f, true};
    r.checkedElements[1] = {17, 456, 0xD140, -42.0f, -41.99f, 0.01f, 0.10398f, true};
    r.checkedElements[2] = {8191, 8191, 0x3C00, 1.0f, 1.0f, 0.0f, 0.022f, true};
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

// Holds a query that hangs until it is opened; counts the monitors still alive.
struct HangingQueries {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int liveMonitors = 0;

    void Open() {
        const std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
};

class ScriptedClocks : public ClockMonitor {
public:
    // After the scripted samples, a query hangs on hang (when given) until it is opened.
    ScriptedClocks(std::deque<std::optional<ClockSample>> samples, std::shared_ptr<HangingQueries> hang)
        : samples_(std::move(samples)), hang_(std::move(hang)) {
        if (hang_) ++hang_->liveMonitors;
    }
    ~ScriptedClocks() override {
        if (!hang_) return;
        const std::lock_guard lock(hang_->mutex);
        --hang_->liveMonitors;
        hang_->opened.notify_all();
    }
    std::optional<ClockSample> Sample() override {
        if (samples_.empty() && hang_) {
            std::unique_lock lock(hang_->mutex);
            hang_->opened.wait(lock, [&] { return hang_->open; });
        }
        if (samples_.empty()) return std::nullopt;
        auto s = samples_.front();
        samples_.pop_front();
        return s;
    }

private:
    std::deque<std::optional<ClockSample>> samples_;
    std::shared_ptr<HangingQueries> hang_;
};

class ScriptedSystem : public System {
public:
    DiscoveredSystem discovered;
    std::string hostName = "gpu-node-07";
    std::map<int, std::string> busIds;  // by CUDA ordinal
    // Clocks: samples handed out in turn, or the reason why there are none. The interval is
    // far longer than a scripted series, so each series takes exactly one sample at its end.
    std::optional<std::deque<std::optional<ClockSample>>> clockSamples;
    std::shared_ptr<HangingQueries> clocksHang;  // queries past the scripted samples hang
    ClocksUnavailable clocksUnavailable = ClocksUnavailable::NvmlMissing;
    std::chrono::milliseconds clockInterval{std::chrono::hours(1)};
    CardDetails details{"", "", 8, 9, 128, "/usr/lib/x86_64-linux-gnu/libcuda.so.1", "", ""};
    std::map<std::string, std::string> files;  // what ReadFile finds and WriteFileReplacing leaves
    std::set<std::string> folders;             // folders that exist, besides those files are in
    std::string writeFailure;                  // WriteFileReplacing's answer when not empty
    std::string throwingCall;                  // the call that throws: "Host", "PciBusId", ...

    // Backend script.
    BenchmarkResult result = SampleResult();
    std::map<int, double> medianMsFor;              // by CUDA ordinal: every series takes this long
    std::map<int, std::uint64_t> eventReasonsFor;   // by CUDA ordinal: each clock sample's reasons
    int failAfterSeries = -1;  // throw after progress(k) when >= 0
    std::optional<int> failingOrdinal;  // only this card fails when set
    std::string failure = "cudaMalloc: out of memory";
    bool failCheck = false;    // the reference check fails after the last series
    int multiplicationsPerSeries = 3;
    std::chrono::milliseconds perMultiplication{0};
    std::function<void(int)> onProgress;  // observes each progress report

    // What happened. The calls about a card may come from several threads at once.
    std::vector<std::string> ranTargets;
    std::string openedClocksFor;
    int liveResources = 0;
    int maxLiveResources = 0;
    int inputsMade = 0;
    int inputsHashed = 0;  // read once the run has ended
    std::uint64_t inputsHash = 0x0123456789ABCDEFull;
    std::set<const gemm::InputMatrices*> inputsRead;  // the matrices each run was given

    DiscoveredSystem Discover() override {
        MayThrow("Discover");
        return discovered;
    }
    std::string PciBusId(const GpuTarget& target) override {
        MayThrow("PciBusId");
        const auto it = busIds.find(target.cudaOrdinal);
        return target.backend == BackendKind::Cuda && it != busIds.end() ? it->second : std::string();
    }
    ClockAccess OpenClocks(const GpuTarget& target, const std::string& pciBusId) override {
        MayThrow("OpenClocks");
        {
            const std::lock_guard lock(*mutex);
            openedClocksFor = pciBusId;
        }
        ClockAccess access;
        std::deque<std::optional<ClockSample>> samples;
        if (const auto reasons = eventReasonsFor.find(target.cudaOrdinal); reasons != eventReasonsFor.end()) {
            samples.assign(6, ClockSample{1980, reasons->second, std::nullopt, std::nullopt});
        } else if (clockSamples) {
            samples = *clockSamples;
        } else {
            access.unavailable = clocksUnavailable;
            return access;
        }
        access.monitor = std::make_unique<ScriptedClocks>(std::move(samples), clocksHang);
        access.uuid = "GPU-5d1e4c2a-0000-4000-8000-00000000000" + std::to_string(target.cudaOrdinal + 1);
        access.driverVersion = "580.65.06";
        return access;
    }
    std::chrono::milliseconds ClockSampleInterval() override { return clockInterval; }
    CardDetails Details(const GpuTarget& target) override {
        MayThrow("Details");
        return target.backend == BackendKind::Cuda ? details : CardDetails{};
    }
    HostInfo Host() override {
        MayThrow("Host");
        return {hostName, "Debian GNU/Linux 12 (bookworm)", "6.1.0-18-amd64", "AMD Ryzen 9 7950X"};
    }
    std::int64_t SecondsSinceEpoch() override { return 1796833252; }  // 2026-12-09T16:20:52Z
    std::optional<std::vector<std::string>> DocumentsIn(const std::string& path) override {
        std::vector<std::string> found;
        for (const auto& [name, contents] : files) {
            if (name.starts_with(path + "/") && name.ends_with(".json")) found.push_back(name);
        }
        if (found.empty() && !folders.contains(path)) return std::nullopt;
        return found;  // the map keeps them sorted
    }
    gemm::InputMatrices MakeInputs(std::stop_token stop) override {
        if (stop.stop_requested()) throw gemm::Cancelled{};
        ++inputsMade;
        return {};
    }
    std::uint64_t HashInputs(const gemm::InputMatrices&) override {
        ++inputsHashed;
        return inputsHash;
    }
    std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override {
        const auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second.substr(0, maxBytes + 1);
    }
    std::string WriteFileReplacing(const std::string& path, std::string_view contents) override {
        const std::lock_guard lock(*mutex);  // a stop request may write from another thread
        if (writeFailure.empty()) files[path] = std::string(contents);
        return writeFailure;
    }
    std::string FileText(const std::string& path) {
        const std::lock_guard lock(*mutex);
        return files.count(path) ? files[path] : std::string();
    }

    BenchmarkResult Run(const GpuTarget& target, const gemm::InputMatrices& inputs, std::stop_token stop,
                        const gemm::ProgressCallback& progress) override {
        {
            const std::lock_guard lock(*mutex);
            ranTargets.push_back(target.name);
            inputsRead.insert(&inputs);
        }
        Resource device(*this);  // released on every way out, as a backend must
        const bool fails = !failingOrdinal || *failingOrdinal == target.cudaOrdinal;
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
            if (k == failAfterSeries && fails) throw std::runtime_error(failure);
        };
        check();
        report(0);
        multiply(multiplicationsPerSeries);
        for (int k = 1; k <= 5; ++k) {
            multiply(multiplicationsPerSeries);
            report(k);
        }
        check();
        if (failCheck) {
            gemm::ElementChecks checks;
            std::copy(std::begin(result.checkedElements), std::end(result.checkedElements), checks.begin());
            checks[1].gpu = -40.0f;
            checks[1].difference = 1.99f;
            checks[1].passed = false;
            throw gemm::ReferenceCheckFailed(checks);
        }
        if (const auto ms = medianMsFor.find(target.cudaOrdinal); ms != medianMsFor.end()) {
            BenchmarkResult timed = result;
            for (SeriesTiming& series : timed.series) series = Timing(ms->second);
            timed.median = Timing(ms->second);
            return timed;
        }
        return result;
    }

private:
    void MayThrow(const char* call) const {
        if (throwingCall == call) throw std::runtime_error(std::string(call) + " failed");
    }
    std::shared_ptr<std::mutex> mutex = std::make_shared<std::mutex>();  // guards what the threads record

    struct Resource {
        explicit Resource(ScriptedSystem& s) : system(s) {
            const std::lock_guard lock(*system.mutex);
            system.maxLiveResources = std::max(system.maxLiveResources, ++system.liveResources);
        }
        ~Resource() {
            const std::lock_guard lock(*system.mutex);
            --system.liveResources;
        }
        ScriptedSystem& system;
    };
};

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

// Runs the console runner against the scripted machine.
inline Outcome Cli(ScriptedSystem& system, std::vector<std::string_view> args, bool terminal = false,
                   std::stop_token stop = {}) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunCli(args, system, Console{out, err, terminal}, stop);
    return {code, out.str(), err.str()};
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Keeps a document for the JSON Schema check (json_schema_check.sh) when it asks for them.
inline void KeepForSchemaCheck(const std::string& name, const std::string& document) {
#ifdef _MSC_VER
#pragma warning(suppress : 4996)  // getenv: the value is only read, at once
#endif
    const char* dir = std::getenv("MIVARO_JSON_SAMPLES");
    if (dir != nullptr) {
        std::ofstream(std::string(dir) + "/" + name + ".json", std::ios::binary) << document;
    }
}

}  // namespace cli::testing

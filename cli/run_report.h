#pragma once
// One record of a console run, from which both printers work: the JSON document on
// standard output and the human-readable result.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/clocks.h"
#include "cli/options.h"
#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/text_pair.h"

namespace cli {

inline constexpr int kJsonSchemaVersion = 1;

enum class RunStatus {
    Completed,        // result measured and validated
    Stopped,          // interrupted through the stop token
    Error,            // the backend or discovery failed
    NoCompatibleGpu,  // discovery found no card
    TargetNotReady,   // the chosen card cannot run the benchmark
};

// The run shape that applies to the target (integrated DirectML adapters run a smaller one).
struct RunShape {
    int warmupMultiplications = BenchmarkPlan::warmupMultiplications;
    int seriesCount = BenchmarkPlan::seriesCount;
    int multiplicationsPerSeries = BenchmarkPlan::multiplicationsPerSeries;
};

struct SeriesClock {
    int afterSeries = 0;                // 1..5
    std::optional<ClockSample> sample;  // nullopt when that query failed
};

struct ClockReport {
    bool available = false;
    TextPair unavailableReason;
    std::vector<SeriesClock> samples;  // in series order
};

// Versions as displayed ("13.0", "13.1.0"); empty when unavailable.
struct ComponentVersions {
    std::string cudaRuntime;
    std::string cudaDriver;
    std::string cublas;
    std::string cublasLibraryPath;  // the library actually loaded
};

struct RunReport {
    RunStatus status = RunStatus::Error;
    TextPair message;       // the status-line text: end of run, or why no run happened
    std::string errorText;  // UTF-8 text of the failure (RunStatus::Error)

    std::optional<std::size_t> targetIndex;
    GpuTarget target;           // meaningful with targetIndex
    std::wstring targetItem;    // display name, backend and memory, in the report's language
    std::string pciBusId;       // empty when unknown
    RunShape shape;
    std::wstring configuration; // the configuration label of the target

    bool hasResult = false;
    BenchmarkResult result;
    ClockReport clocks;

    int reference = 1;  // reference-list index; 0 none
    ShowFilter show = ShowFilter::Both;
    Language language = Language::English;

    ComponentVersions components;
};

// The JSON document (schema kJsonSchemaVersion), UTF-8, ending with a line break.
std::string WriteJsonReport(const RunReport& report);

// The result for people, UTF-8, several lines; empty when there is no result.
std::string WriteTextReport(const RunReport& report);

}  // namespace cli

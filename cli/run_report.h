#pragma once
// One record of a console run, from which both printers work: the JSON document on
// standard output and the human-readable result.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/build_info.h"
#include "cli/clock_sampler.h"
#include "cli/clocks.h"
#include "cli/options.h"
#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/text_pair.h"

namespace cli {

inline constexpr int kJsonSchemaVersion = 2;

enum class RunStatus {
    Completed,        // result measured and validated
    Interrupted,      // stopped through the stop token (Ctrl+C, SIGTERM, console closed)
    Error,            // the backend or discovery failed
    NoCompatibleGpu,  // discovery found no card
    TargetNotReady,   // the chosen card cannot run the benchmark
    TargetOutOfRange, // --target names a card number the list does not have
};

// The run shape that applies to the target (integrated DirectML adapters run a smaller one).
struct RunShape {
    int warmupMultiplications = BenchmarkPlan::warmupMultiplications;
    int seriesCount = BenchmarkPlan::seriesCount;
    int multiplicationsPerSeries = BenchmarkPlan::multiplicationsPerSeries;
};

struct ClockReport {
    bool available = false;
    TextPair unavailableReason;
    int intervalMs = 0;                // the sampling interval
    std::vector<SeriesClocks> series;  // in series order
};

// Versions as displayed ("13.0", "13.1.0"); empty when unavailable.
struct ComponentVersions {
    std::string cudaRuntime;        // the CUDA API level this program's runtime layer requests
    std::string cudaDriver;         // the CUDA API level the driver supports
    std::string cublas;
    std::string cublasLibraryPath;  // the library actually loaded
};

// The machine that ran the benchmark; texts empty when unknown.
struct HostInfo {
    std::string osName;     // "Debian GNU/Linux 12 (bookworm)", "Windows"
    std::string osVersion;  // kernel release or Windows build, "6.1.0-18-amd64", "10.0.22631"
    std::string cpuModel;
};

// What the driver and libraries tell about the tested card; empty or 0 when unknown.
struct CardDetails {
    std::string uuid;              // NVML's "GPU-..." text
    std::string driverVersion;     // the display driver's release (NVIDIA: "580.65.06")
    int computeCapabilityMajor = 0;  // CUDA only
    int computeCapabilityMinor = 0;
    int smCount = 0;               // CUDA only
    std::string cudaDriverLibraryPath;
    std::string directMlVersion;   // DirectML.dll's file version
    std::string directMlLibraryPath;
};

struct RunReport {
    BuildInfo tool;
    std::string startedAt;  // UTC, ISO 8601 ("2026-12-09T16:20:52Z")
    HostInfo host;

    RunStatus status = RunStatus::Error;
    TextPair message;       // the status-line text: end of run, or why no run happened
    std::string errorText;  // UTF-8 text of the failure (RunStatus::Error)

    std::optional<std::size_t> targetIndex;
    GpuTarget target;           // meaningful with targetIndex
    std::wstring targetItem;    // display name, backend and memory, in the report's language
    std::string pciBusId;       // empty when unknown
    CardDetails card;
    RunShape shape;
    std::wstring configuration; // the configuration label of the target

    bool hasResult = false;
    BenchmarkResult result;
    // The read-back elements, also for a failed check; empty when the check was not reached.
    std::vector<ElementCheck> checkedElements;
    std::optional<std::uint64_t> inputsHash;
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

// "2026-12-09T16:20:52Z" for a time in seconds since 1970-01-01 UTC.
std::string FormatUtcIso8601(std::int64_t secondsSinceEpoch);

// Sample standard deviation (n - 1) of the five series' times and TFLOPS.
SeriesTiming SeriesStandardDeviation(const BenchmarkResult& result);

}  // namespace cli

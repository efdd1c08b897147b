#pragma once
// The facts of one console run, from which every printer works: the human summary, the JSON
// document and 'compare' (which reads documents back into this record). Nothing in it depends
// on the language of the texts: printers choose their texts from these facts.
//
// A run covers a list of cards; each card's part (its identity, details, result, validation,
// clocks and outcome) is one CardRecord, and the run-wide facts sit beside the list.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands/build_info.h"
#include "cli/commands/options.h"
#include "cli/record/verdict.h"
#include "cli/telemetry/clock_sampler.h"
#include "cli/telemetry/clocks.h"
#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/text_pair.h"

namespace cli {

inline constexpr int kJsonSchemaVersion = 3;

enum class RunStatus {
    Completed,         // result measured and validated
    Interrupted,       // stopped through the stop token (Ctrl+C, SIGTERM, SIGHUP, console closed)
    Error,             // the backend, the check, discovery or another system call failed
    NoCompatibleGpu,   // discovery found no card
    TargetNotReady,    // the chosen card cannot run the benchmark
    TargetOutOfRange,  // --target names a card number the list does not have
};

// The run shape that applies to a card (integrated DirectML adapters run a smaller one).
struct RunShape {
    int warmupMultiplications = BenchmarkPlan::warmupMultiplications;
    int seriesCount = BenchmarkPlan::seriesCount;
    int multiplicationsPerSeries = BenchmarkPlan::multiplicationsPerSeries;

    friend bool operator==(const RunShape&, const RunShape&) = default;
};

// The series a progress report ends and the one it starts, 0 for none: series k spans
// progress k - 1 to progress k, so series 1 includes the warm-up.
struct SeriesBoundary {
    int ended = 0;
    int started = 0;
};
SeriesBoundary SeriesBoundaryAt(int progress);

// The five series and their statistics, computed once.
struct SeriesStatistics {
    SeriesTiming series[BenchmarkPlan::seriesCount] = {};  // in measured order
    SeriesTiming median;                                   // the reported result
    SeriesTiming fastest;                                  // shortest time
    SeriesTiming slowest;                                  // longest time
    SeriesTiming standardDeviation;                        // sample (n - 1), of times and of TFLOPS
};
SeriesStatistics ComputeStatistics(const SeriesTiming (&series)[BenchmarkPlan::seriesCount],
                                   const SeriesTiming& median);

struct ClockRecord {
    ClocksUnavailable unavailable = ClocksUnavailable::NotReached;  // None: sampled
    int nvmlReturnCode = 0;            // with NvmlInitFailed
    int intervalMs = 0;                // the sampling interval
    bool complete = true;              // false when the monitor stopped answering
    std::vector<SeriesClocks> series;  // in series order
};

// Versions as displayed ("13.5", "13.1.0"); empty when unknown.
struct ComponentVersions {
    std::string cudaRuntime;          // the CUDA API level this program's runtime layer reports
    std::string cudaDriver;           // the CUDA API level the driver supports
    std::string cublas;
    std::string cublasLibraryPath;    // the library actually loaded
    std::string cublasLtLibraryPath;  // the cuBLASLt library loaded with it
    std::string cudaDriverLibraryPath;
    std::string directMl;             // DirectML.dll's file version
    std::string directMlLibraryPath;
};

// The machine that ran the benchmark; texts empty when unknown.
struct HostInfo {
    std::string name;       // the host name
    std::string osName;     // "Debian GNU/Linux 12 (bookworm)", "Windows"
    std::string osVersion;  // kernel release or Windows build, "6.1.0-18-amd64", "10.0.22631"
    std::string cpuModel;
};

// What the driver and libraries tell about a card; empty or 0 when unknown.
struct CardDetails {
    std::string uuid;                // the driver's "GPU-..." text (discovery's, else NVML's)
    std::string driverVersion;       // the display driver's release (NVIDIA: "580.65.06")
    int computeCapabilityMajor = 0;  // CUDA only
    int computeCapabilityMinor = 0;
    int smCount = 0;                 // CUDA only
    std::string cudaDriverLibraryPath;
    std::string directMlVersion;     // DirectML.dll's file version
    std::string directMlLibraryPath;
};

// One card's part of a run.
struct CardRecord {
    std::size_t index = 0;  // its number in 'mivaro-cli list'
    GpuTarget target;
    std::string pciBusId;   // empty when unknown
    CardDetails details;
    RunShape shape;

    RunStatus status = RunStatus::Error;  // Completed, Interrupted, Error or TargetNotReady
    std::string errorText;                // UTF-8 failure text (RunStatus::Error)
    std::optional<SeriesStatistics> result;
    // The read-back elements, also for a failed check; empty when the check was not reached.
    std::vector<ElementCheck> checkedElements;
    std::optional<std::uint64_t> inputsHash;
    ClockRecord clocks;
    std::optional<CardVerdict> verdict;  // nullopt until judged, and for a card that did not finish
};

struct RunRecord {
    BuildInfo tool;
    std::int64_t startedAt = 0;  // seconds since 1970-01-01 UTC
    HostInfo host;
    Language language = Language::English;  // of the human output
    std::optional<int> requestedTarget;     // --target N
    bool allTargets = false;                // --target all
    bool concurrent = false;                // --concurrent
    double tolerancePercent = kDefaultTolerancePercent;
    int reference = 1;                      // reference-list index; 0 none
    ShowFilter show = ShowFilter::Both;
    ComponentVersions components;

    RunStatus status = RunStatus::Error;  // of the run as a whole
    std::string errorText;                // a failure outside any card's run
    TextPair discoveryStatus;             // why no card was found (NoCompatibleGpu)
    std::size_t cardsFound = 0;           // the length of the card list
    std::vector<CardRecord> cards;        // the cards the run reached, in list order
};

// Every clock-event reason seen during the card's series.
std::uint64_t EventReasonsSeen(const ClockRecord& clocks);

// The card as the verdict sees it; model: the index of its model in the caller's table.
CardFacts FactsOf(const CardRecord& card, std::size_t model);

// Gives every card of the run its verdict against the other cards of its model in the run.
void JudgeCards(RunRecord& run);

}  // namespace cli

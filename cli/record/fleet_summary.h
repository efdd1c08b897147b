#pragma once
// 'summary': the cards of any number of result documents, from one machine or many, pooled
// by model. Documents are added one at a time and only what the summary prints is kept, so
// thousands of documents take little memory; a file that is not a readable document is kept
// with the reason. The verdicts judge each card against the median of its model across the
// whole set.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/record/run_record.h"
#include "cli/record/verdict.h"

namespace cli {

// One card of the set.
struct FleetCard {
    std::size_t document = 0;  // index into FleetRecord::documents
    std::size_t model = 0;     // index into FleetRecord::models
    std::size_t index = 0;     // its number in its machine's list
    std::string pciBusId;      // empty when unknown
    std::string uuid;
    RunStatus status = RunStatus::Error;
    double medianMs = 0.0;  // of a completed card
    std::uint64_t eventReasons = 0;
    std::string errorText;  // its beginning, as it arrived
    std::optional<CardVerdict> verdict;  // set by JudgeFleet
};

// A readable document: its file and the machine that wrote it.
struct FleetDocument {
    std::string path;
    std::string host;  // empty when the document does not say (schema 2)
};

// A document whose run reached no card: no compatible GPU, a card that was not ready, or a
// failure or stop before any card ran.
struct RunWithoutCard {
    std::size_t document = 0;
    RunStatus status = RunStatus::Error;
    std::string errorText;  // its beginning, as it arrived
};

struct UnreadableFile {
    std::string path;
    std::string reason;  // as the reader gave it, not yet safe for a terminal
};

struct FleetRecord {
    double tolerancePercent = kDefaultTolerancePercent;
    std::vector<FleetDocument> documents;
    std::size_t hostCount = 0;  // distinct host names among the documents
    ModelTable models;
    std::vector<ModelTimes> times;  // per model, set by JudgeFleet
    std::vector<FleetCard> cards;
    std::vector<RunWithoutCard> runsWithoutCards;
    std::vector<UnreadableFile> unreadable;
};

// Keeps what the summary needs of a document read into a run record.
void AddDocument(FleetRecord& fleet, const std::string& path, const RunRecord& run);

// Reads a file's bytes as a document and adds it, or keeps it as unreadable with the reason.
void AddFile(FleetRecord& fleet, const std::string& path, const std::optional<std::string>& bytes);

// Gives every card its verdict against its model's median across the set.
void JudgeFleet(FleetRecord& fleet);

// UsageError when nothing could be read; BenchmarkError when a card failed, a run failed or
// was interrupted, or a file could not be read; NoCompatibleGpu when a run found no card to
// measure; SlowOrThrottled when a card is slow or throttled; Success otherwise.
ExitCode FleetExitCode(const FleetRecord& fleet);

}  // namespace cli

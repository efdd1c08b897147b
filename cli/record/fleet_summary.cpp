#include "cli/record/fleet_summary.h"

#include <algorithm>
#include <exception>
#include <set>

#include "cli/formats/document_reader.h"
#include "cli/formats/json_reader.h"

namespace cli {
namespace {

// The beginning of a failure text, cut where a character begins: thousands of documents may
// each carry a long one.
std::string Beginning(const std::string& text) {
    constexpr std::size_t kKept = 240;
    if (text.size() <= kKept) return text;
    std::size_t end = kKept;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end) + "...";
}

}  // namespace

void AddDocument(FleetRecord& fleet, const std::string& path, const RunRecord& run) {
    const std::size_t document = fleet.documents.size();
    fleet.documents.push_back({path, run.host.name});
    if (run.cards.empty() || run.status == RunStatus::TargetNotReady) {
        fleet.runsWithoutCards.push_back({document, run.status, Beginning(run.errorText)});
        return;
    }
    for (const CardRecord& card : run.cards) {
        FleetCard& kept = fleet.cards.emplace_back();
        kept.document = document;
        kept.model = fleet.models.IndexOf(card.target.name, card.target.dedicatedMemoryBytes);
        kept.index = card.index;
        kept.pciBusId = card.pciBusId;
        kept.uuid = card.details.uuid;
        kept.status = card.status;
        const CardFacts facts = FactsOf(card, kept.model);
        kept.medianMs = facts.medianMs;
        kept.eventReasons = facts.eventReasons;
        kept.errorText = Beginning(card.errorText);
    }
}

void AddFile(FleetRecord& fleet, const std::string& path, const std::optional<std::string>& bytes) {
    if (!bytes) {
        fleet.unreadable.push_back({path, "cannot be read"});
    } else if (bytes->size() > json::kMaxDocumentBytes) {
        fleet.unreadable.push_back({path, "is larger than 16 MiB; a result document is a few kilobytes"});
    } else {
        try {
            AddDocument(fleet, path, ReadRunDocument(DecodeDocumentText(*bytes)));
        } catch (const std::exception& error) {
            fleet.unreadable.push_back({path, error.what()});
        }
    }
}

void JudgeFleet(FleetRecord& fleet) {
    std::vector<CardFacts> facts;
    facts.reserve(fleet.cards.size());
    for (const FleetCard& card : fleet.cards) {
        const CardEnd end = card.status == RunStatus::Completed ? CardEnd::Completed
                            : card.status == RunStatus::Error   ? CardEnd::Failed
                                                                : CardEnd::Unfinished;
        facts.push_back({card.model, end, card.medianMs, card.eventReasons});
    }
    fleet.times = TimesByModel(facts, fleet.models.size());
    for (std::size_t i = 0; i < fleet.cards.size(); ++i) {
        fleet.cards[i].verdict = Judge(facts[i], fleet.times[facts[i].model], fleet.tolerancePercent);
    }
    std::set<std::string> hosts;
    for (const FleetDocument& document : fleet.documents) {
        if (!document.host.empty()) hosts.insert(document.host);
    }
    fleet.hostCount = hosts.size();
}

ExitCode FleetExitCode(const FleetRecord& fleet) {
    if (fleet.documents.empty()) return ExitCode::UsageError;
    const auto cardsAre = [&](auto&& test) { return std::any_of(fleet.cards.begin(), fleet.cards.end(), test); };
    const auto runsAre = [&](std::initializer_list<RunStatus> statuses) {
        return std::any_of(fleet.runsWithoutCards.begin(), fleet.runsWithoutCards.end(), [&](const RunWithoutCard& run) {
            return std::find(statuses.begin(), statuses.end(), run.status) != statuses.end();
        });
    };
    if (!fleet.unreadable.empty() || runsAre({RunStatus::Error, RunStatus::Interrupted}) ||
        cardsAre([](const FleetCard& card) { return !card.verdict || card.verdict->verdict == Verdict::Failed; })) {
        return ExitCode::BenchmarkError;
    }
    if (runsAre({RunStatus::NoCompatibleGpu, RunStatus::TargetNotReady, RunStatus::TargetOutOfRange})) {
        return ExitCode::NoCompatibleGpu;
    }
    if (cardsAre([](const FleetCard& card) { return card.verdict->verdict != Verdict::Ok; })) {  // slow, throttled
        return ExitCode::SlowOrThrottled;
    }
    return ExitCode::Success;
}

}  // namespace cli

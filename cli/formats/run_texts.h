#pragma once
// The texts that the printers choose from a run's facts, in both languages.

#include <string>

#include "cli/record/run_record.h"
#include "core/gpu_target.h"
#include "core/text_pair.h"

namespace cli {

// One card as the target list shows it: display name, backend, memory.
std::wstring CardItemText(const GpuTarget& target, Language language);

// The status-line text of how the run ended: the window's end texts, or why no card ran.
// Texts from outside (failure texts, card names) are as they arrived, not yet made safe for a
// terminal.
TextPair OutcomeText(const RunRecord& run);

// A card's verdict as a word or two: "ok", "slow", "throttled", "failed".
TextPair VerdictText(Verdict verdict);

// The verdict column of a card: its verdicts ("slow, throttled"), or how its run ended when it
// has none ("interrupted").
TextPair CardVerdictText(const CardRecord& card);

// A card without a verdict: interrupted, or never run because it was not ready.
TextPair UnfinishedCardText(RunStatus status);

// What makes a card not ok, after its verdict's word: how much slower than its model's median,
// which slowdown reasons, or the failure text (as it arrived, not yet safe for a terminal).
// Empty for an ok card.
std::wstring VerdictDetail(const CardVerdict& verdict, double medianMs, const std::string& errorText,
                           Language language);

// Why a card's clocks were not sampled, or empty when they were.
TextPair ClocksUnavailableText(const ClockRecord& clocks, const std::string& pciBusId);

}  // namespace cli

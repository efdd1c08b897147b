#pragma once
// The texts that the printers choose from a run's facts, in both languages.

#include <string>

#include "cli/run_record.h"
#include "core/gpu_target.h"
#include "core/text_pair.h"

namespace cli {

// One card as the target list shows it: display name, backend, memory.
std::wstring CardItemText(const GpuTarget& target, Language language);

// The status-line text of how the run ended: the window's end texts, or why no card ran.
// Texts from outside (failure texts, card names) are as they arrived, not yet made safe for a
// terminal.
TextPair OutcomeText(const RunRecord& run);

// Why a card's clocks were not sampled, or empty when they were.
TextPair ClocksUnavailableText(const ClockRecord& clocks, const std::string& pciBusId);

}  // namespace cli

#pragma once
// The run for people, in the record's language: the result of a completed card, or the one
// line that says how the run ended. Texts from outside are made safe for the terminal.

#include <string>

#include "cli/run_record.h"

namespace cli {

// A completed card's result, UTF-8, several lines.
std::string PrintCardSummary(const RunRecord& run, const CardRecord& card);

// The status-line text of how the run ended, UTF-8, with its line break.
std::string PrintOutcomeLine(const RunRecord& run);

}  // namespace cli

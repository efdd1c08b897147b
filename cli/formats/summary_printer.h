#pragma once
// The run for people, in the record's language: the result of a completed card or the table
// of all cards, the cards that are not ok, and the one line that says how the run ended. Texts from outside are made safe for the terminal.

#include <string>

#include "cli/record/run_record.h"

namespace cli {

// A completed card's result, UTF-8, several lines.
std::string PrintCardSummary(const RunRecord& run, const CardRecord& card);

// The cards of a run over every card, one line each: number, card, median time, TFLOPS and
// verdict. UTF-8, with a header line.
std::string PrintCardsTable(const RunRecord& run);

// One line for each card that is not ok, with what makes it so and the card's PCI bus id and
// UUID; for a run of one card, only when it completed (a failure has its outcome line).
std::string PrintVerdictLines(const RunRecord& run);

// The status-line text of how the run ended, UTF-8, with its line break.
std::string PrintOutcomeLine(const RunRecord& run);

}  // namespace cli

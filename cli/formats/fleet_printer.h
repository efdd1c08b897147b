#pragma once
// The summary of a set of documents for people, in the given language: the models with their
// times, the cards that are not ok by host, PCI bus id and UUID, the runs that reached no
// card and the files that could not be read. Texts from outside are made safe for the
// terminal.

#include <string>

#include "cli/record/fleet_summary.h"
#include "core/text_pair.h"

namespace cli {

// UTF-8, several lines; the record has been judged.
std::string PrintFleetSummary(const FleetRecord& fleet, Language language);

}  // namespace cli

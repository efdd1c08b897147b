#pragma once
// The summary of a set of documents as a JSON document of its own (docs/summary.schema.json):
// the models with their times and every card that is not ok, the runs that reached no card
// and the files that could not be read. Nothing in it depends on the language.

#include <string>

#include "cli/commands/build_info.h"
#include "cli/record/fleet_summary.h"

namespace cli {

inline constexpr int kSummarySchemaVersion = 1;

// The record has been judged.
std::string WriteFleetDocument(const FleetRecord& fleet, const BuildInfo& tool);

}  // namespace cli

#pragma once
// The run as a JSON document (schema kJsonSchemaVersion, docs/result.schema.json). The same
// run gives the same document whatever the display language, apart from the field that names
// that language; the few texts it holds are English.

#include <cstdint>
#include <string>

#include "cli/record/run_record.h"

namespace cli {

// UTF-8, ending with a line break.
std::string WriteJsonDocument(const RunRecord& run);

// The document's name of a status: "completed", "interrupted", "error", "noCompatibleGpu",
// "targetNotReady", "targetOutOfRange".
const char* RunStatusName(RunStatus status);

// "2026-12-09T16:20:52Z" for a time in seconds since 1970-01-01 UTC.
std::string FormatUtcIso8601(std::int64_t secondsSinceEpoch);

}  // namespace cli

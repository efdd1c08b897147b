#pragma once
// Status-line texts of a benchmark run: start, progress and end.

#include <cstdint>
#include <string_view>

#include "core/text_pair.h"

TextPair PreparingStatus();

// The text for a progress report: 0 is the warm-up, k > 0 is "k of 5 series measured".
TextPair ProgressStatus(std::uint64_t value);

TextPair CompletedStatus();
TextPair StoppedStatus();

// A failed run; the exception text arrives as UTF-8 and is shown after the prefix.
TextPair BenchmarkErrorStatus(std::string_view utf8What);

// The worker thread could not be started.
TextPair StartFailedStatus(std::string_view utf8What);

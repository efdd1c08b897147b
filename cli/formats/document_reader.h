#pragma once
// Result documents read back into the run record, for 'compare' and 'summary': schema versions
// 2 and 3, in
// any encoding a shell or an editor writes them.

#include <string>
#include <string_view>

#include "cli/record/run_record.h"

namespace cli {

// The document's text as UTF-8: UTF-8 with or without a byte-order mark, or UTF-16 with one.
// Anything else throws std::runtime_error naming what was found.
std::string DecodeDocumentText(std::string_view bytes);

// The facts of a document: the host's name and the cards with their target, shape, outcome,
// result, inputs hash and the clock-event reasons of each series. Throws std::runtime_error with the reason a text is not a
// document this program reads; texts are as they were written, not yet safe for a terminal.
RunRecord ReadRunDocument(std::string_view utf8);

}  // namespace cli

#pragma once
// Command-line options of mivaro-cli and their parsing. Parsing is pure: it never touches
// the system, so every rule is tested natively.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_pair.h"

namespace cli {

enum class Command { Run, List, Compare, Summary, Help, Version };

// Which reference measurements the comparison covers; values are the window's filter indexes.
enum class ShowFilter : int { Both = 0, BeforeOnly = 1, AfterOnly = 2 };

inline constexpr double kDefaultTolerancePercent = 10.0;

struct Options {
    Command command = Command::Run;
    std::optional<int> target;  // index into the discovered list; default: first ready card
    bool allTargets = false;    // --target all: every ready card
    bool concurrent = false;    // with allTargets: all cards at the same time
    double tolerancePercent = kDefaultTolerancePercent;  // how far above its model's median a card is slow
    int reference = 1;          // 0: no reference, 1..5: reference row + 1 (as the window's list)
    ShowFilter show = ShowFilter::Both;
    Language language = Language::English;
    bool json = false;                      // the document on standard output
    std::optional<std::string> outputFile;  // the document in this file, UTF-8
    std::vector<std::string> compareFiles;  // Compare: the two documents, in order
    std::vector<std::string> summaryPaths;  // Summary: documents and folders, in order
};

struct ParseOutcome {
    std::optional<Options> options;  // set when parsing succeeded
    std::string error;               // one line, set when it did not
};

// args excludes the program name.
ParseOutcome ParseOptions(const std::vector<std::string_view>& args);

// The text printed for --help.
std::string UsageText();

}  // namespace cli

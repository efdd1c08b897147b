#pragma once
// The console runner's flow: options, discovery, then listing, comparing or one run, with its
// progress on standard error, its result on standard output and its document where asked.
// Returns the process exit code; no failure after option parsing escapes it.

#include <ostream>
#include <stop_token>
#include <string_view>
#include <vector>

#include "cli/system.h"

namespace cli {

struct Console {
    std::ostream& out;       // results, JSON
    std::ostream& err;       // progress, errors, usage
    bool errIsTerminal = false;
};

// args excludes the program name. stopToken is the interrupt's stop request.
int RunCli(const std::vector<std::string_view>& args, System& system, Console console,
           std::stop_token stopToken);

}  // namespace cli

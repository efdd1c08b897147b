#pragma once
// The console runner's flow: options, discovery, listing or one run, its progress on
// standard error and its result on standard output. Returns the process exit code.

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

// One card as the target list shows it: display name, backend, memory.
std::wstring TargetItemText(const GpuTarget& target, Language language);

}  // namespace cli

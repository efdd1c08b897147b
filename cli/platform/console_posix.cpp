#include "cli/platform/console.h"

#include <csignal>

#include <unistd.h>

namespace cli {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void LetWritesToClosedPipesFail() { std::signal(SIGPIPE, SIG_IGN); }

// Terminals here take UTF-8 as it is.
Utf8ConsoleOutput::Utf8ConsoleOutput() = default;
Utf8ConsoleOutput::~Utf8ConsoleOutput() = default;

}  // namespace cli

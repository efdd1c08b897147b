// mivaro-cli: the benchmark for consoles and scripts, on Linux and Windows.
#include <iostream>
#include <stop_token>
#include <string_view>
#include <vector>

#include "cli/app.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/real_system.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    cli::LetWritesToClosedPipesFail();
    const cli::Utf8ConsoleOutput utf8Console;
    cli::RealSystem system;
    std::stop_source stop;
    const cli::InterruptHandler interrupt(stop);
    return cli::RunCli(args, system, {std::cout, std::cerr, cli::StandardErrorIsTerminal()}, stop.get_token());
}

// mivaro-cli: the benchmark for consoles and scripts, on Linux and Windows.
#include <exception>
#include <iostream>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "cli/app.h"
#include "cli/formats/terminal_text.h"
#include "cli/platform/console.h"
#include "cli/platform/interrupt.h"
#include "cli/real_system.h"

#ifdef _WIN32
#include "core/system_library.h"
#include "core/utf8.h"

// The wide entry point: narrow arguments arrive in the ANSI code page, which cannot hold every
// file name (a Cyrillic user folder under an English locale); the runner works in UTF-8.
int wmain(int argc, wchar_t** argv) {
    system_library::SearchSystemDirectoryOnly();
    std::vector<std::string> utf8Args;
    for (int i = 1; i < argc; ++i) utf8Args.push_back(WideToUtf8(argv[i]));
    const std::vector<std::string_view> args(utf8Args.begin(), utf8Args.end());
#else
int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
#endif
    // Nothing may reach std::terminate: its abort() would exit with a code that means
    // something else.
    try {
        cli::LetWritesToClosedPipesFail();
        const cli::Utf8ConsoleOutput utf8Console;
        cli::RealSystem system;
        std::stop_source stop;
        const cli::InterruptHandler interrupt(stop);
        return cli::RunCli(args, system, {std::cout, std::cerr, cli::StandardErrorIsTerminal()}, stop.get_token());
    } catch (const std::exception& error) {
        std::cerr << "mivaro-cli: " << cli::TerminalText(error.what()) << '\n';
    } catch (...) {
        std::cerr << "mivaro-cli: unexpected failure\n";
    }
    return 1;
}

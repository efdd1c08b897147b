#pragma once
// Exit codes of mivaro-cli; documented in the README and kept stable for scripts. Each code
// means one thing.

namespace cli {

enum class ExitCode : int {
    Success = 0,          // listing printed with a ready card, help or version shown, run completed
                          // and validated, or two documents compared
    BenchmarkError = 1,   // the run or discovery failed ("Benchmark error: ...")
    UsageError = 2,       // unknown or malformed option, conflicting options, card number out of
                          // range, or documents 'compare' cannot read or set side by side
    NoCompatibleGpu = 3,  // no card that can run the benchmark, or the chosen card is not ready
    OutputError = 4,      // standard output could not be written (a full disk, a closed pipe)
    Interrupted = 130,    // stopped by Ctrl+C, SIGTERM or a closed console (128 + SIGINT)
};

constexpr int ToInt(ExitCode code) { return static_cast<int>(code); }

}  // namespace cli

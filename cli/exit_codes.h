#pragma once
// Exit codes of mivaro-cli; documented in the README and kept stable for scripts. Each code
// means one thing.

namespace cli {

enum class ExitCode : int {
    Success = 0,          // listing printed with a ready card, help or version shown, run completed
                          // and validated with every card ok, two documents compared, or a
                          // summary of healthy cards
    BenchmarkError = 1,   // the run, a card or discovery failed ("Benchmark error: ..."); for a
                          // summary: a document shows a failure or could not be read
    UsageError = 2,       // unknown or malformed option, conflicting options, card number out of
                          // range, documents 'compare' cannot read or set side by side, or no
                          // document 'summary' could read
    NoCompatibleGpu = 3,  // no card that can run the benchmark, or the chosen card is not ready
    OutputError = 4,      // standard output could not be written (a full disk, a closed pipe)
    SlowOrThrottled = 5,  // every card completed, but at least one is slow or throttled
    Interrupted = 130,    // stopped by Ctrl+C, SIGTERM or a closed console (128 + SIGINT)
};

constexpr int ToInt(ExitCode code) { return static_cast<int>(code); }

}  // namespace cli

#pragma once
// Exit codes of mivaro-cli; documented in the README and kept stable for scripts.

namespace cli {

enum class ExitCode : int {
    Success = 0,          // listing printed with a ready card, help shown, or run completed and validated
    BenchmarkError = 1,   // the run or discovery failed ("Benchmark error: ...")
    UsageError = 2,       // unknown or malformed option, conflicting options, index out of range
    NoCompatibleGpu = 3,  // no card that can run the benchmark, or the chosen card is not ready
    Interrupted = 130,    // stopped by Ctrl+C (128 + SIGINT, as shells report it)
};

constexpr int ToInt(ExitCode code) { return static_cast<int>(code); }

}  // namespace cli

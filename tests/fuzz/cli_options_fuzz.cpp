// The console runner's arguments; the input holds them separated by NUL bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "cli/commands/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> args;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        args.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }

    const cli::ParseOutcome outcome = cli::ParseOptions(args);
    // Either options or one line of error, never both or neither.
    if (outcome.options.has_value() == !outcome.error.empty()) std::abort();
    if (outcome.error.find_first_of("\r\n") != std::string::npos) std::abort();
    if (outcome.options) {
        const cli::Options& options = *outcome.options;
        if (options.reference < 0 || options.reference > 5) std::abort();
        if (options.target && *options.target < 0) std::abort();
    }
    return 0;
}

#include "cli/commands/options.h"

#include <charconv>
#include <set>

#include "cli/formats/terminal_text.h"
#include "presentation/reference.h"

namespace cli {
namespace {

constexpr int kReferenceRows = static_cast<int>(kReferenceMeasurements.size());

std::optional<int> ParseIndex(std::string_view text) {
    int value = 0;
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return std::nullopt;  // no sign, no blank, no empty value
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// A percentage from 0 to 100 in plain decimal digits ("10", "7.5"); no sign, no exponent.
std::optional<double> ParsePercent(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos || text.front() == '.') {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value > 100.0) return std::nullopt;
    return value;
}

const char* CommandName(Command command) {
    switch (command) {
        case Command::Run: return "run";
        case Command::List: return "list";
        case Command::Compare: return "compare";
        case Command::Summary: return "summary";
        case Command::Help:
        case Command::Version: break;
    }
    return "";
}

// Which options each command takes: every option a run; the language also 'list'; the
// document and the tolerance also 'summary'; 'compare' none.
bool Applies(std::string_view option, Command command) {
    switch (command) {
        case Command::Run: return true;
        case Command::List: return option == "--lang";
        case Command::Summary:
            return option == "--lang" || option == "--json" || option == "--output" || option == "--tolerance";
        case Command::Compare:
        case Command::Help:
        case Command::Version: break;
    }
    return false;
}

// An argument as an error echoes it: safe for the terminal and cut to fit on a line.
std::string Quoted(std::string_view text) {
    constexpr std::size_t kShownCharacters = 40;
    return QuotedTerminalText(text, kShownCharacters);
}

}  // namespace

ParseOutcome ParseOptions(const std::vector<std::string_view>& args) {
    Options options;
    std::optional<Command> command;
    std::set<std::string, std::less<>> seen;
    bool help = false;
    bool version = false;
    const auto fail = [](std::string message) { return ParseOutcome{std::nullopt, std::move(message)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "-h" || arg == "--help") {
            help = true;
            continue;
        }
        if (arg == "--version") {
            version = true;
            continue;
        }
        if (!arg.starts_with("-")) {
            if (command == Command::Compare && options.compareFiles.size() < 2) {
                options.compareFiles.emplace_back(arg);
                continue;
            }
            if (command == Command::Summary) {
                options.summaryPaths.emplace_back(arg);
                continue;
            }
            if (command) {
                return fail("unexpected argument " + Quoted(arg) + " after the command");
            }
            if (arg == "run") {
                command = Command::Run;
            } else if (arg == "list") {
                command = Command::List;
            } else if (arg == "compare") {
                command = Command::Compare;
            } else if (arg == "summary") {
                command = Command::Summary;
            } else {
                return fail("unknown command " + Quoted(arg) + " (expected 'run', 'list', 'compare' or 'summary')");
            }
            continue;
        }

        // --name=value or --name value
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const auto eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const bool takesValue = name == "--target" || name == "--reference" || name == "--show" ||
                                name == "--lang" || name == "--output" || name == "--tolerance";
        if (!takesValue && name != "--json" && name != "--concurrent") {
            return fail("unknown option " + Quoted(name));
        }
        if (!seen.insert(std::string(name)).second) {
            return fail("option " + Quoted(name) + " given more than once");
        }
        if (!takesValue) {
            if (value) {
                return fail("option " + Quoted(name) + " takes no value");
            }
            (name == "--json" ? options.json : options.concurrent) = true;
            continue;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                return fail("option " + Quoted(name) + " needs a value");
            }
            value = args[++i];
        }

        if (name == "--target") {
            if (*value == "all") {
                options.allTargets = true;
                continue;
            }
            const auto index = ParseIndex(*value);
            if (!index) {
                return fail("--target needs a card number as shown by 'list' or 'all', not " + Quoted(*value));
            }
            options.target = *index;
        } else if (name == "--reference") {
            const auto index = ParseIndex(*value);
            if (!index || *index > kReferenceRows) {
                return fail("--reference needs a number from 0 (none) to " +
                            std::to_string(kReferenceRows) + ", not " + Quoted(*value));
            }
            options.reference = *index;
        } else if (name == "--show") {
            if (*value == "both") {
                options.show = ShowFilter::Both;
            } else if (*value == "before") {
                options.show = ShowFilter::BeforeOnly;
            } else if (*value == "after") {
                options.show = ShowFilter::AfterOnly;
            } else {
                return fail("--show needs 'both', 'before' or 'after', not " + Quoted(*value));
            }
        } else if (name == "--tolerance") {
            const auto percent = ParsePercent(*value);
            if (!percent) {
                return fail("--tolerance needs a percentage from 0 to 100, such as 10 or 7.5, not " + Quoted(*value));
            }
            options.tolerancePercent = *percent;
        } else if (name == "--output") {
            if (value->empty()) {
                return fail("--output needs a file name");
            }
            options.outputFile = std::string(*value);
        } else {  // --lang
            if (*value == "en") {
                options.language = Language::English;
            } else if (*value == "ru") {
                options.language = Language::Russian;
            } else {
                return fail("--lang needs 'en' or 'ru', not " + Quoted(*value));
            }
        }
    }

    if (help || version) {
        options.command = help ? Command::Help : Command::Version;
        return {options, {}};
    }
    options.command = command.value_or(Command::Run);
    if (options.command == Command::Compare && options.compareFiles.size() != 2) {
        return fail("'compare' needs two JSON documents: mivaro-cli compare FIRST.json SECOND.json");
    }
    if (options.command == Command::Summary && options.summaryPaths.empty()) {
        return fail("'summary' needs result documents or folders: mivaro-cli summary PATH...");
    }
    for (const std::string& option : seen) {
        if (!Applies(option, options.command)) {
            return fail("option " + Quoted(option) + " does not apply to '" + CommandName(options.command) + "'");
        }
    }
    if (options.concurrent && !options.allTargets) {
        return fail("--concurrent needs '--target all'");
    }
    if (options.reference == 0 && seen.contains("--show")) {
        return fail("--show needs a reference; '--reference 0' selects none");
    }
    if (options.show == ShowFilter::AfterOnly && options.reference > 0 &&
        !kReferenceMeasurements[static_cast<std::size_t>(options.reference - 1)].hasAfter) {
        return fail("--show after: reference " + std::to_string(options.reference) +
                    " has no measurement after removing limits");
    }
    return {options, {}};
}

std::string UsageText() {
    return "Usage: mivaro-cli [run] [--target N|all [--concurrent]] [--reference N]\n"
           "                  [--show both|before|after] [--tolerance PCT] [--lang en|ru]\n"
           "                  [--json] [--output FILE]\n"
           "       mivaro-cli list [--lang en|ru]\n"
           "       mivaro-cli compare FIRST.json SECOND.json\n"
           "       mivaro-cli summary PATH... [--tolerance PCT] [--lang en|ru] [--json] [--output FILE]\n"
           "       mivaro-cli --help | --version\n"
           "\n"
           "Measures FP16 8192 x 8192 matrix multiplication (FP32 accumulation) on graphics cards,\n"
           "validates the product and compares the result with a reference measurement.\n"
           "\n"
           "Commands:\n"
           "  run                  run the benchmark (the default command)\n"
           "  list                 list the graphics cards found, with their numbers and readiness,\n"
           "                       and the state of the CUDA components\n"
           "  compare A B          set two --json results side by side: card, median time and\n"
           "                       TFLOPS, the difference, and whether plans and inputs match\n"
           "  summary PATH...      pool result documents (files, or folders searched for *.json)\n"
           "                       from any number of machines: per model of card the count and\n"
           "                       the minimum, median and maximum time, and every card that is\n"
           "                       slow, throttled or failed, by host, PCI bus id and UUID\n"
           "\n"
           "Options:\n"
           "  --target N           card to test, by its number in 'list' (default: first ready card)\n"
           "  --target all         every ready card, one after another\n"
           "  --concurrent         with --target all: every card at the same time, each on a\n"
           "                       thread of its own, as real work loads a machine\n"
           "  --tolerance PCT      a card is slow when its median time is more than PCT percent\n"
           "                       above the median of the cards of its model (default 10)\n"
           "  --reference N        reference to compare with: 0 none, 1 to 5 a reference row\n"
           "                       (default 1; 'list' shows the rows)\n"
           "  --show WHICH         reference measurements to compare with: both (default),\n"
           "                       before or after removing limits\n"
           "  --lang en|ru         language of the texts on the terminal (default en)\n"
           "  --json               write the result as one JSON document to standard output\n"
           "                       (the human summary then goes to standard error)\n"
           "  --output FILE        write the JSON document to FILE as UTF-8, whole or not at all,\n"
           "                       also when the run fails or is interrupted\n"
           "  -h, --help           show this help\n"
           "  --version            show the version, platform and compiler of this build\n"
           "\n"
           "Exit codes: 0 success and every card ok, 1 benchmark or other error (a card failed),\n"
           "2 usage error or unusable 'compare' input (or no document 'summary' could read),\n"
           "3 no compatible GPU, 4 the output could not be written, 5 a card is slow or throttled,\n"
           "130 interrupted (Ctrl+C, SIGTERM, SIGHUP, console closed).\n";
}

}  // namespace cli

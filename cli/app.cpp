#include "cli/app.h"

#include <exception>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>

#include "cli/build_info.h"
#include "cli/clock_sampler.h"
#include "cli/compare.h"
#include "cli/exit_codes.h"
#include "cli/json_document.h"
#include "cli/json_reader.h"
#include "cli/list_printer.h"
#include "cli/options.h"
#include "cli/progress_display.h"
#include "cli/summary_printer.h"
#include "cli/terminal_text.h"
#include "core/input_matrices.h"
#include "core/utf8.h"
#include "presentation/run_shape.h"
#include "presentation/run_status.h"

namespace cli {
namespace {

RunShape ShapeFor(const GpuTarget& target) {
    // Integrated DirectML adapters split each multiplication into row blocks and run fewer.
    if (target.backend == BackendKind::DirectMl && target.integrated) {
        return {kIntegratedWarmupMultiplications, BenchmarkPlan::seriesCount, kIntegratedMultiplicationsPerSeries};
    }
    return {};
}

int UsageError(Console& console, const std::string& message) {
    console.err << "mivaro-cli: " << message << " (see 'mivaro-cli --help')\n";
    return ToInt(ExitCode::UsageError);
}

// Flushes standard output and turns a failed write into its own exit code: a result that
// never reached its file or pipe must not look like success.
int Delivered(Console& console, int code) {
    console.out.flush();
    if (console.out.fail()) {
        console.err << "mivaro-cli: the output could not be written (disk full or pipe closed)\n";
        return ToInt(ExitCode::OutputError);
    }
    return code;
}

int Stopped(Console& console, Language language) {
    console.err << WideToUtf8(StoppedStatus().Get(language)) << '\n';
    return ToInt(ExitCode::Interrupted);
}

ExitCode CodeFor(RunStatus status) {
    switch (status) {
        case RunStatus::Completed: return ExitCode::Success;
        case RunStatus::Interrupted: return ExitCode::Interrupted;
        case RunStatus::Error: return ExitCode::BenchmarkError;
        case RunStatus::NoCompatibleGpu:
        case RunStatus::TargetNotReady: return ExitCode::NoCompatibleGpu;
        case RunStatus::TargetOutOfRange: return ExitCode::UsageError;
    }
    return ExitCode::BenchmarkError;
}

// The run as it stands, interrupted: what --output holds from the moment a stop is requested
// until the run has ended (a closing console gives the process only a few seconds). It runs
// in a stop callback, which must not throw; the run's end writes the document again anyway.
void WriteInterruptedDocument(System& system, const std::string& path, const RunRecord& run,
                              std::mutex& recordMutex) noexcept {
    try {
        RunRecord interrupted;
        {
            const std::lock_guard lock(recordMutex);
            interrupted = run;
        }
        interrupted.status = RunStatus::Interrupted;
        for (CardRecord& card : interrupted.cards) {
            if (card.status != RunStatus::TargetNotReady) card.status = RunStatus::Interrupted;
        }
        system.WriteFileReplacing(path, WriteJsonDocument(interrupted));
    } catch (...) {
    }
}

// Measures one ready card into its record; every failure of the system layer ends as the
// card's error.
void MeasureCard(System& system, RunRecord& run, CardRecord& card, const Options& options, Console& console,
                 std::stop_token stopToken) {
    ProgressDisplay progress(console.err, console.errIsTerminal);
    progress.Show(WideToUtf8(PreparingStatus().Get(options.language)));
    std::optional<ClockSampler> sampler;  // never waits long for a query that hangs
    try {
        card.pciBusId = system.PciBusId(card.target);
        card.details = system.Details(card.target);
        run.components.cudaDriverLibraryPath = card.details.cudaDriverLibraryPath;
        run.components.directMl = card.details.directMlVersion;
        run.components.directMlLibraryPath = card.details.directMlLibraryPath;
        ClockAccess clocks = system.OpenClocks(card.target, card.pciBusId);
        card.clocks.unavailable = clocks.unavailable;
        card.clocks.nvmlReturnCode = clocks.nvmlReturnCode;
        card.clocks.intervalMs = static_cast<int>(system.ClockSampleInterval().count());
        card.details.uuid = clocks.uuid;
        card.details.driverVersion = clocks.driverVersion;
        if (clocks.monitor) sampler.emplace(std::move(clocks.monitor), system.ClockSampleInterval());

        BenchmarkResult result;
        {
            std::mutex recordMutex;  // the clock series, between the run and a stop request
            std::optional<std::stop_callback<std::function<void()>>> onStop;
            if (options.outputFile) {
                onStop.emplace(stopToken,
                               [&] { WriteInterruptedDocument(system, *options.outputFile, run, recordMutex); });
            }
            const gemm::ProgressCallback onProgress = [&](int value) {
                if (sampler) {
                    const SeriesBoundary boundary = SeriesBoundaryAt(value);
                    if (boundary.ended > 0) {
                        SeriesClocks ended = sampler->End();
                        const std::lock_guard lock(recordMutex);
                        card.clocks.series.push_back(std::move(ended));
                    }
                    if (boundary.started > 0) sampler->Begin(boundary.started);
                }
                progress.Show(WideToUtf8(ProgressStatus(static_cast<std::uint64_t>(value)).Get(options.language)));
            };
            result = system.Run(card.target, stopToken, onProgress);
        }
        card.status = RunStatus::Completed;
        card.result = ComputeStatistics(result.series, result.median);
        card.checkedElements.assign(std::begin(result.checkedElements), std::end(result.checkedElements));
        card.inputsHash = result.inputsHash;
    } catch (const gemm::Cancelled&) {
        card.status = RunStatus::Interrupted;
    } catch (const gemm::ReferenceCheckFailed& error) {
        card.status = RunStatus::Error;
        card.errorText = error.what();
        card.checkedElements.assign(error.Elements().begin(), error.Elements().end());
    } catch (const std::exception& error) {
        card.status = RunStatus::Error;
        card.errorText = error.what();
    } catch (...) {
        card.status = RunStatus::Error;
        card.errorText = "unexpected failure";
    }
    if (sampler) card.clocks.complete = !sampler->Stalled();
}

// Chooses the card, and measures it when it is ready.
void RunOnCard(System& system, const DiscoveredSystem& found, RunRecord& run, const Options& options,
               Console& console, std::stop_token stopToken) {
    run.components = found.components;
    run.cardsFound = found.targets.size();
    // Without any card, a card number cannot be wrong: there is simply no compatible GPU.
    if (found.targets.empty()) {
        run.status = RunStatus::NoCompatibleGpu;
        run.discoveryStatus = found.status;
        return;
    }
    if (options.target && static_cast<std::size_t>(*options.target) >= found.targets.size()) {
        run.status = RunStatus::TargetOutOfRange;
        return;
    }
    CardRecord& card = run.cards.emplace_back();
    card.index = options.target ? static_cast<std::size_t>(*options.target) : found.defaultIndex;
    card.target = found.targets.at(card.index);
    card.shape = ShapeFor(card.target);
    if (card.target.directMlStatus != DirectMlStatus::Ready) {
        card.status = RunStatus::TargetNotReady;
    } else {
        MeasureCard(system, run, card, options, console, stopToken);
    }
    run.status = card.status;
    run.errorText = card.errorText;
}

// Writes what the run produced: the document to --output and, with --json, to standard
// output, where the human summary of a completed run then gives way to standard error.
int Finish(const RunRecord& run, const Options& options, System& system, Console& console) {
    const std::string document = options.json || options.outputFile ? WriteJsonDocument(run) : std::string();
    const std::string fileError = options.outputFile ? system.WriteFileReplacing(*options.outputFile, document) : "";
    if (options.json) console.out << document;
    for (const CardRecord& card : run.cards) {
        if (card.status != RunStatus::Completed) continue;
        (options.json ? console.err : console.out) << PrintCardSummary(run, card);
    }
    if (run.status == RunStatus::TargetOutOfRange) {
        console.err << "mivaro-cli: " << PrintOutcomeLine(run);
    } else if (run.status != RunStatus::Completed) {
        console.err << PrintOutcomeLine(run);
    }
    const int code = Delivered(console, ToInt(CodeFor(run.status)));
    if (!fileError.empty()) {
        console.err << "mivaro-cli: the document could not be written to " << QuotedTerminalText(*options.outputFile)
                    << ": " << TerminalText(fileError) << '\n';
        return ToInt(ExitCode::OutputError);
    }
    return code;
}

int Compare(const Options& options, System& system, Console& console, std::stop_token stopToken) {
    std::string contents[2];
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string& path = options.compareFiles[i];
        std::optional<std::string> bytes = system.ReadFile(path, json::kMaxDocumentBytes);
        if (!bytes) {
            console.err << "mivaro-cli: compare: " << QuotedTerminalText(path) << " cannot be read\n";
            return ToInt(ExitCode::UsageError);
        }
        if (bytes->size() > json::kMaxDocumentBytes) {
            console.err << "mivaro-cli: compare: " << QuotedTerminalText(path)
                        << " is larger than 16 MiB; a result document is a few kilobytes\n";
            return ToInt(ExitCode::UsageError);
        }
        contents[i] = std::move(*bytes);
    }
    if (stopToken.stop_requested()) return Stopped(console, Language::English);
    const Comparison comparison =
        CompareDocuments(options.compareFiles[0], contents[0], options.compareFiles[1], contents[1]);
    if (!comparison.error.empty()) {
        console.err << "mivaro-cli: compare: " << comparison.error << '\n';
        return ToInt(ExitCode::UsageError);
    }
    console.out << comparison.text;
    return Delivered(console, ToInt(ExitCode::Success));
}

}  // namespace

int RunCli(const std::vector<std::string_view>& args, System& system, Console console,
           std::stop_token stopToken) {
    const ParseOutcome parsed = ParseOptions(args);
    if (!parsed.options) {
        return UsageError(console, parsed.error);
    }
    const Options& options = *parsed.options;
    if (options.command == Command::Help) {
        console.out << UsageText();
        return Delivered(console, ToInt(ExitCode::Success));
    }
    if (options.command == Command::Version) {
        console.out << VersionText(ThisBuild());
        return Delivered(console, ToInt(ExitCode::Success));
    }

    // From here on every failure is an error outcome with exit code 1, and a run still
    // writes its document.
    RunRecord run;
    run.tool = ThisBuild();
    run.language = options.language;
    run.requestedTarget = options.target;
    run.reference = options.reference;
    run.show = options.show;
    try {
        if (options.command == Command::Compare) {
            return Compare(options, system, console, stopToken);
        }
        run.startedAt = system.SecondsSinceEpoch();
        run.host = system.Host();
        const DiscoveredSystem found = system.Discover();
        if (options.command == Command::List) {
            if (stopToken.stop_requested()) return Stopped(console, options.language);
            console.out << PrintList(found, options.language);
            return Delivered(console, ToInt(AnyReady(found) ? ExitCode::Success : ExitCode::NoCompatibleGpu));
        }
        RunOnCard(system, found, run, options, console, stopToken);
    } catch (const std::exception& error) {
        run.status = RunStatus::Error;
        run.errorText = error.what();
    } catch (...) {
        run.status = RunStatus::Error;
        run.errorText = "unexpected failure";
    }
    if (options.command != Command::Run) {
        console.err << PrintOutcomeLine(run);
        return ToInt(ExitCode::BenchmarkError);
    }
    return Finish(run, options, system, console);
}

}  // namespace cli

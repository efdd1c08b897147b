#include "cli/app.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <future>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/commands/build_info.h"
#include "cli/commands/compare.h"
#include "cli/commands/options.h"
#include "cli/commands/progress_display.h"
#include "cli/exit_codes.h"
#include "cli/formats/fleet_document.h"
#include "cli/formats/fleet_printer.h"
#include "cli/formats/json_document.h"
#include "cli/formats/json_reader.h"
#include "cli/formats/list_printer.h"
#include "cli/formats/summary_printer.h"
#include "cli/formats/terminal_text.h"
#include "cli/record/fleet_summary.h"
#include "cli/telemetry/clock_sampler.h"
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

bool AnySlowOrThrottled(const RunRecord& run) {
    return std::any_of(run.cards.begin(), run.cards.end(), [](const CardRecord& card) {
        return card.verdict && (card.verdict->verdict == Verdict::Slow || card.verdict->verdict == Verdict::Throttled);
    });
}

// A run on one card keeps exit code 0 for a completed, validated result: its verdict is shown
// and recorded, but many healthy cards run at their power limit, and scripts that check one card
// rely on 0. Standing out among siblings is what --target all and summary judge.
ExitCode CodeFor(const RunRecord& run) {
    switch (run.status) {
        case RunStatus::Completed:
            return run.allTargets && AnySlowOrThrottled(run) ? ExitCode::SlowOrThrottled : ExitCode::Success;
        case RunStatus::Interrupted: return ExitCode::Interrupted;
        case RunStatus::Error: return ExitCode::BenchmarkError;
        case RunStatus::NoCompatibleGpu:
        case RunStatus::TargetNotReady: return ExitCode::NoCompatibleGpu;
        case RunStatus::TargetOutOfRange: return ExitCode::UsageError;
    }
    return ExitCode::BenchmarkError;
}

// What the cards' runs share while they measure: the record, which the stop request's early
// document reads and each card's thread writes, guarded by one lock; and the progress on
// standard error, which every card reports to.
class CardRuns {
public:
    CardRuns(System& system, RunRecord& run, const Options& options, Console& console)
        : system_(system),
          run_(run),
          options_(options),
          marked_(run.allTargets),
          // Several cards at once take a line per stage; one at a time may rewrite its line.
          progress_(console.err, console.errIsTerminal && !run.concurrent) {}

    System& system() { return system_; }
    const GpuTarget& Target(std::size_t slot) const { return run_.cards[slot].target; }  // fixed

    // Changes a card's part of the record, or the run-wide facts, under the lock.
    template <typename Change>
    void Update(std::size_t slot, Change&& change) {
        const std::lock_guard lock(mutex_);
        change(run_.cards[slot], run_);
    }

    // slot: the card the stage belongs to; nullopt for the run as a whole.
    // Never waits on standard error, and never under the record's lock.
    void ShowProgress(std::optional<std::size_t> slot, const TextPair& stage) {
        std::string text = WideToUtf8(stage.Get(options_.language));
        if (slot && marked_) text = "[" + std::to_string(run_.cards[*slot].index) + "] " + text;  // set before the runs
        progress_.Show(std::move(text));
    }
    void ClearProgress() { progress_.Clear(); }

    // The run as it stands, interrupted: what --output holds from the moment a stop is
    // requested until the run has ended (a closing console gives the process only a few
    // seconds). It runs in a stop callback, which must not throw; the run's end writes the
    // document again anyway.
    void WriteInterruptedDocument() noexcept {
        try {
            RunRecord interrupted;
            {
                const std::lock_guard lock(mutex_);
                interrupted = run_;
            }
            interrupted.status = RunStatus::Interrupted;  // cards not yet finished say so themselves
            system_.WriteFileReplacing(*options_.outputFile, WriteJsonDocument(interrupted));
        } catch (...) {
        }
    }

private:
    System& system_;
    RunRecord& run_;
    const Options& options_;
    const bool marked_;  // progress lines name their card
    std::mutex mutex_;
    BackgroundProgress progress_;
};

// The run's input matrices and their hash, made once while the first card measures and read
// by every card.
struct RunInputs {
    const gemm::InputMatrices& matrices;
    std::shared_future<std::uint64_t> hash;
};

// Measures one ready card into its record; every failure of the system layer ends as the
// card's error, and none reaches the other cards.
void MeasureCard(CardRuns& runs, std::size_t slot, const RunInputs& inputs, std::stop_token stopToken) {
    System& system = runs.system();
    const GpuTarget& target = runs.Target(slot);
    if (stopToken.stop_requested()) {  // a later card of a run that was stopped
        runs.Update(slot, [](CardRecord& card, RunRecord&) { card.status = RunStatus::Interrupted; });
        return;
    }
    std::optional<ClockSampler> sampler;  // never waits long for a query that hangs
    try {
        // The card's identity as discovery found it; the driver is asked where discovery could not say.
        const std::string pciBusId = target.pciBusId.empty() ? system.PciBusId(target) : target.pciBusId;
        const CardDetails details = system.Details(target);
        runs.Update(slot, [&](CardRecord& card, RunRecord& run) {
            card.pciBusId = pciBusId;
            card.details = details;
            card.details.uuid = target.uuid;
            run.components.cudaDriverLibraryPath = details.cudaDriverLibraryPath;
            run.components.directMl = details.directMlVersion;
            run.components.directMlLibraryPath = details.directMlLibraryPath;
        });
        ClockAccess clocks = system.OpenClocks(target, pciBusId);
        const auto interval = system.ClockSampleInterval();
        runs.Update(slot, [&](CardRecord& card, RunRecord&) {
            card.clocks.unavailable = clocks.unavailable;
            card.clocks.nvmlReturnCode = clocks.nvmlReturnCode;
            card.clocks.intervalMs = static_cast<int>(interval.count());
            if (card.details.uuid.empty()) card.details.uuid = clocks.uuid;
            card.details.driverVersion = clocks.driverVersion;
        });
        if (clocks.monitor) sampler.emplace(std::move(clocks.monitor), interval);

        const gemm::ProgressCallback onProgress = [&](int value) {
            if (sampler) {
                const SeriesBoundary boundary = SeriesBoundaryAt(value);
                if (boundary.ended > 0) {
                    SeriesClocks ended = sampler->End();
                    runs.Update(slot,
                                [&](CardRecord& card, RunRecord&) { card.clocks.series.push_back(std::move(ended)); });
                }
                if (boundary.started > 0) sampler->Begin(boundary.started);
            }
            runs.ShowProgress(slot, ProgressStatus(static_cast<std::uint64_t>(value)));
        };
        const BenchmarkResult result = system.Run(target, inputs.matrices, stopToken, onProgress);
        const std::uint64_t inputsHash = inputs.hash.get();
        runs.Update(slot, [&](CardRecord& card, RunRecord&) {
            card.status = RunStatus::Completed;
            card.result = ComputeStatistics(result.series, result.median);
            card.checkedElements.assign(std::begin(result.checkedElements), std::end(result.checkedElements));
            card.inputsHash = inputsHash;
        });
    } catch (const gemm::Cancelled&) {
        runs.Update(slot, [](CardRecord& card, RunRecord&) { card.status = RunStatus::Interrupted; });
    } catch (const gemm::ReferenceCheckFailed& error) {
        runs.Update(slot, [&](CardRecord& card, RunRecord&) {
            card.status = RunStatus::Error;
            card.errorText = error.what();
            card.checkedElements.assign(error.Elements().begin(), error.Elements().end());
        });
    } catch (const std::exception& error) {
        runs.Update(slot, [&](CardRecord& card, RunRecord&) {
            card.status = RunStatus::Error;
            card.errorText = error.what();
        });
    } catch (...) {
        runs.Update(slot, [](CardRecord& card, RunRecord&) {
            card.status = RunStatus::Error;
            card.errorText = "unexpected failure";
        });
    }
    if (sampler) {
        const bool complete = !sampler->Stalled();
        runs.Update(slot, [&](CardRecord& card, RunRecord&) { card.clocks.complete = complete; });
    }
}

// Every card at the same time, each on a thread of its own; a card whose thread cannot start
// fails alone.
void MeasureConcurrently(CardRuns& runs, std::size_t cards, const RunInputs& inputs,
                         std::stop_token stopToken) {
    std::vector<std::jthread> threads;
    for (std::size_t slot = 0; slot < cards; ++slot) {
        try {
            threads.emplace_back([&runs, &inputs, slot, stopToken] {
                try {
                    MeasureCard(runs, slot, inputs, stopToken);
                } catch (...) {  // only a failure to record the failure; the card stays unfinished
                }
            });
        } catch (const std::exception& error) {
            runs.Update(slot, [&](CardRecord& card, RunRecord&) {
                card.status = RunStatus::Error;
                card.errorText = std::string("could not start the card's thread: ") + error.what();
            });
        }
    }
}  // joins every thread

// The cards' outcomes as the run's: interrupted if any card was, else an error if any card
// failed (naming the first), else completed.
void ConcludeRun(RunRecord& run) {
    if (!run.allTargets) {
        run.status = run.cards.front().status;
        run.errorText = run.cards.front().errorText;
        return;
    }
    run.status = RunStatus::Completed;
    std::size_t failed = 0;
    for (const CardRecord& card : run.cards) {
        if (card.status == RunStatus::Interrupted) run.status = RunStatus::Interrupted;
        if (card.status != RunStatus::Error) continue;
        if (failed++ == 0) run.errorText = "card " + std::to_string(card.index) + ": " + card.errorText;
        if (run.status == RunStatus::Completed) run.status = RunStatus::Error;
    }
    if (failed > 1) run.errorText += " (and " + std::to_string(failed - 1) + " more cards)";
}

// Chooses the cards: the given one, the default one, or every ready one.
void ChooseCards(const DiscoveredSystem& found, RunRecord& run, const Options& options) {
    std::vector<std::size_t> chosen;
    if (options.allTargets) {
        for (std::size_t i = 0; i < found.targets.size(); ++i) {
            if (found.targets[i].directMlStatus == DirectMlStatus::Ready) chosen.push_back(i);
        }
        if (chosen.empty()) {  // none is ready: each says why
            for (std::size_t i = 0; i < found.targets.size(); ++i) chosen.push_back(i);
        }
    } else {
        chosen.push_back(options.target ? static_cast<std::size_t>(*options.target) : found.defaultIndex);
    }
    for (const std::size_t index : chosen) {
        CardRecord& card = run.cards.emplace_back();
        card.index = index;
        card.target = found.targets.at(index);
        card.pciBusId = card.target.pciBusId;  // the physical card, also when it never runs
        card.details.uuid = card.target.uuid;
        card.shape = ShapeFor(card.target);
        // Until its run ends, a ready card has not finished: what a stop request's document says.
        card.status = card.target.directMlStatus == DirectMlStatus::Ready ? RunStatus::Interrupted
                                                                          : RunStatus::TargetNotReady;
    }
}

// Chooses the cards and measures the ready ones on one pair of input matrices, one card after
// another or all at once.
void RunOnCards(System& system, const DiscoveredSystem& found, RunRecord& run, const Options& options,
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
    ChooseCards(found, run, options);
    if (run.cards.front().status == RunStatus::TargetNotReady) {
        run.status = RunStatus::TargetNotReady;
        return;
    }
    {
        CardRuns runs(system, run, options, console);
        std::optional<std::stop_callback<std::function<void()>>> onStop;
        if (options.outputFile) onStop.emplace(stopToken, [&runs] { runs.WriteInterruptedDocument(); });
        const auto failAll = [&](RunStatus status, const std::string& text) {
            for (std::size_t slot = 0; slot < run.cards.size(); ++slot) {
                runs.Update(slot, [&](CardRecord& card, RunRecord&) {
                    card.status = status;
                    card.errorText = text;
                });
            }
        };
        runs.ShowProgress(std::nullopt, PreparingStatus());
        std::optional<gemm::InputMatrices> matrices;  // made once, read by every card's run
        std::optional<RunInputs> inputs;
        try {
            matrices.emplace(system.MakeInputs(stopToken));
            inputs.emplace(RunInputs{*matrices, std::async([&system, &matrices] { return system.HashInputs(*matrices); }).share()});
        } catch (const gemm::Cancelled&) {
            failAll(RunStatus::Interrupted, {});
        } catch (const std::exception& error) {
            failAll(RunStatus::Error, error.what());
        }
        if (inputs && options.concurrent) {
            MeasureConcurrently(runs, run.cards.size(), *inputs, stopToken);
        } else if (inputs) {
            for (std::size_t slot = 0; slot < run.cards.size(); ++slot) MeasureCard(runs, slot, *inputs, stopToken);
        }
        runs.ClearProgress();
    }
    JudgeCards(run);
    ConcludeRun(run);
}

// Writes what the run produced: the document to --output and, with --json, to standard
// output, where the human summary then gives way to standard error. The summary is each
// completed card's result (one card) or the table of the cards (--target all), and ends with
// a line for each card that is not ok.
int Finish(const RunRecord& run, const Options& options, System& system, Console& console) {
    const std::string document = options.json || options.outputFile ? WriteJsonDocument(run) : std::string();
    const std::string fileError = options.outputFile ? system.WriteFileReplacing(*options.outputFile, document) : "";
    if (options.json) console.out << document;
    std::ostream& human = options.json ? console.err : console.out;
    const std::string verdicts = PrintVerdictLines(run);
    if (run.allTargets && !run.cards.empty() && run.status != RunStatus::TargetNotReady) {
        human << PrintCardsTable(run) << (verdicts.empty() ? "" : "\n") << verdicts;
    } else if (run.status == RunStatus::Completed) {
        human << PrintCardSummary(run, run.cards.front()) << (verdicts.empty() ? "" : "\n") << verdicts;
    }
    if (run.status == RunStatus::TargetOutOfRange) {
        console.err << "mivaro-cli: " << PrintOutcomeLine(run);
    } else if (run.status != RunStatus::Completed) {
        console.err << PrintOutcomeLine(run);
    }
    const int code = Delivered(console, ToInt(CodeFor(run)));
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

// Pools the documents found under the paths, one at a time, into the summary.
int Summarize(const Options& options, System& system, Console& console, std::stop_token stopToken) {
    FleetRecord fleet;
    fleet.tolerancePercent = options.tolerancePercent;
    for (const std::string& path : options.summaryPaths) {
        const std::optional<std::vector<std::string>> inFolder = system.DocumentsIn(path);
        if (inFolder && inFolder->empty()) fleet.unreadable.push_back({path, "a folder without *.json files"});
        for (const std::string& file : inFolder ? *inFolder : std::vector<std::string>{path}) {
            if (stopToken.stop_requested()) return Stopped(console, options.language);
            AddFile(fleet, file, system.ReadFile(file, json::kMaxDocumentBytes));
        }
    }
    JudgeFleet(fleet);
    const std::string document =
        options.json || options.outputFile ? WriteFleetDocument(fleet, ThisBuild()) : std::string();
    const std::string fileError = options.outputFile ? system.WriteFileReplacing(*options.outputFile, document) : "";
    if (options.json) console.out << document;
    (options.json ? console.err : console.out) << PrintFleetSummary(fleet, options.language);
    const ExitCode code = FleetExitCode(fleet);
    if (code == ExitCode::UsageError) console.err << "mivaro-cli: summary: no result document could be read\n";
    const int delivered = Delivered(console, ToInt(code));
    if (!fileError.empty()) {
        console.err << "mivaro-cli: the summary could not be written to " << QuotedTerminalText(*options.outputFile)
                    << ": " << TerminalText(fileError) << '\n';
        return ToInt(ExitCode::OutputError);
    }
    return delivered;
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
    run.allTargets = options.allTargets;
    run.concurrent = options.concurrent;
    run.tolerancePercent = options.tolerancePercent;
    run.reference = options.reference;
    run.show = options.show;
    try {
        if (options.command == Command::Compare) {
            return Compare(options, system, console, stopToken);
        }
        if (options.command == Command::Summary) {
            return Summarize(options, system, console, stopToken);
        }
        run.startedAt = system.SecondsSinceEpoch();
        run.host = system.Host();
        const DiscoveredSystem found = system.Discover();
        if (options.command == Command::List) {
            if (stopToken.stop_requested()) return Stopped(console, options.language);
            console.out << PrintList(found, options.language);
            return Delivered(console, ToInt(AnyReady(found) ? ExitCode::Success : ExitCode::NoCompatibleGpu));
        }
        RunOnCards(system, found, run, options, console, stopToken);
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

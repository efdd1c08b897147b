#include "cli/app.h"

#include <exception>
#include <span>
#include <string>

#include "cli/exit_codes.h"
#include "cli/options.h"
#include "cli/progress_display.h"
#include "core/utf8.h"
#include "presentation/configuration.h"
#include "presentation/control_texts.h"
#include "presentation/number_format.h"
#include "presentation/reference.h"
#include "presentation/run_shape.h"
#include "presentation/run_status.h"
#include "presentation/selection_lists.h"

namespace cli {
namespace {

std::wstring Pick(Language language, const wchar_t* ru, const wchar_t* en) {
    return language == Language::English ? en : ru;
}

void WriteLine(std::ostream& stream, const std::wstring& text) {
    stream << WideToUtf8(text) << '\n';
}

// Indents every line of a multi-line text.
std::wstring Indented(const std::wstring& text, const std::wstring& indent) {
    std::wstring out = indent;
    for (const wchar_t c : text) {
        out += c;
        if (c == L'\n') out += indent;
    }
    return out;
}

RunShape ShapeFor(const GpuTarget& target) {
    // Integrated DirectML adapters split each multiplication into row blocks and run fewer.
    if (target.backend == BackendKind::DirectMl && target.integrated) {
        return {kIntegratedWarmupMultiplications, BenchmarkPlan::seriesCount,
                kIntegratedMultiplicationsPerSeries};
    }
    return {};
}

int UsageError(Console& console, const std::string& message) {
    console.err << "mivaro-cli: " << message << "\n\n" << UsageText();
    return ToInt(ExitCode::UsageError);
}

bool AnyReady(const DiscoveredSystem& system) {
    for (const GpuTarget& t : system.targets) {
        if (t.directMlStatus == DirectMlStatus::Ready) return true;
    }
    return false;
}

int List(const DiscoveredSystem& system, Language lang, Console& console) {
    std::wstring text = Pick(lang, L"Видеокарты:", L"Graphics cards:") + L'\n';
    if (system.targets.empty()) {
        text += L"  " + TargetListItems({}, lang).front() + L"\n  " + system.status.Get(lang) + L'\n';
    }
    for (std::size_t i = 0; i < system.targets.size(); ++i) {
        const GpuTarget& t = system.targets[i];
        text += L"  " + FormatCount(i) + L"  " + TargetItemText(t, lang) + L"  \u00B7  ";
        if (t.directMlStatus == DirectMlStatus::Ready) {
            text += Pick(lang, L"готова к тесту", L"ready");
            if (i == system.defaultIndex) text += Pick(lang, L" (по умолчанию)", L" (default)");
        } else {
            text += i < system.targetMessages.size() ? system.targetMessages[i].Get(lang) : L"";
        }
        text += L'\n';
    }
    if (system.nvidiaPresent) {
        text += L'\n' + Pick(lang, L"Компоненты CUDA:", L"CUDA components:") + L'\n';
        text += L"  " + system.cudaInstruction.Get(lang) + L'\n';
        text += Indented(system.cudaContent.Get(lang), L"  ") + L'\n';
    }
    text += L'\n' + Pick(lang, L"Эталоны (--reference):", L"References (--reference):") + L'\n';
    const std::vector<std::wstring> references = ReferenceListItems(lang);
    for (std::size_t i = 0; i < references.size(); ++i) {
        text += L"  " + FormatCount(i) + L"  " + references[i];
        if (const ReferenceMeasurement* r = SelectedReference(static_cast<int>(i))) {
            text += std::wstring(L"  \u00B7  ") + r->detail;
        }
        text += L'\n';
    }
    console.out << WideToUtf8(text);
    return ToInt(AnyReady(system) ? ExitCode::Success : ExitCode::NoCompatibleGpu);
}

int Finish(const RunReport& report, const Options& options, Console& console, ExitCode code) {
    if (options.json) {
        console.out << WriteJsonReport(report);
    }
    if (report.status == RunStatus::Completed) {
        if (!options.json) console.out << WriteTextReport(report);
    } else {
        WriteLine(console.err, report.message.Get(options.language));
    }
    console.out.flush();
    return ToInt(code);
}

int Run(System& system, const DiscoveredSystem& found, const Options& options, Console& console,
        std::stop_token stopToken) {
    RunReport report;
    report.language = options.language;
    report.reference = options.reference;
    report.show = options.show;
    report.components = found.components;

    if (options.target && static_cast<std::size_t>(*options.target) >= found.targets.size()) {
        const std::string count = std::to_string(found.targets.size());
        return UsageError(console, "--target " + std::to_string(*options.target) + ": " +
                                       (found.targets.empty()
                                            ? std::string("no graphics card was found")
                                            : "there are " + count + " cards, numbered 0 to " +
                                                  std::to_string(found.targets.size() - 1)) +
                                       " (see 'mivaro-cli list')");
    }
    if (found.targets.empty()) {
        report.status = RunStatus::NoCompatibleGpu;
        report.message = found.status;
        return Finish(report, options, console, ExitCode::NoCompatibleGpu);
    }

    const std::size_t index = options.target ? static_cast<std::size_t>(*options.target) : found.defaultIndex;
    const GpuTarget& target = found.targets.at(index);
    report.targetIndex = index;
    report.target = target;
    report.targetItem = TargetItemText(target, options.language);
    report.shape = ShapeFor(target);
    for (const ControlText& entry : BuiltInControlTexts()) {
        if (entry.controlId == ControlId::ConfigurationLabel) {
            report.configuration = DecideConfiguration(found.targets, static_cast<int>(index), false,
                                                       options.language, entry.text.Get(options.language))
                                       .label;
        }
    }
    if (target.directMlStatus != DirectMlStatus::Ready) {
        report.status = RunStatus::TargetNotReady;
        report.message = index < found.targetMessages.size() ? found.targetMessages[index] : TextPair{};
        return Finish(report, options, console, ExitCode::NoCompatibleGpu);
    }

    report.pciBusId = system.PciBusId(target);
    ClockAccess clocks = system.OpenClocks(target, report.pciBusId);
    report.clocks.available = clocks.monitor != nullptr;
    report.clocks.unavailableReason = clocks.unavailableReason;

    ExitCode code = ExitCode::Success;
    {
        ProgressDisplay progress(console.err, console.errIsTerminal);
        progress.Show(WideToUtf8(PreparingStatus().Get(options.language)));
        const gemm::ProgressCallback onProgress = [&](int value) {
            // The series has been timed already; sampling here stays outside the measurement.
            if (value > 0 && clocks.monitor) {
                report.clocks.samples.push_back({value, clocks.monitor->Sample()});
            }
            progress.Show(WideToUtf8(ProgressStatus(static_cast<std::uint64_t>(value)).Get(options.language)));
        };
        try {
            report.result = system.Run(target, stopToken, onProgress);
            report.hasResult = true;
            report.status = RunStatus::Completed;
            report.message = CompletedStatus();
        } catch (const gemm::Cancelled&) {
            report.status = RunStatus::Stopped;
            report.message = StoppedStatus();
            code = ExitCode::Interrupted;
        } catch (const std::exception& error) {
            report.status = RunStatus::Error;
            report.errorText = error.what();
            report.message = BenchmarkErrorStatus(error.what());
            code = ExitCode::BenchmarkError;
        }
    }  // the progress line is gone before the result is written
    return Finish(report, options, console, code);
}

}  // namespace

std::wstring TargetItemText(const GpuTarget& target, Language language) {
    return TargetListItems(std::span(&target, 1), language).front();
}

int RunCli(const std::vector<std::string_view>& args, System& system, Console console,
           std::stop_token stopToken) {
    const ParseOutcome parsed = ParseOptions(args);
    if (!parsed.options) {
        return UsageError(console, parsed.error);
    }
    const Options& options = *parsed.options;
    if (options.command == Command::Help) {
        console.out << UsageText();
        return ToInt(ExitCode::Success);
    }

    DiscoveredSystem found;
    try {
        found = system.Discover();
    } catch (const std::exception& error) {
        // Discovery reports its own failures as messages; this is what escapes it anyway.
        WriteLine(console.err, BenchmarkErrorStatus(error.what()).Get(options.language));
        return ToInt(ExitCode::BenchmarkError);
    }
    if (options.command == Command::List) {
        return List(found, options.language, console);
    }
    return Run(system, found, options, console, stopToken);
}

}  // namespace cli

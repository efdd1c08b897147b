#include "cli/run_report.h"

#include <algorithm>
#include <iterator>

#include "cli/json_writer.h"
#include "core/input_matrices.h"
#include "core/utf8.h"
#include "presentation/control_texts.h"
#include "presentation/number_format.h"
#include "presentation/reference.h"

namespace cli {
namespace {

const char* StatusName(RunStatus status) {
    switch (status) {
        case RunStatus::Completed: return "completed";
        case RunStatus::Stopped: return "stopped";
        case RunStatus::Error: return "error";
        case RunStatus::NoCompatibleGpu: return "noCompatibleGpu";
        case RunStatus::TargetNotReady: return "targetNotReady";
    }
    return "error";
}

const char* ShowName(ShowFilter show) {
    switch (show) {
        case ShowFilter::Both: return "both";
        case ShowFilter::BeforeOnly: return "before";
        case ShowFilter::AfterOnly: return "after";
    }
    return "both";
}

const char* DirectMlStatusName(DirectMlStatus status) {
    switch (status) {
        case DirectMlStatus::Ready: return "ready";
        case DirectMlStatus::NoDirect3D12: return "noDirect3D12";
        case DirectMlStatus::NoDirectMl: return "noDirectMl";
        case DirectMlStatus::NoFp16: return "noFp16";
    }
    return "ready";
}

// The validation outcome follows from how the run ended: a result exists only after the
// check passed, and the check's own failure text marks a failed check.
const char* ValidationName(const RunReport& report) {
    if (report.hasResult) return "passed";
    if (report.status == RunStatus::Error && report.errorText == "FP32 reference check failed") {
        return "failed";
    }
    return "notReached";
}

void StringOrNull(JsonWriter& w, const std::string& text) {
    if (text.empty()) {
        w.Null();
    } else {
        w.String(text);
    }
}

void Timing(JsonWriter& w, const SeriesTiming& timing) {
    w.BeginObject();
    w.Key("msPerMultiplication");
    w.Number(timing.msPerMultiplication);
    w.Key("tflops");
    w.Number(timing.tflops);
    w.EndObject();
}

void WriteTarget(JsonWriter& w, const RunReport& report) {
    if (!report.targetIndex) {
        w.Null();
        return;
    }
    const GpuTarget& t = report.target;
    w.BeginObject();
    w.Key("index");
    w.Unsigned(*report.targetIndex);
    w.Key("name");
    w.String(t.name);
    w.Key("displayName");
    w.String(WideToUtf8(report.targetItem));
    w.Key("backend");
    w.String(t.backend == BackendKind::DirectMl ? "directml" : "cuda");
    w.Key("cudaOrdinal");
    if (t.backend == BackendKind::Cuda) {
        w.Integer(t.cudaOrdinal);
    } else {
        w.Null();
    }
    w.Key("dedicatedMemoryBytes");
    w.Unsigned(t.dedicatedMemoryBytes);
    w.Key("sharedMemoryBytes");
    w.Unsigned(t.sharedMemoryBytes);
    w.Key("boardVendorId");
    w.Unsigned(t.boardVendorId);
    w.Key("integrated");
    w.Bool(t.integrated);
    w.Key("directMlStatus");
    w.String(DirectMlStatusName(t.directMlStatus));
    w.Key("pciBusId");
    StringOrNull(w, report.pciBusId);
    w.EndObject();
}

void WritePlan(JsonWriter& w, const RunReport& report) {
    w.BeginObject();
    w.Key("matrixSize");
    w.Integer(BenchmarkPlan::matrixSize);
    w.Key("elementFormat");
    w.String("fp16");
    w.Key("accumulation");
    w.String("fp32");
    w.Key("warmupMultiplications");
    w.Integer(report.shape.warmupMultiplications);
    w.Key("seriesCount");
    w.Integer(report.shape.seriesCount);
    w.Key("multiplicationsPerSeries");
    w.Integer(report.shape.multiplicationsPerSeries);
    w.Key("flopsPerMultiplication");
    w.Number(BenchmarkPlan::flopsPerMultiplication);
    w.EndObject();
}

void WriteResult(JsonWriter& w, const RunReport& report) {
    if (!report.hasResult) {
        w.Null();
        return;
    }
    const BenchmarkResult& r = report.result;
    const auto [fastest, slowest] = std::minmax_element(
        std::begin(r.series), std::end(r.series), [](const SeriesTiming& a, const SeriesTiming& b) {
            return a.msPerMultiplication < b.msPerMultiplication;
        });
    w.BeginObject();
    w.Key("series");
    w.BeginArray();
    for (const SeriesTiming& s : r.series) Timing(w, s);
    w.EndArray();
    w.Key("median");
    Timing(w, r.median);
    w.Key("spread");
    w.BeginObject();
    w.Key("min");
    Timing(w, *fastest);
    w.Key("max");
    Timing(w, *slowest);
    w.EndObject();
    w.EndObject();
}

void WriteValidation(JsonWriter& w, const RunReport& report) {
    w.BeginObject();
    w.Key("status");
    w.String(ValidationName(report));
    w.Key("checkedElements");
    w.BeginArray();
    for (const gemm::MatrixPosition& p : gemm::kCheckedElements) {
        w.BeginObject();
        w.Key("row");
        w.Integer(p.row);
        w.Key("col");
        w.Integer(p.col);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
}

void WriteComparison(JsonWriter& w, const RunReport& report) {
    const ReferenceMeasurement* reference = SelectedReference(report.reference);
    if (reference == nullptr) {
        w.Null();
        return;
    }
    const int filter = static_cast<int>(report.show);
    const bool before = ReferenceShowsBefore(*reference, filter);
    const bool after = ReferenceShowsAfter(*reference, filter);
    w.BeginObject();
    w.Key("referenceIndex");
    w.Integer(report.reference);
    w.Key("reference");
    w.BeginObject();
    w.Key("name");
    w.String(WideToUtf8(reference->name));
    w.Key("detail");
    w.String(WideToUtf8(reference->detail));
    w.Key("msBefore");
    w.Number(reference->msBefore);
    w.Key("tflopsBefore");
    w.Number(reference->tflopsBefore);
    w.Key("msAfter");
    if (reference->hasAfter) w.Number(reference->msAfter); else w.Null();
    w.Key("tflopsAfter");
    if (reference->hasAfter) w.Number(reference->tflopsAfter); else w.Null();
    w.Key("msFromTflops");
    w.Bool(reference->msFromTflops);
    w.EndObject();
    w.Key("show");
    w.String(ShowName(report.show));
    w.Key("vsBeforePercent");
    if (report.hasResult && before) {
        w.Number(ComparisonPercent(report.result.median.tflops, reference->tflopsBefore));
    } else {
        w.Null();
    }
    w.Key("vsAfterPercent");
    if (report.hasResult && after) {
        w.Number(ComparisonPercent(report.result.median.tflops, reference->tflopsAfter));
    } else {
        w.Null();
    }
    w.Key("line");
    w.String(WideToUtf8(BuildComparisonLine(report.reference, filter, report.hasResult,
                                            report.result.median.tflops, report.language)));
    w.EndObject();
}

void WriteClocks(JsonWriter& w, const RunReport& report) {
    w.BeginObject();
    w.Key("source");
    w.String("nvml");
    w.Key("available");
    w.Bool(report.clocks.available);
    w.Key("unavailableReason");
    StringOrNull(w, report.clocks.available ? std::string() : WideToUtf8(report.clocks.unavailableReason.en));
    w.Key("samples");
    w.BeginArray();
    for (const SeriesClock& c : report.clocks.samples) {
        w.BeginObject();
        w.Key("afterSeries");
        w.Integer(c.afterSeries);
        w.Key("smClockMHz");
        if (c.sample) w.Unsigned(c.sample->smClockMHz); else w.Null();
        w.Key("eventReasons");
        if (c.sample) w.Unsigned(c.sample->eventReasons); else w.Null();
        w.Key("eventReasonNames");
        if (c.sample) {
            w.BeginArray();
            for (const std::string& name : ClockEventReasonNames(c.sample->eventReasons)) w.String(name);
            w.EndArray();
        } else {
            w.Null();
        }
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
}

void WriteComponents(JsonWriter& w, const ComponentVersions& c) {
    w.BeginObject();
    w.Key("cudaRuntime");
    StringOrNull(w, c.cudaRuntime);
    w.Key("cudaDriver");
    StringOrNull(w, c.cudaDriver);
    w.Key("cublas");
    StringOrNull(w, c.cublas);
    w.Key("cublasLibraryPath");
    StringOrNull(w, c.cublasLibraryPath);
    w.EndObject();
}

}  // namespace

std::string WriteJsonReport(const RunReport& report) {
    JsonWriter w;
    w.BeginObject();
    w.Key("schemaVersion");
    w.Integer(kJsonSchemaVersion);
    w.Key("language");
    w.String(report.language == Language::English ? "en" : "ru");
    w.Key("outcome");
    w.BeginObject();
    w.Key("status");
    w.String(StatusName(report.status));
    w.Key("message");
    w.String(WideToUtf8(report.message.Get(report.language)));
    w.Key("error");
    if (report.status == RunStatus::Error) w.String(report.errorText); else w.Null();
    w.EndObject();
    w.Key("target");
    WriteTarget(w, report);
    w.Key("plan");
    WritePlan(w, report);
    w.Key("result");
    WriteResult(w, report);
    w.Key("validation");
    WriteValidation(w, report);
    w.Key("comparison");
    WriteComparison(w, report);
    w.Key("clocks");
    WriteClocks(w, report);
    w.Key("components");
    WriteComponents(w, report.components);
    w.EndObject();
    return w.Text();
}

}  // namespace cli

namespace cli {
namespace {

std::wstring ControlTextFor(std::int32_t controlId, Language language) {
    for (const ControlText& entry : BuiltInControlTexts()) {
        if (entry.controlId == controlId) return entry.text.Get(language);
    }
    return {};
}

std::wstring PadRight(std::wstring text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), L' ');
    return text;
}

}  // namespace

std::string WriteTextReport(const RunReport& report) {
    if (!report.hasResult) return {};
    const Language lang = report.language;
    const auto pick = [lang](const wchar_t* ru, const wchar_t* en) {
        return std::wstring(lang == Language::English ? en : ru);
    };
    const std::wstring ms = pick(L" мс", L" ms");
    const BenchmarkResult& r = report.result;

    std::wstring text;
    if (report.targetIndex) text += report.targetItem + L'\n';
    if (!report.configuration.empty()) text += report.configuration + L'\n';
    text += report.message.Get(lang) + L"\n\n";
    text += ControlTextFor(ControlId::TimeChart, lang) + L": " +
            FormatDecimal(r.median.msPerMultiplication, 2, lang) + ms + L'\n';
    text += ControlTextFor(ControlId::PerformanceChart, lang) + L": " +
            FormatDecimal(r.median.tflops, 2, lang) + L" TFLOPS\n\n";

    // One row per series, in measured order, with the clocks sampled right after it.
    const std::size_t column = 12;
    text += PadRight(pick(L"Серия", L"Series"), 8) + PadRight(pick(L"мс", L"ms"), column) +
            PadRight(L"TFLOPS", column);
    if (report.clocks.available) {
        text += PadRight(pick(L"SM, МГц", L"SM MHz"), column) +
                pick(L"Причины снижения частоты", L"Clock-event reasons");
    }
    text += L'\n';
    for (int k = 1; k <= BenchmarkPlan::seriesCount; ++k) {
        const SeriesTiming& s = r.series[k - 1];
        std::wstring row = PadRight(FormatCount(static_cast<std::uint64_t>(k)), 8) +
                           PadRight(FormatDecimal(s.msPerMultiplication, 2, lang), column) +
                           PadRight(FormatDecimal(s.tflops, 2, lang), column);
        if (report.clocks.available) {
            const auto sample = std::find_if(report.clocks.samples.begin(), report.clocks.samples.end(),
                                             [k](const SeriesClock& c) { return c.afterSeries == k; });
            if (sample == report.clocks.samples.end() || !sample->sample) {
                row += L"\u2014";
            } else {
                row += PadRight(FormatCount(sample->sample->smClockMHz), column);
                const auto names = ClockEventReasonNames(sample->sample->eventReasons);
                if (names.empty()) {
                    row += pick(L"нет", L"none");
                } else {
                    for (std::size_t i = 0; i < names.size(); ++i) {
                        row += (i ? L", " : L"") + Utf8ToWide(names[i]);
                    }
                }
            }
        }
        text += row + L'\n';
    }
    const auto [fastest, slowest] = std::minmax_element(
        std::begin(r.series), std::end(r.series), [](const SeriesTiming& a, const SeriesTiming& b) {
            return a.msPerMultiplication < b.msPerMultiplication;
        });
    text += pick(L"Разброс: ", L"Spread: ") + FormatDecimal(fastest->msPerMultiplication, 2, lang) +
            L" \u2013 " + FormatDecimal(slowest->msPerMultiplication, 2, lang) + ms + L'\n';
    if (!report.clocks.available) {
        text += pick(L"Частоты не измерялись: ", L"Clocks not sampled: ") +
                report.clocks.unavailableReason.Get(lang) + L'\n';
    }

    const std::wstring comparison = BuildComparisonLine(report.reference, static_cast<int>(report.show),
                                                        true, r.median.tflops, lang);
    if (!comparison.empty()) text += L'\n' + comparison + L'\n';
    return WideToUtf8(text);
}

}  // namespace cli

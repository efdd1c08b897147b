#include "cli/run_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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
        case RunStatus::Interrupted: return "interrupted";
        case RunStatus::Error: return "error";
        case RunStatus::NoCompatibleGpu: return "noCompatibleGpu";
        case RunStatus::TargetNotReady: return "targetNotReady";
        case RunStatus::TargetOutOfRange: return "targetOutOfRange";
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
    if (!report.checkedElements.empty()) return "failed";
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
    const CardDetails& card = report.card;
    w.Key("uuid");
    StringOrNull(w, card.uuid);
    w.Key("driverVersion");
    StringOrNull(w, card.driverVersion);
    w.Key("computeCapability");
    if (card.computeCapabilityMajor > 0) {
        w.String(std::to_string(card.computeCapabilityMajor) + "." + std::to_string(card.computeCapabilityMinor));
    } else {
        w.Null();
    }
    w.Key("smCount");
    if (card.smCount > 0) w.Integer(card.smCount); else w.Null();
    w.EndObject();
}

void WriteMethod(JsonWriter& w, const RunReport& report) {
    if (!report.targetIndex) {
        w.Null();
        return;
    }
    const bool cuda = report.target.backend == BackendKind::Cuda;
    w.BeginObject();
    w.Key("timing");
    w.String(cuda ? "cudaEvents" : "d3d12Timestamps");
    w.Key("description");
    w.String(cuda ? "cuBLAS cublasGemmEx multiplications queued back to back on one CUDA stream; "
                    "a CUDA event recorded before and after each series times it on the GPU"
                  : "DirectML GEMM operator dispatches recorded back to back in Direct3D 12 command "
                    "lists; GPU timestamp queries before and after each series time it on the GPU");
    w.EndObject();
}

void WriteTool(JsonWriter& w, const BuildInfo& tool) {
    w.BeginObject();
    w.Key("name");
    w.String(tool.name);
    w.Key("version");
    w.String(tool.version);
    w.Key("platform");
    w.String(tool.platform);
    w.Key("compiler");
    w.String(tool.compiler);
    w.EndObject();
}

void WriteHost(JsonWriter& w, const HostInfo& host) {
    w.BeginObject();
    w.Key("osName");
    StringOrNull(w, host.osName);
    w.Key("osVersion");
    StringOrNull(w, host.osVersion);
    w.Key("cpuModel");
    StringOrNull(w, host.cpuModel);
    w.EndObject();
}

void WriteInputs(JsonWriter& w, const RunReport& report) {
    w.BeginObject();
    w.Key("hashAlgorithm");
    w.String("xxh64");
    w.Key("hash");
    if (report.inputsHash) {
        char text[24];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(*report.inputsHash));
        w.String(text);
    } else {
        w.Null();
    }
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
    w.Key("standardDeviation");
    Timing(w, SeriesStandardDeviation(r));
    w.EndObject();
}

void WriteValidation(JsonWriter& w, const RunReport& report) {
    w.BeginObject();
    w.Key("status");
    w.String(ValidationName(report));
    w.Key("checkedElements");
    w.BeginArray();
    for (std::size_t i = 0; i < std::size(gemm::kCheckedElements); ++i) {
        const gemm::MatrixPosition& p = gemm::kCheckedElements[i];
        const ElementCheck* check = i < report.checkedElements.size() ? &report.checkedElements[i] : nullptr;
        w.BeginObject();
        w.Key("row");
        w.Integer(p.row);
        w.Key("col");
        w.Integer(p.col);
        w.Key("gpuValue");
        if (check) w.Number(check->gpu); else w.Null();
        w.Key("reference");
        if (check) w.Number(check->reference); else w.Null();
        w.Key("difference");
        if (check) w.Number(check->difference); else w.Null();
        w.Key("tolerance");
        if (check) w.Number(check->tolerance); else w.Null();
        w.Key("passed");
        if (check) w.Bool(check->passed); else w.Null();
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
    w.Key("intervalMs");
    w.Integer(report.clocks.intervalMs);
    w.Key("samples");
    w.BeginArray();
    for (const SeriesClocks& c : report.clocks.series) {
        const bool sampled = c.sampleCount > 0;
        w.BeginObject();
        w.Key("afterSeries");
        w.Integer(c.series);
        w.Key("sampleCount");
        w.Integer(c.sampleCount);
        w.Key("failedQueries");
        w.Integer(c.failedQueries);
        w.Key("smClockMHz");  // the lowest clock of the series: where it throttled
        if (sampled) w.Number(c.smClockMHz->min); else w.Null();
        w.Key("eventReasons");
        if (sampled) w.Unsigned(c.eventReasons); else w.Null();
        w.Key("eventReasonNames");
        if (sampled) {
            w.BeginArray();
            for (const std::string& name : ClockEventReasonNames(c.eventReasons)) w.String(name);
            w.EndArray();
        } else {
            w.Null();
        }
        for (const auto& [key, range] : {std::pair{"smClockMHzRange", c.smClockMHz},
                                         std::pair{"powerWatts", c.powerWatts},
                                         std::pair{"temperatureC", c.temperatureC}}) {
            w.Key(key);
            if (range) {
                w.BeginObject();
                w.Key("min");
                w.Number(range->min);
                w.Key("mean");
                w.Number(range->mean);
                w.Key("max");
                w.Number(range->max);
                w.EndObject();
            } else {
                w.Null();
            }
        }
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
}

void WriteComponents(JsonWriter& w, const ComponentVersions& c, const CardDetails& card) {
    w.BeginObject();
    w.Key("cudaRuntime");
    StringOrNull(w, c.cudaRuntime);
    w.Key("cudaDriver");
    StringOrNull(w, c.cudaDriver);
    w.Key("cublas");
    StringOrNull(w, c.cublas);
    w.Key("cublasLibraryPath");
    StringOrNull(w, c.cublasLibraryPath);
    w.Key("cudaDriverLibraryPath");
    StringOrNull(w, card.cudaDriverLibraryPath);
    w.Key("directMl");
    StringOrNull(w, card.directMlVersion);
    w.Key("directMlLibraryPath");
    StringOrNull(w, card.directMlLibraryPath);
    w.EndObject();
}

}  // namespace

SeriesTiming SeriesStandardDeviation(const BenchmarkResult& result) {
    constexpr int n = BenchmarkPlan::seriesCount;
    double meanMs = 0.0, meanTflops = 0.0;
    for (const SeriesTiming& s : result.series) {
        meanMs += s.msPerMultiplication / n;
        meanTflops += s.tflops / n;
    }
    double squaresMs = 0.0, squaresTflops = 0.0;
    for (const SeriesTiming& s : result.series) {
        squaresMs += (s.msPerMultiplication - meanMs) * (s.msPerMultiplication - meanMs);
        squaresTflops += (s.tflops - meanTflops) * (s.tflops - meanTflops);
    }
    return {std::sqrt(squaresMs / (n - 1)), std::sqrt(squaresTflops / (n - 1))};
}

std::string FormatUtcIso8601(std::int64_t secondsSinceEpoch) {
    // Days to a civil date (proleptic Gregorian), so no time-zone state of the C library is used.
    const std::int64_t days = (secondsSinceEpoch >= 0 ? secondsSinceEpoch : secondsSinceEpoch - 86399) / 86400;
    const std::int64_t secondOfDay = secondsSinceEpoch - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(secondOfDay / 3600), static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60));
    return text;
}

std::string WriteJsonReport(const RunReport& report) {
    JsonWriter w;
    w.BeginObject();
    w.Key("schemaVersion");
    w.Integer(kJsonSchemaVersion);
    w.Key("tool");
    WriteTool(w, report.tool);
    w.Key("startedAt");
    StringOrNull(w, report.startedAt);
    w.Key("host");
    WriteHost(w, report.host);
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
    w.Key("method");
    WriteMethod(w, report);
    w.Key("inputs");
    WriteInputs(w, report);
    w.Key("result");
    WriteResult(w, report);
    w.Key("validation");
    WriteValidation(w, report);
    w.Key("comparison");
    WriteComparison(w, report);
    w.Key("clocks");
    WriteClocks(w, report);
    w.Key("components");
    WriteComponents(w, report.components, report.card);
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
        text += PadRight(pick(L"SM, МГц", L"SM MHz"), column) +  // lowest sample
                pick(L"Причины снижения частоты", L"Clock-event reasons");
    }
    text += L'\n';
    for (int k = 1; k <= BenchmarkPlan::seriesCount; ++k) {
        const SeriesTiming& s = r.series[k - 1];
        std::wstring row = PadRight(FormatCount(static_cast<std::uint64_t>(k)), 8) +
                           PadRight(FormatDecimal(s.msPerMultiplication, 2, lang), column) +
                           PadRight(FormatDecimal(s.tflops, 2, lang), column);
        if (report.clocks.available) {
            const auto sample = std::find_if(report.clocks.series.begin(), report.clocks.series.end(),
                                             [k](const SeriesClocks& c) { return c.series == k; });
            if (sample == report.clocks.series.end() || sample->sampleCount == 0) {
                row += L"\u2014";
            } else {
                // The lowest clock of the series: where it throttled, if it did.
                row += PadRight(FormatCount(static_cast<std::uint64_t>(sample->smClockMHz->min)), column);
                const auto names = ClockEventReasonNames(sample->eventReasons);
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
    text += pick(L"Стандартное отклонение: ", L"Standard deviation: ") +
            FormatDecimal(SeriesStandardDeviation(r).msPerMultiplication, 3, lang) + ms + L'\n';
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

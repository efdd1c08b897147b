#include "cli/formats/json_document.h"

#include <cstdio>
#include <iterator>

#include "cli/formats/json_writer.h"
#include "cli/formats/run_texts.h"
#include "core/input_matrices.h"
#include "core/utf8.h"
#include "presentation/reference.h"

namespace cli {
namespace {

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

const char* ClocksUnavailableName(ClocksUnavailable reason) {
    switch (reason) {
        case ClocksUnavailable::None: return nullptr;
        case ClocksUnavailable::NotReached: return "notReached";
        case ClocksUnavailable::NotNvidia: return "notNvidia";
        case ClocksUnavailable::BusIdUnknown: return "busIdUnknown";
        case ClocksUnavailable::NvmlMissing: return "nvmlMissing";
        case ClocksUnavailable::NvmlInitFailed: return "nvmlInitFailed";
        case ClocksUnavailable::NvmlDeviceNotFound: return "nvmlDeviceNotFound";
    }
    return nullptr;
}

// A result exists only after the check passed; read-back elements without one mark a failed check.
const char* ValidationName(const CardRecord& card) {
    if (card.result) return "passed";
    if (!card.checkedElements.empty()) return "failed";
    return "notReached";
}

void Timing(JsonWriter& w, const SeriesTiming& timing) {
    w.BeginObject();
    w.Key("msPerMultiplication");
    w.Number(timing.msPerMultiplication);
    w.Key("tflops");
    w.Number(timing.tflops);
    w.EndObject();
}

void WriteTool(JsonWriter& w, const BuildInfo& tool) {
    StringObject(w, {{"name", tool.name}, {"version", tool.version}, {"platform", tool.platform},
                     {"compiler", tool.compiler}});
}

void WriteHost(JsonWriter& w, const HostInfo& host) {
    w.BeginObject();
    for (const auto& [key, value] : {std::pair{"name", &host.name}, std::pair{"osName", &host.osName},
                                     std::pair{"osVersion", &host.osVersion}, std::pair{"cpuModel", &host.cpuModel}}) {
        w.Key(key);
        StringOrNull(w, *value);
    }
    w.EndObject();
}

void WriteOptions(JsonWriter& w, const RunRecord& run) {
    w.BeginObject();
    w.Key("target");
    if (run.allTargets) {
        w.String("all");
    } else if (run.requestedTarget) {
        w.Integer(*run.requestedTarget);
    } else {
        w.Null();
    }
    w.Key("concurrent");
    w.Bool(run.concurrent);
    w.Key("tolerancePercent");
    w.Number(run.tolerancePercent);
    w.Key("reference");
    w.Integer(run.reference);
    w.Key("show");
    w.String(ShowName(run.show));
    w.EndObject();
}

void WritePlan(JsonWriter& w) {
    w.BeginObject();
    w.Key("matrixSize");
    w.Integer(BenchmarkPlan::matrixSize);
    w.Key("elementFormat");
    w.String("fp16");
    w.Key("accumulation");
    w.String("fp32");
    w.Key("seriesCount");
    w.Integer(BenchmarkPlan::seriesCount);
    w.Key("flopsPerMultiplication");
    w.Number(BenchmarkPlan::flopsPerMultiplication);
    w.EndObject();
}

void WriteReference(JsonWriter& w, const RunRecord& run) {
    const ReferenceMeasurement* reference = SelectedReference(run.reference);
    if (reference == nullptr) {
        w.Null();
        return;
    }
    w.BeginObject();
    w.Key("index");
    w.Integer(run.reference);
    w.Key("name");
    w.String(WideToUtf8(reference->name));
    w.Key("detail");
    w.String(WideToUtf8(reference->detail));
    w.Key("msBefore");
    w.Number(reference->msBefore);
    w.Key("tflopsBefore");
    w.Number(reference->tflopsBefore);
    w.Key("msAfter");
    NumberOrNull(w, reference->hasAfter, reference->msAfter);
    w.Key("tflopsAfter");
    NumberOrNull(w, reference->hasAfter, reference->tflopsAfter);
    w.Key("msFromTflops");
    w.Bool(reference->msFromTflops);
    w.EndObject();
}

void WriteComponents(JsonWriter& w, const ComponentVersions& c) {
    w.BeginObject();
    for (const auto& [key, value] :
         {std::pair{"cudaRuntime", &c.cudaRuntime}, std::pair{"cudaDriver", &c.cudaDriver},
          std::pair{"cublas", &c.cublas}, std::pair{"cublasLibraryPath", &c.cublasLibraryPath},
          std::pair{"cublasLtLibraryPath", &c.cublasLtLibraryPath},
          std::pair{"cudaDriverLibraryPath", &c.cudaDriverLibraryPath}, std::pair{"directMl", &c.directMl},
          std::pair{"directMlLibraryPath", &c.directMlLibraryPath}}) {
        w.Key(key);
        StringOrNull(w, *value);
    }
    w.EndObject();
}

void WriteOutcome(JsonWriter& w, RunStatus status, const std::string* message, const std::string& error) {
    w.BeginObject();
    w.Key("status");
    w.String(RunStatusName(status));
    if (message) {
        w.Key("message");
        w.String(*message);
    }
    w.Key("error");
    if (status == RunStatus::Error) w.String(error); else w.Null();
    w.EndObject();
}

void WriteTarget(JsonWriter& w, const CardRecord& card) {
    const GpuTarget& t = card.target;
    const CardDetails& d = card.details;
    w.BeginObject();
    w.Key("index");
    w.Unsigned(card.index);
    w.Key("name");
    w.String(t.name);
    w.Key("backend");
    w.String(t.backend == BackendKind::DirectMl ? "directml" : "cuda");
    w.Key("cudaOrdinal");
    if (t.backend == BackendKind::Cuda) w.Integer(t.cudaOrdinal); else w.Null();
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
    StringOrNull(w, card.pciBusId);
    w.Key("uuid");
    StringOrNull(w, d.uuid);
    w.Key("driverVersion");
    StringOrNull(w, d.driverVersion);
    w.Key("computeCapability");
    StringOrNull(w, d.computeCapabilityMajor > 0 ? std::to_string(d.computeCapabilityMajor) + "." +
                                                       std::to_string(d.computeCapabilityMinor)
                                                 : std::string());
    w.Key("smCount");
    if (d.smCount > 0) w.Integer(d.smCount); else w.Null();
    w.EndObject();
}

void WriteRunShape(JsonWriter& w, const RunShape& shape) {
    w.BeginObject();
    w.Key("warmupMultiplications");
    w.Integer(shape.warmupMultiplications);
    w.Key("multiplicationsPerSeries");
    w.Integer(shape.multiplicationsPerSeries);
    w.EndObject();
}

void WriteMethod(JsonWriter& w, BackendKind backend) {
    const bool cuda = backend == BackendKind::Cuda;
    w.BeginObject();
    w.Key("timing");
    w.String(cuda ? "cudaEvents" : "d3d12Timestamps");
    w.Key("description");
    w.String(cuda ? "cuBLAS cublasGemmEx multiplications are queued back to back on one CUDA stream; a CUDA "
                    "event recorded before and one after each series time the whole series on the GPU, "
                    "including any gaps between the multiplications"
                  : "each DirectML GEMM dispatch (on an integrated GPU, each of its row blocks) is submitted on "
                    "its own, timed on the GPU by a pair of Direct3D 12 timestamp queries around it and waited "
                    "for; the series time is the sum of these intervals and leaves out the gaps between "
                    "submissions");
    w.EndObject();
}

void WriteInputs(JsonWriter& w, const CardRecord& card) {
    w.BeginObject();
    w.Key("hashAlgorithm");
    w.String("xxh64");
    w.Key("hash");
    if (card.inputsHash) {
        char text[24];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(*card.inputsHash));
        w.String(text);
    } else {
        w.Null();
    }
    w.EndObject();
}

void WriteResult(JsonWriter& w, const CardRecord& card) {
    if (!card.result) {
        w.Null();
        return;
    }
    const SeriesStatistics& r = *card.result;
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
    Timing(w, r.fastest);
    w.Key("max");
    Timing(w, r.slowest);
    w.EndObject();
    w.Key("standardDeviation");
    Timing(w, r.standardDeviation);
    w.EndObject();
}

void WriteValidation(JsonWriter& w, const CardRecord& card) {
    w.BeginObject();
    w.Key("status");
    w.String(ValidationName(card));
    w.Key("checkedElements");
    w.BeginArray();
    for (std::size_t i = 0; i < std::size(gemm::kCheckedElements); ++i) {
        const gemm::MatrixPosition& p = gemm::kCheckedElements[i];
        const ElementCheck* check = i < card.checkedElements.size() ? &card.checkedElements[i] : nullptr;
        w.BeginObject();
        w.Key("row");
        w.Integer(p.row);
        w.Key("col");
        w.Integer(p.col);
        for (const auto& [key, value] : {std::pair{"gpuValue", check ? check->gpu : 0.0f},
                                         std::pair{"reference", check ? check->reference : 0.0f},
                                         std::pair{"difference", check ? check->difference : 0.0f},
                                         std::pair{"tolerance", check ? check->tolerance : 0.0f}}) {
            w.Key(key);
            NumberOrNull(w, check != nullptr, value);
        }
        w.Key("passed");
        if (check) w.Bool(check->passed); else w.Null();
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
}

void WriteComparison(JsonWriter& w, const RunRecord& run, const CardRecord& card) {
    const ReferenceMeasurement* reference = SelectedReference(run.reference);
    if (reference == nullptr) {
        w.Null();
        return;
    }
    const int filter = static_cast<int>(run.show);
    const double tflops = card.result ? card.result->median.tflops : 0.0;
    w.BeginObject();
    w.Key("vsBeforePercent");
    NumberOrNull(w, card.result && ReferenceShowsBefore(*reference, filter),
                 ComparisonPercent(tflops, reference->tflopsBefore));
    w.Key("vsAfterPercent");
    NumberOrNull(w, card.result && ReferenceShowsAfter(*reference, filter),
                 ComparisonPercent(tflops, reference->tflopsAfter));
    w.EndObject();
}

void WriteRange(JsonWriter& w, const std::optional<Range>& range) {
    if (!range) {
        w.Null();
        return;
    }
    w.BeginObject();
    w.Key("min");
    w.Number(range->min);
    w.Key("mean");
    w.Number(range->mean);
    w.Key("max");
    w.Number(range->max);
    w.EndObject();
}

void WriteClocks(JsonWriter& w, const ClockRecord& clocks) {
    w.BeginObject();
    w.Key("source");
    w.String("nvml");
    w.Key("available");
    w.Bool(clocks.unavailable == ClocksUnavailable::None);
    w.Key("unavailableReason");
    if (const char* reason = ClocksUnavailableName(clocks.unavailable)) w.String(reason); else w.Null();
    w.Key("nvmlReturnCode");
    if (clocks.unavailable == ClocksUnavailable::NvmlInitFailed) w.Integer(clocks.nvmlReturnCode); else w.Null();
    w.Key("complete");
    w.Bool(clocks.complete);
    w.Key("intervalMs");
    w.Integer(clocks.intervalMs);
    w.Key("samples");
    w.BeginArray();
    for (const SeriesClocks& c : clocks.series) {
        const bool sampled = c.sampleCount > 0;
        w.BeginObject();
        w.Key("afterSeries");
        w.Integer(c.series);
        w.Key("sampleCount");
        w.Integer(c.sampleCount);
        w.Key("failedQueries");
        w.Integer(c.failedQueries);
        w.Key("smClockMHz");  // the lowest clock of the series: where it throttled
        NumberOrNull(w, sampled, sampled ? c.smClockMHz->min : 0.0);
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
        w.Key("smClockMHzRange");
        WriteRange(w, c.smClockMHz);
        w.Key("powerWatts");
        WriteRange(w, c.powerWatts);
        w.Key("temperatureC");
        WriteRange(w, c.temperatureC);
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
}

void WriteVerdict(JsonWriter& w, const CardRecord& card) {
    if (!card.verdict) {
        w.Null();
        return;
    }
    const CardVerdict& v = *card.verdict;
    const bool measured = v.verdict != Verdict::Failed;
    w.BeginObject();
    w.Key("status");
    w.String(VerdictName(v.verdict));
    w.Key("slow");
    w.Bool(v.slow);
    w.Key("throttled");
    w.Bool(v.slowdownReasons != 0);
    w.Key("slowdownReasonNames");
    w.BeginArray();
    for (const std::string& name : ClockEventReasonNames(v.slowdownReasons)) w.String(name);
    w.EndArray();
    w.Key("modelMedianMs");
    NumberOrNull(w, measured, v.modelMedianMs);
    w.Key("vsModelMedianPercent");
    NumberOrNull(w, measured && card.result,
                 card.result ? PercentAboveModel(card.result->median.msPerMultiplication, v.modelMedianMs) : 0.0);
    w.EndObject();
}

void WriteCard(JsonWriter& w, const RunRecord& run, const CardRecord& card) {
    w.BeginObject();
    w.Key("target");
    WriteTarget(w, card);
    w.Key("outcome");
    WriteOutcome(w, card.status, nullptr, card.errorText);
    w.Key("runShape");
    WriteRunShape(w, card.shape);
    w.Key("method");
    WriteMethod(w, card.target.backend);
    w.Key("inputs");
    WriteInputs(w, card);
    w.Key("result");
    WriteResult(w, card);
    w.Key("validation");
    WriteValidation(w, card);
    w.Key("comparison");
    WriteComparison(w, run, card);
    w.Key("clocks");
    WriteClocks(w, card.clocks);
    w.Key("verdict");
    WriteVerdict(w, card);
    w.EndObject();
}

}  // namespace

const char* RunStatusName(RunStatus status) {
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

std::string WriteJsonDocument(const RunRecord& run) {
    JsonWriter w;
    w.BeginObject();
    w.Key("schemaVersion");
    w.Integer(kJsonSchemaVersion);
    w.Key("tool");
    WriteTool(w, run.tool);
    w.Key("startedAt");
    w.String(FormatUtcIso8601(run.startedAt));
    w.Key("host");
    WriteHost(w, run.host);
    w.Key("language");
    w.String(run.language == Language::English ? "en" : "ru");
    w.Key("options");
    WriteOptions(w, run);
    w.Key("plan");
    WritePlan(w);
    w.Key("reference");
    WriteReference(w, run);
    w.Key("components");
    WriteComponents(w, run.components);
    w.Key("outcome");
    const std::string message = WideToUtf8(OutcomeText(run).en);
    WriteOutcome(w, run.status, &message, run.errorText);
    w.Key("cards");
    w.BeginArray();
    for (const CardRecord& card : run.cards) WriteCard(w, run, card);
    w.EndArray();
    w.EndObject();
    return w.Text();
}

}  // namespace cli

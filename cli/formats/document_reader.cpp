#include "cli/formats/document_reader.h"

#include <charconv>
#include <cstdio>
#include <iterator>
#include <stdexcept>
#include <type_traits>
#include <variant>

#include "cli/formats/json_document.h"
#include "cli/formats/json_reader.h"
#include "cli/formats/terminal_text.h"
#include "core/utf8.h"

namespace cli {
namespace {

[[noreturn]] void Refuse(const std::string& reason) { throw std::runtime_error(reason); }

std::string ByteAt(std::string_view bytes, std::size_t offset) {
    char text[48];
    std::snprintf(text, sizeof text, "byte 0x%02X at offset %zu", static_cast<unsigned char>(bytes[offset]), offset);
    return text;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) Refuse("UTF-16 text with an odd number of bytes");
    const auto unit = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? first << 8 | second : second << 8 | first);
    };
    std::string utf8;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            Refuse("UTF-16 text with an unpaired surrogate at offset " + std::to_string(i + 2));
        }
        utf8_detail::AppendUtf8(utf8, c);
    }
    return utf8;
}

// A document's value with the path that names it in messages.
class Field {
public:
    Field(const json::Value& value, std::string path) : value_(value), path_(std::move(path)) {}

    Field operator[](const std::string& key) const {
        if (!value_.IsObject()) Refuse(Named() + " is not an object");
        if (!value_.Has(key)) Refuse(Named(key) + " is missing");
        return {value_[key], path_.empty() ? key : path_ + "." + key};
    }
    Field operator[](std::size_t index) const {
        return {value_.AsArray().at(index), path_ + "[" + std::to_string(index) + "]"};
    }
    bool IsNull() const { return value_.IsNull(); }
    std::size_t Size() const { return As<json::Array>("an array").size(); }
    double Number() const { return As<double>("a number"); }
    const std::string& Text() const { return As<std::string>("a text"); }
    bool Bool() const { return As<bool>("true or false"); }
    // A whole number from 0 to maximum.
    std::uint64_t Count(double maximum) const {
        const double value = Number();
        if (!(value >= 0 && value <= maximum) || value != static_cast<double>(static_cast<std::uint64_t>(value))) {
            Refuse(Named() + " is not a whole number from 0 to " + std::to_string(static_cast<std::uint64_t>(maximum)));
        }
        return static_cast<std::uint64_t>(value);
    }
    std::string Named(const std::string& key = {}) const {
        return QuotedTerminalText(path_.empty() ? key : key.empty() ? path_ : path_ + "." + key, 60);
    }

private:
    template <typename T>
    const T& As(const char* expected) const {
        try {
            if constexpr (std::is_same_v<T, json::Array>) {
                return value_.AsArray();
            } else {
                return std::get<T>(value_.data);
            }
        } catch (const std::exception&) {
            Refuse(Named() + " is not " + expected);
        }
    }

    const json::Value& value_;
    std::string path_;
};

RunStatus StatusNamed(const Field& field) {
    for (const RunStatus status :
         {RunStatus::Completed, RunStatus::Interrupted, RunStatus::Error, RunStatus::NoCompatibleGpu,
          RunStatus::TargetNotReady, RunStatus::TargetOutOfRange}) {
        if (field.Text() == RunStatusName(status)) return status;
    }
    Refuse(field.Named() + " is no outcome this mivaro-cli knows ('" + TerminalText(field.Text(), 40) + "')");
}

// The figures every plan has: a document of other figures is no result of this benchmark.
void CheckPlan(const Field& plan) {
    if (plan["matrixSize"].Number() != BenchmarkPlan::matrixSize || plan["elementFormat"].Text() != "fp16" ||
        plan["accumulation"].Text() != "fp32" || plan["seriesCount"].Number() != BenchmarkPlan::seriesCount) {
        Refuse("its plan is not 5 series of FP16 8192 x 8192 multiplications with FP32 accumulation");
    }
}

SeriesTiming TimingIn(const Field& timing) {
    return {timing["msPerMultiplication"].Number(), timing["tflops"].Number()};
}

// A card's part of a document: target is the 'target' object, and the others as named.
CardRecord ReadCard(const Field& target, const Field& shape, const Field& outcome, const Field& result,
                    const Field& inputs, const Field& clocks) {
    CardRecord card;
    card.index = target["index"].Count(1e6);
    GpuTarget& t = card.target;
    t.name = target["name"].Text();
    const std::string& backend = target["backend"].Text();
    if (backend != "cuda" && backend != "directml") Refuse(target["backend"].Named() + " is neither cuda nor directml");
    t.backend = backend == "cuda" ? BackendKind::Cuda : BackendKind::DirectMl;
    if (t.backend == BackendKind::Cuda) t.cudaOrdinal = static_cast<std::int32_t>(target["cudaOrdinal"].Count(1e6));
    t.dedicatedMemoryBytes = target["dedicatedMemoryBytes"].Count(9007199254740992.0);
    t.sharedMemoryBytes = target["sharedMemoryBytes"].Count(9007199254740992.0);
    t.boardVendorId = static_cast<std::uint32_t>(target["boardVendorId"].Count(0xFFFF));
    t.integrated = target["integrated"].Bool();
    if (!target["pciBusId"].IsNull()) card.pciBusId = target["pciBusId"].Text();
    if (!target["uuid"].IsNull()) card.details.uuid = target["uuid"].Text();

    card.shape.warmupMultiplications = static_cast<int>(shape["warmupMultiplications"].Count(1e6));
    card.shape.multiplicationsPerSeries = static_cast<int>(shape["multiplicationsPerSeries"].Count(1e6));
    card.status = StatusNamed(outcome["status"]);
    if (card.status == RunStatus::Error) card.errorText = outcome["error"].Text();

    if (!result.IsNull()) {
        const Field series = result["series"];
        if (series.Size() != BenchmarkPlan::seriesCount) Refuse(series.Named() + " does not hold 5 series");
        SeriesTiming timings[BenchmarkPlan::seriesCount];
        for (std::size_t i = 0; i < std::size(timings); ++i) timings[i] = TimingIn(series[i]);
        card.result = ComputeStatistics(timings, TimingIn(result["median"]));
    }
    if (!inputs["hash"].IsNull()) {
        const std::string& hash = inputs["hash"].Text();
        std::uint64_t value = 0;
        const auto r = std::from_chars(hash.data(), hash.data() + hash.size(), value, 16);
        if (hash.size() != 16 || r.ec != std::errc{} || r.ptr != hash.data() + hash.size()) {
            Refuse(inputs["hash"].Named() + " is not 16 hexadecimal digits");
        }
        card.inputsHash = value;
    }
    const Field samples = clocks["samples"];
    for (std::size_t i = 0; i < samples.Size(); ++i) {
        SeriesClocks& series = card.clocks.series.emplace_back();
        series.series = static_cast<int>(samples[i]["afterSeries"].Count(BenchmarkPlan::seriesCount));
        if (!samples[i]["eventReasons"].IsNull()) series.eventReasons = samples[i]["eventReasons"].Count(9007199254740992.0);
    }
    return card;
}

}  // namespace

std::string DecodeDocumentText(std::string_view bytes) {
    if (bytes.empty()) Refuse("the file is empty");
    if (bytes.starts_with(std::string_view("\x00\x00\xFE\xFF", 4)) ||
        bytes.starts_with(std::string_view("\xFF\xFE\x00\x00", 4))) {
        Refuse("UTF-32 text; save the document as UTF-8");
    }
    if (bytes.starts_with("\xFF\xFE")) return Utf16ToUtf8(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF")) return Utf16ToUtf8(bytes.substr(2), true);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (bytes.size() >= 2 && (bytes[0] == '\0' || bytes[1] == '\0')) {
        Refuse("UTF-16 text without a byte-order mark; save the document as UTF-8");
    }
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {  // ASCII: most of a document
            ++i;
            continue;
        }
        const std::size_t length = DecodeUtf8(bytes.substr(i)).length;
        if (length == 0) Refuse("not UTF-8 text (" + ByteAt(bytes, i) + ")");
        i += length;
    }
    return std::string(bytes);
}

RunRecord ReadRunDocument(std::string_view utf8) {
    const json::Value parsed = json::Parse(utf8);
    const Field doc(parsed, "");
    if (!parsed.IsObject() || !parsed.Has("schemaVersion") || !parsed["schemaVersion"].IsNumber()) {
        Refuse("not a mivaro-cli result (no schemaVersion)");
    }
    const double schema = parsed["schemaVersion"].AsNumber();
    if (schema != 2 && schema != 3) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", schema);
        Refuse(std::string("schema version ") + text + " is not one this mivaro-cli reads (2 or 3)");
    }
    RunRecord run;
    run.status = StatusNamed(doc["outcome"]["status"]);
    if (run.status == RunStatus::Error) run.errorText = doc["outcome"]["error"].Text();
    if (schema == 2) {
        // One card at most, its parts at the top.
        CheckPlan(doc["plan"]);
        if (!doc["target"].IsNull()) {
            run.cards.push_back(
                ReadCard(doc["target"], doc["plan"], doc["outcome"], doc["result"], doc["inputs"], doc["clocks"]));
        }
        return run;
    }
    CheckPlan(doc["plan"]);
    if (!doc["host"]["name"].IsNull()) run.host.name = doc["host"]["name"].Text();
    const Field cards = doc["cards"];
    for (std::size_t i = 0; i < cards.Size(); ++i) {
        const Field card = cards[i];
        run.cards.push_back(
            ReadCard(card["target"], card["runShape"], card["outcome"], card["result"], card["inputs"], card["clocks"]));
    }
    return run;
}

}  // namespace cli

#include "cli/compare.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "cli/json_reader.h"
#include "cli/options.h"
#include "cli/progress_display.h"
#include "cli/run_report.h"

namespace cli {
namespace {

// The figures of one document that the comparison shows or checks.
struct Summary {
    std::string card;
    double medianMs = 0.0;
    double medianTflops = 0.0;
    std::string plan;                 // the plan's figures as one comparable text
    std::optional<std::string> hash;  // inputs hash; absent in schema 1 documents
};

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string SignedPercent(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%+.1f%%", value);
    return text;
}

// A text from a document as the terminal may show it: control characters as \xNN (no escape
// sequence reaches the terminal), cut after 80 code points.
std::string Printable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    std::size_t codePoints = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool startsCodePoint = (byte & 0xC0) != 0x80;
        if (startsCodePoint && ++codePoints > 80) return shown + "...";
        if (byte < 0x20 || byte == 0x7F) {
            shown += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        } else {
            shown += c;
        }
    }
    return shown;
}

// Throws std::runtime_error with the reason a document cannot take part.
Summary ReadSummary(std::string_view text) {
    const json::Value doc = json::Parse(text);
    if (!doc.IsObject() || !doc.Has("schemaVersion") || !doc["schemaVersion"].IsNumber()) {
        throw std::runtime_error("not a mivaro-cli result (no schemaVersion)");
    }
    const double schema = doc["schemaVersion"].AsNumber();
    if (schema < 1 || schema > kJsonSchemaVersion) {
        throw std::runtime_error("schema version " + Fixed(schema, 0) + " is not one this mivaro-cli reads (1 to " +
                                 std::to_string(kJsonSchemaVersion) + ")");
    }
    const std::string status = doc["outcome"]["status"].AsString();
    if (status != "completed" || doc["result"].IsNull()) {
        throw std::runtime_error("holds no result (outcome '" + EscapedArgument(status) + "')");
    }
    Summary s;
    s.card = Printable(doc["target"]["displayName"].AsString());
    s.medianMs = doc["result"]["median"]["msPerMultiplication"].AsNumber();
    s.medianTflops = doc["result"]["median"]["tflops"].AsNumber();
    if (!(s.medianMs > 0) || !(s.medianTflops > 0)) throw std::runtime_error("its median is not a positive time");
    const json::Value& plan = doc["plan"];
    for (const char* key : {"matrixSize", "warmupMultiplications", "seriesCount", "multiplicationsPerSeries"}) {
        s.plan += std::string(s.plan.empty() ? "" : ", ") + key + " " + Fixed(plan[key].AsNumber(), 0);
    }
    s.plan += ", " + Printable(plan["elementFormat"].AsString()) + "/" + Printable(plan["accumulation"].AsString());
    if (doc.Has("inputs") && !doc["inputs"]["hash"].IsNull()) s.hash = doc["inputs"]["hash"].AsString();
    return s;
}

// Pads to a column by code points, so names such as "RTX 4090 · cuBLAS" line up.
void PadTo(std::string& text, std::size_t column) {
    const std::size_t columns = Utf8Columns(text);
    text.append(std::max<std::size_t>(2, column > columns ? column - columns : 0), ' ');
}

std::string Row(const std::string& label, const std::string& first, const std::string& second) {
    std::string row = label;
    PadTo(row, 18);
    row += first;
    PadTo(row, 18 + 48);
    return row + second + '\n';
}

}  // namespace

Comparison CompareDocuments(std::string_view firstName, std::string_view firstText,
                            std::string_view secondName, std::string_view secondText) {
    Summary docs[2];
    const std::string_view names[2] = {firstName, secondName};
    const std::string_view texts[2] = {firstText, secondText};
    for (int i = 0; i < 2; ++i) {
        try {
            docs[i] = ReadSummary(texts[i]);
        } catch (const std::exception& error) {  // a malformed document, a missing or mistyped field
            std::string reason(1, '\'');
            reason += EscapedArgument(names[i]);
            reason += "': ";
            reason += error.what();
            return {{}, reason};
        }
    }
    const Summary& a = docs[0];
    const Summary& b = docs[1];
    std::string text = Row("", EscapedArgument(firstName), EscapedArgument(secondName));
    text += Row("Card", a.card, b.card);
    text += Row("Median time", Fixed(a.medianMs, 3) + " ms", Fixed(b.medianMs, 3) + " ms");
    text += Row("Median TFLOPS", Fixed(a.medianTflops, 2), Fixed(b.medianTflops, 2));
    text += "Second vs first: time " + SignedPercent((b.medianMs / a.medianMs - 1) * 100) + ", TFLOPS " +
            SignedPercent((b.medianTflops / a.medianTflops - 1) * 100) + '\n';
    if (a.plan != b.plan) {
        text += "WARNING: the plans differ, the times are not directly comparable:\n  first:  " + a.plan +
                "\n  second: " + b.plan + '\n';
    }
    if (!a.hash || !b.hash) {
        text += "WARNING: the input hash is missing from " +
                std::string(!a.hash && !b.hash ? "both documents" : !a.hash ? "the first" : "the second") +
                " (written before schema version 2): identical inputs cannot be confirmed\n";
    } else if (*a.hash != *b.hash) {
        text += "WARNING: the input hashes differ (" + EscapedArgument(*a.hash) + " vs " + EscapedArgument(*b.hash) +
                "): the two runs multiplied different matrices\n";
    }
    return {text, {}};
}

}  // namespace cli

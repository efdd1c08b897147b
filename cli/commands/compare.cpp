#include "cli/commands/compare.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "cli/commands/progress_display.h"
#include "cli/formats/document_reader.h"
#include "cli/formats/json_document.h"
#include "cli/formats/run_texts.h"
#include "cli/formats/terminal_text.h"
#include "core/utf8.h"

namespace cli {
namespace {

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

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// The one completed card of a document; throws the reason when there is none.
CardRecord CompletedCard(std::string_view contents) {
    RunRecord run = ReadRunDocument(DecodeDocumentText(contents));
    if (run.cards.size() > 1) {
        throw std::runtime_error("holds " + std::to_string(run.cards.size()) + " cards; compare takes one each");
    }
    if (run.cards.empty() || run.cards.front().status != RunStatus::Completed || !run.cards.front().result) {
        const RunStatus status = run.cards.empty() ? run.status : run.cards.front().status;
        throw std::runtime_error(std::string("holds no result (outcome '") + RunStatusName(status) + "')");
    }
    const SeriesTiming& median = run.cards.front().result->median;
    if (!(median.msPerMultiplication > 0) || !(median.tflops > 0)) {
        throw std::runtime_error("its median is not a positive time");
    }
    return std::move(run.cards.front());
}

std::string PlanText(const RunShape& shape) {
    return std::to_string(shape.warmupMultiplications) + " warm-up, " + std::to_string(shape.seriesCount) +
           " series of " + std::to_string(shape.multiplicationsPerSeries);
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

Comparison CompareDocuments(std::string_view firstName, std::string_view firstContents,
                            std::string_view secondName, std::string_view secondContents) {
    CardRecord cards[2];
    const std::string_view names[2] = {firstName, secondName};
    const std::string_view contents[2] = {firstContents, secondContents};
    for (int i = 0; i < 2; ++i) {
        try {
            cards[i] = CompletedCard(contents[i]);
        } catch (const std::exception& error) {  // not readable, not a document, no result
            return {{}, QuotedTerminalText(names[i]) + ": " + TerminalText(error.what())};
        }
    }
    const CardRecord& a = cards[0];
    const CardRecord& b = cards[1];
    const SeriesTiming& ma = a.result->median;
    const SeriesTiming& mb = b.result->median;
    const auto label = [](const CardRecord& card) {
        return TerminalText(WideToUtf8(CardItemText(card.target, Language::English)), 80);
    };
    std::string text = Row("", TerminalText(firstName), TerminalText(secondName));
    text += Row("Card", label(a), label(b));
    text += Row("Median time", Fixed(ma.msPerMultiplication, 3) + " ms", Fixed(mb.msPerMultiplication, 3) + " ms");
    text += Row("Median TFLOPS", Fixed(ma.tflops, 2), Fixed(mb.tflops, 2));
    text += "Second vs first: time " + SignedPercent((mb.msPerMultiplication / ma.msPerMultiplication - 1) * 100) +
            ", TFLOPS " + SignedPercent((mb.tflops / ma.tflops - 1) * 100) + '\n';
    if (a.shape != b.shape) {
        text += "WARNING: the plans differ, the times are not directly comparable:\n  first:  " + PlanText(a.shape) +
                "\n  second: " + PlanText(b.shape) + '\n';
    }
    if (!a.inputsHash || !b.inputsHash) {
        const char* which = !a.inputsHash && !b.inputsHash ? "both documents"
                            : !a.inputsHash                ? "the first"
                                                           : "the second";
        text += std::string("WARNING: the input hash is missing from ") + which +
                ": identical inputs cannot be confirmed\n";
    } else if (*a.inputsHash != *b.inputsHash) {
        text += "WARNING: the input hashes differ (" + Hex(*a.inputsHash) + " vs " + Hex(*b.inputsHash) +
                "): the two runs multiplied different matrices\n";
    }
    return {text, {}};
}

}  // namespace cli

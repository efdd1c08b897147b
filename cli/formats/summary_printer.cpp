#include "cli/formats/summary_printer.h"

#include <algorithm>
#include <span>
#include <vector>

#include "cli/formats/run_texts.h"
#include "cli/formats/terminal_text.h"
#include "core/utf8.h"
#include "presentation/configuration.h"
#include "presentation/control_texts.h"
#include "presentation/number_format.h"
#include "presentation/reference.h"

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

// A text from outside, or one that carries such a text, as the terminal may show it.
std::wstring Safe(const std::wstring& text) { return Utf8ToWide(TerminalText(WideToUtf8(text))); }

}  // namespace

std::string PrintCardSummary(const RunRecord& run, const CardRecord& card) {
    if (!card.result) return {};
    const Language lang = run.language;
    const auto pick = [lang](const wchar_t* ru, const wchar_t* en) {
        return std::wstring(lang == Language::English ? en : ru);
    };
    const std::wstring ms = pick(L" мс", L" ms");
    const SeriesStatistics& r = *card.result;
    const bool sampled = card.clocks.unavailable == ClocksUnavailable::None;

    std::wstring text = Safe(CardItemText(card.target, lang)) + L'\n';
    text += DecideConfiguration(std::span(&card.target, 1), 0, false, lang,
                                ControlTextFor(ControlId::ConfigurationLabel, lang))
                .label +
            L'\n';
    text += OutcomeText(run).Get(lang) + L"\n\n";
    text += ControlTextFor(ControlId::TimeChart, lang) + L": " + FormatDecimal(r.median.msPerMultiplication, 2, lang) +
            ms + L'\n';
    text += ControlTextFor(ControlId::PerformanceChart, lang) + L": " + FormatDecimal(r.median.tflops, 2, lang) +
            L" TFLOPS\n\n";

    // One row per series, in measured order, with the clocks sampled while it ran.
    const std::size_t column = 12;
    text += PadRight(pick(L"Серия", L"Series"), 8) + PadRight(pick(L"мс", L"ms"), column) + PadRight(L"TFLOPS", column);
    if (sampled) {
        text += PadRight(pick(L"SM, МГц", L"SM MHz"), column) +  // lowest sample
                pick(L"Причины снижения частоты", L"Clock-event reasons");
    }
    text += L'\n';
    for (int k = 1; k <= BenchmarkPlan::seriesCount; ++k) {
        const SeriesTiming& s = r.series[k - 1];
        std::wstring row = PadRight(FormatCount(static_cast<std::uint64_t>(k)), 8) +
                           PadRight(FormatDecimal(s.msPerMultiplication, 2, lang), column) +
                           PadRight(FormatDecimal(s.tflops, 2, lang), column);
        if (sampled) {
            const auto clocks = std::find_if(card.clocks.series.begin(), card.clocks.series.end(),
                                             [k](const SeriesClocks& c) { return c.series == k; });
            if (clocks == card.clocks.series.end() || clocks->sampleCount == 0) {
                row += L"\u2014";
            } else {
                // The lowest clock of the series: where it throttled, if it did.
                row += PadRight(FormatCount(static_cast<std::uint64_t>(clocks->smClockMHz->min)), column);
                const auto names = ClockEventReasonNames(clocks->eventReasons);
                if (names.empty()) row += pick(L"нет", L"none");
                for (std::size_t i = 0; i < names.size(); ++i) row += (i ? L", " : L"") + Utf8ToWide(names[i]);
            }
        }
        text += row + L'\n';
    }
    text += pick(L"Разброс: ", L"Spread: ") + FormatDecimal(r.fastest.msPerMultiplication, 2, lang) + L" \u2013 " +
            FormatDecimal(r.slowest.msPerMultiplication, 2, lang) + ms + L'\n';
    text += pick(L"Стандартное отклонение: ", L"Standard deviation: ") +
            FormatDecimal(r.standardDeviation.msPerMultiplication, 3, lang) + ms + L'\n';
    if (!sampled) {
        text += pick(L"Частоты не измерялись: ", L"Clocks not sampled: ") +
                Safe(ClocksUnavailableText(card.clocks, card.pciBusId).Get(lang)) + L'\n';
    } else if (!card.clocks.complete) {
        text += pick(L"Частоты измерены не полностью: NVML не ответил за 1 с",
                     L"Clocks incomplete: NVML did not answer within 1 s") +
                L'\n';
    }

    const std::wstring comparison =
        BuildComparisonLine(run.reference, static_cast<int>(run.show), true, r.median.tflops, lang);
    if (!comparison.empty()) text += L'\n' + comparison + L'\n';
    return WideToUtf8(text);
}

std::string PrintCardsTable(const RunRecord& run) {
    const Language lang = run.language;
    const bool en = lang == Language::English;
    std::vector<std::wstring> names;
    std::size_t nameWidth = 0;
    for (const CardRecord& card : run.cards) {
        names.push_back(FormatCount(card.index) + L"  " + Safe(CardItemText(card.target, lang)));
        nameWidth = std::max(nameWidth, names.back().size());
    }
    nameWidth += 3;
    constexpr std::size_t kColumn = 12;
    std::wstring text = PadRight(en ? L"Card" : L"Видеокарта", nameWidth) +
                        PadRight(en ? L"Median" : L"Медиана", kColumn) + PadRight(L"TFLOPS", kColumn) +
                        (en ? L"Verdict" : L"Вердикт") + L'\n';
    for (std::size_t i = 0; i < run.cards.size(); ++i) {
        const CardRecord& card = run.cards[i];
        std::wstring row = PadRight(names[i], nameWidth);
        if (card.result) {
            row += PadRight(FormatDecimal(card.result->median.msPerMultiplication, 2, lang) + (en ? L" ms" : L" мс"),
                            kColumn) +
                   PadRight(FormatDecimal(card.result->median.tflops, 2, lang), kColumn);
        } else {
            row += PadRight(L"\u2014", kColumn) + PadRight(L"\u2014", kColumn);
        }
        text += row + CardVerdictText(card).Get(lang) + L'\n';
    }
    return WideToUtf8(text);
}

std::string PrintVerdictLines(const RunRecord& run) {
    std::string text;
    for (const CardRecord& card : run.cards) {
        if (!card.verdict || card.verdict->verdict == Verdict::Ok) continue;
        if (!run.allTargets && card.status != RunStatus::Completed) continue;
        const double medianMs = card.result ? card.result->median.msPerMultiplication : 0.0;
        std::string line = WideToUtf8(L"[" + FormatCount(card.index) + L"] " +
                                      VerdictText(card.verdict->verdict).Get(run.language) + L": " +
                                      VerdictDetail(*card.verdict, medianMs, card.errorText, run.language));
        for (const std::string* id : {&card.pciBusId, &card.details.uuid}) {
            if (!id->empty()) line += " \u00B7 " + *id;
        }
        text += TerminalText(line) + '\n';
    }
    return text;
}

std::string PrintOutcomeLine(const RunRecord& run) {
    return TerminalText(WideToUtf8(OutcomeText(run).Get(run.language))) + '\n';
}

}  // namespace cli

#include "cli/formats/fleet_printer.h"

#include <algorithm>

#include "cli/formats/run_texts.h"
#include "cli/formats/terminal_text.h"
#include "core/utf8.h"
#include "presentation/number_format.h"

namespace cli {
namespace {

std::wstring PadRight(std::wstring text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), L' ');
    return text;
}

// 10, 7.5, 7.25: no more decimals than the value has, up to two.
std::wstring Percent(double value, Language language) {
    std::wstring text = FormatDecimal(value, 2, language);
    while (text.back() == L'0') text.pop_back();
    if (text.back() == L'.' || text.back() == L',') text.pop_back();
    return text;
}

// Host, PCI bus id and UUID of a card, each "—" when its document does not say.
std::string Identity(const FleetRecord& fleet, const FleetCard& card) {
    std::string text;
    for (const std::string* part : {&fleet.documents[card.document].host, &card.pciBusId, &card.uuid}) {
        text += (text.empty() ? "" : " \u00B7 ") + (part->empty() ? std::string("\u2014") : *part);
    }
    return text;
}

TextPair NoCardText(const RunWithoutCard& run) {
    switch (run.status) {
        case RunStatus::NoCompatibleGpu:
            return {L"совместимая видеокарта не найдена", L"no compatible GPU"};
        case RunStatus::TargetNotReady: return {L"видеокарта не готова к тесту", L"the card is not ready"};
        case RunStatus::TargetOutOfRange: return {L"номер видеокарты вне списка", L"card number out of range"};
        case RunStatus::Interrupted: return {L"остановлен", L"interrupted"};
        case RunStatus::Completed:
        case RunStatus::Error: break;
    }
    const std::wstring what = Utf8ToWide(run.errorText);
    return {L"ошибка: " + what, L"failed: " + what};
}

}  // namespace

std::string PrintFleetSummary(const FleetRecord& fleet, Language lang) {
    const bool en = lang == Language::English;
    const std::wstring ms = en ? L" ms" : L" мс";
    std::wstring head = (en ? L"Documents: " : L"Документов: ") + FormatCount(fleet.documents.size()) +
                        (en ? L", hosts: " : L", машин: ") + FormatCount(fleet.hostCount) +
                        (en ? L", unreadable files: " : L", нечитаемых файлов: ") +
                        FormatCount(fleet.unreadable.size()) + (en ? L"; tolerance: " : L"; допуск: ") +
                        Percent(fleet.tolerancePercent, lang) + L"%\n";
    std::string text = WideToUtf8(head);

    if (fleet.models.size() > 0) {
        std::vector<std::wstring> names;
        std::size_t width = 0;
        for (std::size_t m = 0; m < fleet.models.size(); ++m) {
            names.push_back(Utf8ToWide(TerminalText(fleet.models[m].first, 80)) + L" \u00B7 " +
                            FormatGibibytes(fleet.models[m].second, 1, lang) + (en ? L" GiB" : L" ГиБ"));
            width = std::max(width, names.back().size());
        }
        width += 3;
        constexpr std::size_t kColumn = 12;
        std::vector<std::size_t> counts(fleet.models.size());
        for (const FleetCard& card : fleet.cards) ++counts[card.model];
        std::wstring table = L'\n' + PadRight(en ? L"Model" : L"Модель", width) +
                             PadRight(en ? L"Cards" : L"Видеокарт", kColumn) +
                             PadRight(en ? L"Minimum" : L"Минимум", kColumn) +
                             PadRight(en ? L"Median" : L"Медиана", kColumn) + (en ? L"Maximum" : L"Максимум") + L'\n';
        for (std::size_t m = 0; m < fleet.models.size(); ++m) {
            const ModelTimes& t = fleet.times[m];
            table += PadRight(names[m], width) + PadRight(FormatCount(counts[m]), kColumn);
            for (const double value : {t.minMs, t.medianMs}) {
                table += PadRight(t.completed ? FormatDecimal(value, 2, lang) + ms : L"\u2014", kColumn);
            }
            table += (t.completed ? FormatDecimal(t.maxMs, 2, lang) + ms : L"\u2014") + L'\n';
        }
        text += WideToUtf8(table);
    }

    std::string notOk;
    for (const FleetCard& card : fleet.cards) {
        if (card.verdict && card.verdict->verdict == Verdict::Ok) continue;
        const std::wstring finding =
            L"[" + FormatCount(card.index) + L"] " +
            (card.verdict ? VerdictText(card.verdict->verdict).Get(lang) + L": " +
                                VerdictDetail(*card.verdict, card.medianMs, card.errorText, lang)
                          : UnfinishedCardText(card.status).Get(lang));
        notOk += "  " + TerminalText(Identity(fleet, card) + " \u00B7 " + WideToUtf8(finding) + " \u00B7 " +
                                     fleet.documents[card.document].path) +
                 '\n';
    }
    if (!notOk.empty()) {
        text += WideToUtf8(en ? L"\nNot ok:\n" : L"\nНе в норме:\n") + notOk;
    } else if (!fleet.cards.empty()) {
        text += WideToUtf8(en ? L"\nEvery card is ok.\n" : L"\nВсе видеокарты в норме.\n");
    }

    if (!fleet.runsWithoutCards.empty()) {
        text += WideToUtf8(en ? L"\nRuns that reached no card:\n" : L"\nЗапуски без видеокарты:\n");
        for (const RunWithoutCard& run : fleet.runsWithoutCards) {
            const FleetDocument& document = fleet.documents[run.document];
            text += "  " + TerminalText((document.host.empty() ? std::string("\u2014") : document.host) + ": " +
                                        WideToUtf8(NoCardText(run).Get(lang)) + " \u00B7 " + document.path) +
                    '\n';
        }
    }
    if (!fleet.unreadable.empty()) {
        text += WideToUtf8(en ? L"\nUnreadable files:\n" : L"\nНечитаемые файлы:\n");
        for (const UnreadableFile& file : fleet.unreadable) {
            text += "  " + QuotedTerminalText(file.path) + ": " + TerminalText(file.reason) + '\n';
        }
    }
    return text;
}

}  // namespace cli

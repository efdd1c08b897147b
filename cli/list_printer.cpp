#include "cli/list_printer.h"

#include "cli/run_texts.h"
#include "cli/terminal_text.h"
#include "core/utf8.h"
#include "presentation/number_format.h"
#include "presentation/reference.h"
#include "presentation/selection_lists.h"

namespace cli {
namespace {

std::wstring Pick(Language language, const wchar_t* ru, const wchar_t* en) {
    return language == Language::English ? en : ru;
}

// Each line of a text, made safe for the terminal and indented.
std::string IndentedLines(const std::wstring& text, const std::string& indent) {
    const std::string utf8 = WideToUtf8(text);
    std::string_view rest = utf8;
    std::string out;
    for (;;) {
        const std::size_t end = rest.find('\n');
        out += indent + TerminalText(rest.substr(0, end)) + '\n';
        if (end == std::string_view::npos) return out;
        rest.remove_prefix(end + 1);
    }
}

}  // namespace

bool AnyReady(const DiscoveredSystem& system) {
    for (const GpuTarget& t : system.targets) {
        if (t.directMlStatus == DirectMlStatus::Ready) return true;
    }
    return false;
}

std::string PrintList(const DiscoveredSystem& system, Language lang) {
    std::string text = WideToUtf8(Pick(lang, L"Видеокарты:", L"Graphics cards:")) + '\n';
    if (system.targets.empty()) {
        text += IndentedLines(TargetListItems({}, lang).front(), "  ");
        text += IndentedLines(system.status.Get(lang), "  ");
    }
    for (std::size_t i = 0; i < system.targets.size(); ++i) {
        const GpuTarget& t = system.targets[i];
        std::wstring line = FormatCount(i) + L"  " + CardItemText(t, lang) + L"  \u00B7  ";
        if (t.directMlStatus == DirectMlStatus::Ready) {
            line += Pick(lang, L"готова к тесту", L"ready");
            if (i == system.defaultIndex) line += Pick(lang, L" (по умолчанию)", L" (default)");
        } else if (i < system.targetMessages.size()) {
            line += system.targetMessages[i].Get(lang);
        }
        text += IndentedLines(line, "  ");
    }
    if (system.nvidiaPresent) {
        text += '\n' + WideToUtf8(Pick(lang, L"Компоненты CUDA:", L"CUDA components:")) + '\n';
        text += IndentedLines(system.cudaInstruction.Get(lang), "  ");
        text += IndentedLines(system.cudaContent.Get(lang), "  ");
    }
    text += '\n' + WideToUtf8(Pick(lang, L"Эталоны (--reference):", L"References (--reference):")) + '\n';
    const std::vector<std::wstring> references = ReferenceListItems(lang);
    for (std::size_t i = 0; i < references.size(); ++i) {
        std::wstring line = FormatCount(i) + L"  " + references[i];
        if (const ReferenceMeasurement* r = SelectedReference(static_cast<int>(i))) {
            line += std::wstring(L"  \u00B7  ") + r->detail;
        }
        text += IndentedLines(line, "  ");
    }
    return text;
}

}  // namespace cli

#include "cli/formats/list_printer.h"

#include <filesystem>

#include "cli/formats/run_texts.h"
#include "cli/formats/terminal_text.h"
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

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Why the search passed over a place, or that it took the library there.
std::wstring AttemptText(const CublasAttempt& attempt, Language lang) {
    switch (attempt.outcome) {
        case CublasAttemptOutcome::Used: return Pick(lang, L"используется", L"used");
        case CublasAttemptOutcome::NotPresent: return Pick(lang, L"файла нет", L"not there");
        case CublasAttemptOutcome::CublasLtMissing: return Pick(lang, L"рядом нет cuBLASLt", L"no cuBLASLt beside it");
        case CublasAttemptOutcome::LoadFailed:
            return Pick(lang, L"загрузчик отказал: ", L"the loader refused it: ") + Utf8ToWide(attempt.loaderMessage);
        case CublasAttemptOutcome::ImportsMissing:
            return Pick(lang, L"нет функции, которую вызывает тест; поиск на этом закончен",
                        L"a function the benchmark calls is missing; the search ends here");
    }
    return {};
}

// Where cuBLAS was found, or every place tried, in order, with why each was passed over.
std::string CublasSearchLines(const CublasSearchTrace& search, Language lang) {
    if (search.attempts.empty()) return {};
    const CublasAttempt& last = search.attempts.back();
    if (last.outcome == CublasAttemptOutcome::Used) {
        return "  " + WideToUtf8(Pick(lang, L"cuBLAS найден: ", L"cuBLAS found: ")) + TerminalText(Utf8Path(last.file)) +
               '\n';
    }
    std::string text = WideToUtf8(search.fromOverride
                                      ? Pick(lang, L"cuBLAS не найден там, куда указывает MIVARO_CUBLAS:",
                                             L"cuBLAS not found where MIVARO_CUBLAS points:")
                                      : Pick(lang, L"cuBLAS не найден; проверено по порядку:",
                                             L"cuBLAS not found; places tried, in order:"));
    text = "  " + text + '\n';
    for (const CublasAttempt& attempt : search.attempts) {
        // A bare name is the system loader's own search.
        const std::wstring place = attempt.file.has_parent_path()
                                       ? Utf8ToWide(Utf8Path(attempt.file))
                                       : Utf8ToWide(Utf8Path(attempt.file)) +
                                             Pick(lang, L" (системный поиск библиотек)", L" (the system's library search)");
        text += IndentedLines(place + L": " + AttemptText(attempt, lang), "    ");
    }
    return text;
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
        const CudaStatusDialog cuda = BuildCudaStatusDialog(system.cudaState, lang, system.cudaAdvice);
        text += '\n' + WideToUtf8(Pick(lang, L"Компоненты CUDA:", L"CUDA components:")) + '\n';
        text += IndentedLines(cuda.mainInstruction, "  ");
        text += IndentedLines(cuda.content, "  ");
        text += CublasSearchLines(system.cudaState.cublasSearch, lang);
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

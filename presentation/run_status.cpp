#include "presentation/run_status.h"

#include "core/benchmark.h"
#include "core/utf8.h"
#include "presentation/number_format.h"

namespace {

TextPair WithReason(const wchar_t* ru, const wchar_t* en, std::string_view utf8What) {
    const std::wstring reason = Utf8ToWide(utf8What);
    return {ru + reason, en + reason};
}

}  // namespace

TextPair PreparingStatus() { return {L"Подготовка матриц\u2026", L"Preparing matrices\u2026"}; }

TextPair ProgressStatus(std::uint64_t value) {
    if (value == 0) return {L"Прогрев видеокарты\u2026", L"Warming up the GPU\u2026"};
    const std::wstring k = FormatCount(value);
    const std::wstring total = FormatCount(BenchmarkPlan::seriesCount);
    return {L"Измерены серии " + k + L" из " + total, L"Measured " + k + L" of " + total + L" series"};
}

TextPair CompletedStatus() {
    return {L"Тест завершён. Численная проверка пройдена.",
            L"Benchmark complete. Numerical validation passed."};
}

TextPair StoppedStatus() { return {L"Замер остановлен", L"Benchmark stopped"}; }

TextPair BenchmarkErrorStatus(std::string_view utf8What) {
    return WithReason(L"Ошибка теста: ", L"Benchmark error: ", utf8What);
}

TextPair StartFailedStatus(std::string_view utf8What) {
    return WithReason(L"Не удалось начать тест: ", L"Could not start the benchmark: ", utf8What);
}

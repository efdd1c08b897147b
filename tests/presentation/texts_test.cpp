#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "presentation/control_texts.h"
#include "presentation/run_status.h"

namespace {

constexpr auto ru = Language::Russian;
constexpr auto en = Language::English;

TEST(ControlTexts, NineEntriesInTheFixedOrder) {
    const auto texts = BuiltInControlTexts();
    ASSERT_EQ(texts.size(), 9u);
    const int expected[] = {1006, 1008, 1009, 1010, 1004, 1011, 1020, 1012, 1013};
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(texts[i].controlId, expected[i]) << i;

    EXPECT_EQ(texts[4].text.Get(ru), L"Запустить тест");
    EXPECT_EQ(texts[4].text.Get(en), L"Run benchmark");
}

TEST(ControlTexts, ConfigurationLabelsUseDifferentSeparators) {
    const auto texts = BuiltInControlTexts();
    const TextPair& label = texts[5].text;
    EXPECT_EQ(label.ru,
              L"8192 x 8192   \u00B7   FP16   \u00B7   20 прогревочных операций   \u00B7   "
              L"5 серий по 50 умножений");
    EXPECT_EQ(label.en,
              L"8192 x 8192   |   FP16   |   20 warm-up multiplications   |   5 series of 50 multiplications");
}

TEST(ControlTexts, IdleStatusAndFixedTexts) {
    EXPECT_EQ(IdleStatusText(), (TextPair{L"Готово к запуску", L"Ready to run"}));
    EXPECT_EQ(std::wstring(kLanguageItems[0]), L"\u0420\u0443\u0441\u0441\u043A\u0438\u0439");
    EXPECT_EQ(std::wstring(kLanguageItems[1]), L"English");
    EXPECT_EQ(std::wstring(kWindowCaption), L"Mivaro 1.25");
}

TEST(RunStatus, ProgressTextsOfARun) {
    EXPECT_EQ(PreparingStatus(), (TextPair{L"Подготовка матриц\u2026", L"Preparing matrices\u2026"}));
    EXPECT_EQ(ProgressStatus(0), (TextPair{L"Прогрев видеокарты\u2026", L"Warming up the GPU\u2026"}));
    EXPECT_EQ(ProgressStatus(1), (TextPair{L"Измерены серии 1 из 5", L"Measured 1 of 5 series"}));
    EXPECT_EQ(ProgressStatus(3).en, L"Measured 3 of 5 series");
    EXPECT_EQ(ProgressStatus(5).ru, L"Измерены серии 5 из 5");
    // A wParam read as unsigned: a negative int widened with its sign is a large count.
    EXPECT_EQ(ProgressStatus(18446744073709551615u).en, L"Measured 18446744073709551615 of 5 series");
}

TEST(RunStatus, EndTexts) {
    EXPECT_EQ(CompletedStatus(), (TextPair{L"Тест завершён. Численная проверка пройдена.",
                                          L"Benchmark complete. Numerical validation passed."}));
    EXPECT_EQ(StoppedStatus(), (TextPair{L"Замер остановлен", L"Benchmark stopped"}));
    EXPECT_EQ(BenchmarkErrorStatus("Invalid GPU timing"),
              (TextPair{L"Ошибка теста: Invalid GPU timing", L"Benchmark error: Invalid GPU timing"}));
    EXPECT_EQ(BenchmarkErrorStatus(""), (TextPair{L"Ошибка теста: ", L"Benchmark error: "}));
    // The exception text is UTF-8 and arrives converted.
    EXPECT_EQ(BenchmarkErrorStatus("\xD0\x96").en, L"Benchmark error: \u0416");
    EXPECT_EQ(StartFailedStatus("resource unavailable"),
              (TextPair{L"Не удалось начать тест: resource unavailable",
                        L"Could not start the benchmark: resource unavailable"}));
}

}  // namespace

#include "presentation/configuration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "presentation/control_texts.h"
#include "presentation/methodology.h"

namespace {

constexpr auto ru = Language::Russian;
constexpr auto en = Language::English;

GpuTarget Cuda() { return GpuTarget{}; }

GpuTarget DirectMl(DirectMlStatus status, bool integrated) {
    GpuTarget target;
    target.backend = BackendKind::DirectMl;
    target.cudaOrdinal = -1;
    target.directMlStatus = status;
    target.integrated = integrated;
    return target;
}

const TextPair& DefaultLabel() {
    static const TextPair label = BuiltInControlTexts()[5].text;
    return label;
}

ConfigurationView Decide(const std::vector<GpuTarget>& targets, int index, bool running, Language language) {
    return DecideConfiguration(targets, index, running, language, DefaultLabel().Get(language));
}

TEST(Configuration, EmptyTargetList) {
    const auto view = Decide({}, 0, false, en);
    EXPECT_FALSE(view.targetListEnabled);
    EXPECT_FALSE(view.runButtonEnabled);
    EXPECT_EQ(view.label, L"8192 x 8192   |   FP16   |   20 warm-up multiplications   |   5 series of 50 multiplications");
}

TEST(Configuration, IntegratedGpuHasItsOwnCountsInBothLanguages) {
    const std::vector<GpuTarget> targets{Cuda(), DirectMl(DirectMlStatus::Ready, true)};
    const auto english = Decide(targets, 1, false, en);
    EXPECT_EQ(english.label,
              L"8192 x 8192   \u00B7   FP16   \u00B7   2 warm-up multiplications   \u00B7   5 series of 4 multiplications");
    EXPECT_TRUE(english.runButtonEnabled);
    EXPECT_EQ(Decide(targets, 1, false, ru).label,
              L"8192 x 8192   \u00B7   FP16   \u00B7   2 прогревочных умножения   \u00B7   5 серий по 4 умножения");
    // Back on the CUDA card the default text returns.
    EXPECT_EQ(Decide(targets, 0, false, ru).label, DefaultLabel().ru);
}

TEST(Configuration, NotReadyTargetsKeepTheListButNotTheRunButton) {
    const std::vector<GpuTarget> targets{DirectMl(DirectMlStatus::NoFp16, true),
                                         DirectMl(DirectMlStatus::NoDirect3D12, false)};
    const auto noFp16 = Decide(targets, 0, false, en);
    EXPECT_TRUE(noFp16.targetListEnabled);
    EXPECT_FALSE(noFp16.runButtonEnabled);
    EXPECT_EQ(noFp16.label.substr(0, 30), L"8192 x 8192   \u00B7   FP16   \u00B7   2");
    const auto noD3d = Decide(targets, 1, false, en);
    EXPECT_FALSE(noD3d.runButtonEnabled);
    EXPECT_EQ(noD3d.label, DefaultLabel().en);
}

TEST(Configuration, RunningDisablesBothAndKeepsTheLabel) {
    const std::vector<GpuTarget> targets{DirectMl(DirectMlStatus::Ready, true)};
    const auto view = Decide(targets, 0, true, en);
    EXPECT_FALSE(view.targetListEnabled);
    EXPECT_FALSE(view.runButtonEnabled);
    EXPECT_EQ(view.label, Decide(targets, 0, false, en).label);
    EXPECT_FALSE(RunAllowed(targets, 0, true));
}

TEST(Configuration, SelectionOutsideTheListSelectsNoTarget) {
    const std::vector<GpuTarget> targets{DirectMl(DirectMlStatus::Ready, true)};
    for (int index : {-1, 1}) {
        const auto view = Decide(targets, index, false, en);
        EXPECT_TRUE(view.targetListEnabled);
        EXPECT_FALSE(view.runButtonEnabled);
        EXPECT_EQ(view.label, DefaultLabel().en);
    }
}

TEST(Methodology, EnglishText) {
    EXPECT_EQ(BuildMethodologyText().en,
              L"The selected graphics card computes C = A \u00D7 B. Each matrix is 8192 \u00D7 8192. Inputs and "
              L"output are stored in FP16. The inputs are drawn from a normal distribution with a fixed random "
              L"seed.\r\n\r\n"
              L"Discrete GPUs run 20 warm-up multiplications and 5 series of 50 multiplications. On integrated "
              L"GPUs, DirectML runs 2 warm-up multiplications and 5 series of 4 multiplications. Timing excludes "
              L"matrix preparation, transfers, warm-up and validation.\r\n\r\n"
              L"NVIDIA \u00B7 cuBLAS with FP32 accumulation. CUDA events time each series on one stream.\r\n"
              L"AMD and Intel \u00B7 DirectML GEMM. Direct3D 12 timestamps measure GPU time. On integrated GPUs, "
              L"timings are summed across row blocks of the full matrix.\r\n\r\n"
              L"The reported time t in ms is the median of the series averages. Throughput in TFLOPS is "
              L"2 \u00D7 8192\u00B3 / (t \u00D7 10\u2079). Three output elements are checked against an FP32 "
              L"calculation on the CPU.");
}

TEST(Methodology, RussianText) {
    EXPECT_EQ(BuildMethodologyText().ru,
              L"На выбранной видеокарте вычисляется C = A \u00D7 B. Размер каждой матрицы 8192 \u00D7 8192. "
              L"Входные матрицы и результат хранятся в FP16. Входные данные генерируются из нормального "
              L"распределения с фиксированным начальным значением генератора.\r\n\r\n"
              L"На дискретных GPU выполняется 20 прогревочных умножений и 5 серий по 50 умножений. Для "
              L"встроенной графики DirectML использует 2 прогревочных умножения и 5 серий по 4 умножения. "
              L"Подготовка и копирование матриц, прогрев и проверка проходят вне замера.\r\n\r\n"
              L"NVIDIA \u00B7 cuBLAS с накоплением FP32. События CUDA измеряют серию в одном потоке.\r\n"
              L"AMD и Intel \u00B7 DirectML GEMM. Метки Direct3D 12 измеряют время на GPU. На встроенной "
              L"графике замер суммирует время блоков строк полной матрицы.\r\n\r\n"
              L"Итоговое время t в мс \u2014 медиана средних по сериям. Производительность в TFLOPS равна "
              L"2 \u00D7 8192\u00B3 / (t \u00D7 10\u2079). Три элемента результата сверяются с расчётом на "
              L"CPU в FP32.");
}

TEST(Methodology, FourParagraphsAndTitles) {
    const auto count = [](const std::wstring& text, const std::wstring& what) {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::wstring::npos; at = text.find(what, at + what.size())) ++n;
        return n;
    };
    for (const std::wstring& text : {BuildMethodologyText().ru, BuildMethodologyText().en}) {
        EXPECT_EQ(count(text, L"\r\n\r\n"), 3u);  // four paragraphs
        EXPECT_EQ(count(text, L"\r\n"), 7u);        // and one line break inside the third
        EXPECT_EQ(count(text, L"\n"), 7u);           // no bare line feeds
        EXPECT_EQ(count(text, L"2 \u00D7 8192\u00B3 / (t \u00D7 10\u2079)"), 1u);
    }
    EXPECT_EQ(MethodologyTitle(), (TextPair{L"Методика тестирования FP16 GEMM", L"Mivaro methodology"}));
}

}  // namespace

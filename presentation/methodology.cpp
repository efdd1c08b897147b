#include "presentation/methodology.h"

#include <string>

#include "core/benchmark.h"
#include "presentation/number_format.h"
#include "presentation/run_shape.h"

namespace {

struct Counts {
    std::wstring size = FormatCount(BenchmarkPlan::matrixSize);
    std::wstring warmup = FormatCount(BenchmarkPlan::warmupMultiplications);
    std::wstring series = FormatCount(BenchmarkPlan::seriesCount);
    std::wstring perSeries = FormatCount(BenchmarkPlan::multiplicationsPerSeries);
    std::wstring integratedWarmup = FormatCount(kIntegratedWarmupMultiplications);
    std::wstring integratedPerSeries = FormatCount(kIntegratedMultiplicationsPerSeries);
};

std::wstring Russian(const Counts& c) {
    return L"На выбранной видеокарте вычисляется C = A \u00D7 B. Размер каждой матрицы " + c.size +
           L" \u00D7 " + c.size +
           L". Входные матрицы и результат хранятся в FP16. Входные данные генерируются из "
           L"нормального распределения с фиксированным начальным значением генератора.\r\n\r\n"
           L"На дискретных GPU выполняется " +
           c.warmup + L" прогревочных умножений и " + c.series + L" серий по " + c.perSeries +
           L" умножений. Для встроенной графики DirectML использует " + c.integratedWarmup +
           L" прогревочных умножения и " + c.series + L" серий по " + c.integratedPerSeries +
           L" умножения. Подготовка и копирование матриц, прогрев и проверка проходят вне замера.\r\n\r\n"
           L"NVIDIA \u00B7 cuBLAS с накоплением FP32. События CUDA измеряют серию в одном потоке.\r\n"
           L"AMD и Intel \u00B7 DirectML GEMM. Метки Direct3D 12 измеряют время на GPU. На встроенной "
           L"графике замер суммирует время блоков строк полной матрицы.\r\n\r\n"
           L"Итоговое время t в мс \u2014 медиана средних по сериям. Производительность в TFLOPS "
           L"равна 2 \u00D7 " +
           c.size +
           L"\u00B3 / (t \u00D7 10\u2079). Три элемента результата сверяются с расчётом на CPU в FP32.";
}

std::wstring English(const Counts& c) {
    return L"The selected graphics card computes C = A \u00D7 B. Each matrix is " + c.size + L" \u00D7 " +
           c.size +
           L". Inputs and output are stored in FP16. The inputs are drawn from a normal distribution "
           L"with a fixed random seed.\r\n\r\nDiscrete GPUs run " +
           c.warmup + L" warm-up multiplications and " + c.series + L" series of " + c.perSeries +
           L" multiplications. On integrated GPUs, DirectML runs " + c.integratedWarmup +
           L" warm-up multiplications and " + c.series + L" series of " + c.integratedPerSeries +
           L" multiplications. Timing excludes matrix preparation, transfers, warm-up and "
           L"validation.\r\n\r\n"
           L"NVIDIA \u00B7 cuBLAS with FP32 accumulation. CUDA events time each series on one stream.\r\n"
           L"AMD and Intel \u00B7 DirectML GEMM. Direct3D 12 timestamps measure GPU time. On integrated "
           L"GPUs, timings are summed across row blocks of the full matrix.\r\n\r\n"
           L"The reported time t in ms is the median of the series averages. Throughput in TFLOPS is "
           L"2 \u00D7 " +
           c.size +
           L"\u00B3 / (t \u00D7 10\u2079). Three output elements are checked against an FP32 "
           L"calculation on the CPU.";
}

}  // namespace

TextPair BuildMethodologyText() {
    const Counts counts;
    return {Russian(counts), English(counts)};
}

TextPair MethodologyTitle() { return {L"Методика тестирования FP16 GEMM", L"Mivaro methodology"}; }

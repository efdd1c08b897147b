#include "core/benchmark.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace gemm {

SeriesTiming ToSeriesTiming(double seriesMilliseconds, int multiplications) {
    // Written as !(t > 0) so that NaN is refused along with zero and negative times.
    if (!(seriesMilliseconds > 0.0) || std::isinf(seriesMilliseconds) || multiplications < 1) {
        throw std::runtime_error("Invalid GPU timing");
    }
    SeriesTiming timing;
    timing.msPerMultiplication = seriesMilliseconds / static_cast<double>(multiplications);
    timing.tflops =
        BenchmarkPlan::flopsPerMultiplication / (timing.msPerMultiplication * 1.0e9);
    return timing;
}

BenchmarkResult MakeResult(const SeriesTiming (&series)[BenchmarkPlan::seriesCount]) {
    BenchmarkResult result;
    std::copy(std::begin(series), std::end(series), std::begin(result.series));

    SeriesTiming sorted[BenchmarkPlan::seriesCount];
    std::copy(std::begin(series), std::end(series), std::begin(sorted));
    std::sort(std::begin(sorted), std::end(sorted), [](const SeriesTiming& x, const SeriesTiming& y) {
        return x.msPerMultiplication < y.msPerMultiplication;
    });
    result.median = sorted[BenchmarkPlan::seriesCount / 2];
    return result;
}

}  // namespace gemm

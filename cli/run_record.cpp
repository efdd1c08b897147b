#include "cli/run_record.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace cli {

SeriesBoundary SeriesBoundaryAt(int progress) {
    return {progress > 0 ? progress : 0, progress < BenchmarkPlan::seriesCount ? progress + 1 : 0};
}

SeriesStatistics ComputeStatistics(const SeriesTiming (&series)[BenchmarkPlan::seriesCount],
                                   const SeriesTiming& median) {
    SeriesStatistics s;
    std::copy(std::begin(series), std::end(series), std::begin(s.series));
    s.median = median;
    const auto [fastest, slowest] = std::minmax_element(
        std::begin(series), std::end(series),
        [](const SeriesTiming& a, const SeriesTiming& b) { return a.msPerMultiplication < b.msPerMultiplication; });
    s.fastest = *fastest;
    s.slowest = *slowest;
    constexpr int n = BenchmarkPlan::seriesCount;
    double meanMs = 0.0, meanTflops = 0.0;
    for (const SeriesTiming& t : series) {
        meanMs += t.msPerMultiplication / n;
        meanTflops += t.tflops / n;
    }
    double squaresMs = 0.0, squaresTflops = 0.0;
    for (const SeriesTiming& t : series) {
        squaresMs += (t.msPerMultiplication - meanMs) * (t.msPerMultiplication - meanMs);
        squaresTflops += (t.tflops - meanTflops) * (t.tflops - meanTflops);
    }
    s.standardDeviation = {std::sqrt(squaresMs / (n - 1)), std::sqrt(squaresTflops / (n - 1))};
    return s;
}

}  // namespace cli

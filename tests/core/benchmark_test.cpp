#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/benchmark.h"

namespace {

TEST(SeriesTimingTest, DividesTheSeriesAndDerivesThroughput) {
    const SeriesTiming discrete = gemm::ToSeriesTiming(250.0, 50);
    EXPECT_EQ(discrete.msPerMultiplication, 5.0);
    EXPECT_EQ(discrete.tflops, 219.9023255552);

    const SeriesTiming integrated = gemm::ToSeriesTiming(37.5, 4);
    EXPECT_EQ(integrated.msPerMultiplication, 9.375);
    EXPECT_EQ(integrated.tflops, 117.28124029610666);
}

TEST(SeriesTimingTest, RefusesUnusableTimes) {
    const double unusable[] = {0.0,
                               -0.0,
                               -1.0,
                               std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity()};
    for (const double t : unusable) {
        try {
            gemm::ToSeriesTiming(t, 50);
            ADD_FAILURE() << "accepted " << t;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Invalid GPU timing") << t;
        }
    }
    // The smallest positive time is still a time.
    EXPECT_GT(gemm::ToSeriesTiming(std::numeric_limits<double>::denorm_min() * 1e6, 1).tflops, 0.0);
}

TEST(SeriesTimingTest, RefusesAnEmptySeries) {
    EXPECT_THROW(gemm::ToSeriesTiming(250.0, 0), std::runtime_error);
}

SeriesTiming Series(double ms) {
    return gemm::ToSeriesTiming(ms * 50.0, 50);
}

TEST(MakeResultTest, MedianIsTheThirdFastestAndSeriesKeepTheirOrder) {
    const SeriesTiming series[5] = {Series(5.2), Series(4.9), Series(5.0), Series(5.1), Series(4.8)};
    const BenchmarkResult result = gemm::MakeResult(series);
    EXPECT_EQ(result.median.msPerMultiplication, series[2].msPerMultiplication);
    EXPECT_EQ(result.median.tflops, series[2].tflops);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(result.series[i].msPerMultiplication, series[i].msPerMultiplication) << i;
        EXPECT_EQ(result.series[i].tflops, series[i].tflops) << i;
    }
}

TEST(MakeResultTest, MedianNeverMixesFieldsOfDifferentSeries) {
    // The median record comes from one series even when the throughputs were not derived
    // from the times (only the time is compared).
    const SeriesTiming series[5] = {{3.0, 10.0}, {1.0, 30.0}, {5.0, 50.0}, {2.0, 20.0}, {4.0, 40.0}};
    const BenchmarkResult result = gemm::MakeResult(series);
    EXPECT_EQ(result.median.msPerMultiplication, 3.0);
    EXPECT_EQ(result.median.tflops, 10.0);
}

TEST(MakeResultTest, EqualSeriesGiveThatSeries) {
    const SeriesTiming series[5] = {Series(7.0), Series(7.0), Series(7.0), Series(7.0), Series(7.0)};
    const BenchmarkResult result = gemm::MakeResult(series);
    EXPECT_EQ(result.median.msPerMultiplication, 7.0);
    EXPECT_EQ(result.median.tflops, BenchmarkPlan::flopsPerMultiplication / (7.0 * 1.0e9));
}

}  // namespace

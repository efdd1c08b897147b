#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "cli/clock_sampler.h"
#include "cli/host.h"
#include "cli/run_report.h"

namespace cli {
namespace {

TEST(ClockSamplerTest, SummarizesEachSeriesFromSamplesTakenWhileItRuns) {
    EXPECT_EQ(Summarize(3, {}).sampleCount, 0);
    const SeriesClocks summary = Summarize(
        2, {ClockSample{2500, 0x4, 300000, 60}, std::nullopt, ClockSample{2400, 0x40, std::nullopt, 70},
            ClockSample{2600, 0, 320000, std::nullopt}});
    EXPECT_EQ(summary.series, 2);
    EXPECT_EQ(summary.sampleCount, 3);
    EXPECT_EQ(summary.failedQueries, 1);
    EXPECT_EQ(summary.smClockMHz->min, 2400);
    EXPECT_EQ(summary.smClockMHz->mean, 2500);
    EXPECT_EQ(summary.smClockMHz->max, 2600);
    EXPECT_EQ(summary.powerWatts->mean, 310);  // only the samples that carried power
    EXPECT_EQ(summary.temperatureC->max, 70);
    EXPECT_EQ(summary.eventReasons, 0x44u);
}

class CountingMonitor : public ClockMonitor {
public:
    std::optional<ClockSample> Sample() override {
        ++count;
        return ClockSample{static_cast<std::uint32_t>(1000 + count), 0, std::nullopt, std::nullopt};
    }
    std::atomic<int> count{0};
};

TEST(ClockSamplerTest, SamplesAtItsIntervalDuringASeriesAndNotBetween) {
    CountingMonitor monitor;
    ClockSampler sampler(monitor, std::chrono::milliseconds(5));
    sampler.Begin(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const SeriesClocks first = sampler.End();
    EXPECT_EQ(first.series, 1);
    EXPECT_GE(first.sampleCount, 3);  // about 20; a busy machine delays the thread
    const int afterFirst = monitor.count;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(monitor.count, afterFirst);  // idle between series

    sampler.Begin(2);
    const SeriesClocks shortSeries = sampler.End();  // shorter than the interval: one sample
    EXPECT_EQ(shortSeries.series, 2);
    EXPECT_GE(shortSeries.sampleCount, 1);
}

TEST(HostTest, StartTimeIsUtcIso8601AcrossLeapDays) {
    EXPECT_EQ(FormatUtcIso8601(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(FormatUtcIso8601(951782399), "2000-02-28T23:59:59Z");
    EXPECT_EQ(FormatUtcIso8601(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(FormatUtcIso8601(4107542400), "2100-03-01T00:00:00Z");  // 2100 has no 29 February
}

TEST(HostTest, ReadsTheOsReleaseAndCpuModelFormats) {
    const std::string osRelease = "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                  "VERSION_ID='12'\nID=debian\n";
    EXPECT_EQ(OsReleaseValue(osRelease, "PRETTY_NAME"), "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(OsReleaseValue(osRelease, "VERSION_ID"), "12");
    EXPECT_EQ(OsReleaseValue(osRelease, "ID"), "debian");  // not ID_LIKE or a prefix of another key
    EXPECT_EQ(OsReleaseValue(osRelease, "VERSION"), "");
    EXPECT_EQ(CpuInfoModelName("processor\t: 0\nvendor_id\t: AuthenticAMD\nmodel name\t: AMD Ryzen 9 7950X 16-Core "
                               "Processor\nmodel\t\t: 97\n"),
              "AMD Ryzen 9 7950X 16-Core Processor");
    EXPECT_EQ(CpuInfoModelName("processor : 0\n"), "");
}

}  // namespace
}  // namespace cli

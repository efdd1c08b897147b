#include <atomic>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "cli/formats/json_document.h"
#include "cli/formats/terminal_text.h"
#include "cli/platform/files.h"
#include "cli/platform/host.h"
#include "cli/record/run_record.h"
#include "cli/telemetry/clock_sampler.h"

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

TEST(ClockSamplerTest, SeriesKSpansProgressKMinusOneToK) {
    EXPECT_EQ(SeriesBoundaryAt(0).ended, 0);  // the warm-up belongs to series 1
    EXPECT_EQ(SeriesBoundaryAt(0).started, 1);
    EXPECT_EQ(SeriesBoundaryAt(3).ended, 3);
    EXPECT_EQ(SeriesBoundaryAt(3).started, 4);
    EXPECT_EQ(SeriesBoundaryAt(5).ended, 5);
    EXPECT_EQ(SeriesBoundaryAt(5).started, 0);
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
    auto owned = std::make_unique<CountingMonitor>();
    CountingMonitor& monitor = *owned;
    ClockSampler sampler(std::move(owned), std::chrono::milliseconds(5));
    sampler.Begin(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const SeriesClocks first = sampler.End();
    EXPECT_EQ(first.series, 1);
    EXPECT_GE(first.sampleCount, 3);  // about 20; a busy machine delays the thread
    const int afterFirst = monitor.count;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_LE(monitor.count, afterFirst + 1);  // idle between series (a query may have been under way)

    sampler.Begin(2);
    const SeriesClocks shortSeries = sampler.End();  // shorter than the interval: one sample
    EXPECT_EQ(shortSeries.series, 2);
    EXPECT_GE(shortSeries.sampleCount, 1);
    EXPECT_FALSE(sampler.Stalled());
}

TEST(FilesTest, AReplacedFileHoldsTheOldOrTheWholeNewContents) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "mivaro-files-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const auto utf8 = [](const std::filesystem::path& p) {
        const std::u8string text = p.u8string();
        return std::string(text.begin(), text.end());
    };
    const std::string path = utf8(dir / u8"résultat.json");
    EXPECT_EQ(WriteFileReplacing(path, "first"), "");
    EXPECT_EQ(WriteFileReplacing(path, std::string(100000, 'x')), "");
    EXPECT_EQ(ReadFileBytes(path, 1 << 20), std::string(100000, 'x'));
    EXPECT_EQ(ReadFileBytes(path, 10)->size(), 11u);  // one byte past the limit shows it is longer
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // nothing left beside it

    const std::string missing = utf8(dir / "no-such-dir" / "r.json");
    EXPECT_NE(WriteFileReplacing(missing, "x"), "");
    EXPECT_FALSE(ReadFileBytes(missing, 10));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);

    // What 'summary' finds in a folder: *.json in any case, in subfolders too, sorted.
    std::filesystem::create_directories(dir / u8"узел-2");
    for (const char* name : {"b.JSON", "a.json.log", "notes.txt"}) WriteFileReplacing(utf8(dir / name), "{}");
    WriteFileReplacing(utf8(dir / u8"узел-2" / "c.json"), "{}");
    std::filesystem::create_directories(dir / "folder.json");  // a folder, not a document
    EXPECT_EQ(JsonFilesUnder(utf8(dir)), (std::vector<std::string>{utf8(dir / "b.JSON"), path,
                                                                    utf8(dir / u8"узел-2" / "c.json")}));
    EXPECT_FALSE(JsonFilesUnder(path));
    EXPECT_FALSE(JsonFilesUnder(missing));
    std::filesystem::remove_all(dir);
}

TEST(TerminalTextTest, EscapesControlsAndBrokenBytesAndShowsTheRestAsItIs) {
    EXPECT_EQ(TerminalText("C:\\Users\\Ольга\\r.json"), "C:\\Users\\Ольга\\r.json");
    EXPECT_EQ(TerminalText("a\x1b[2J\n\t\x7f"), "a\\x1B[2J\\x0A\\x09\\x7F");
    // C1 (8-bit CSI), right-to-left override, first-strong isolate; U+202F is no control.
    EXPECT_EQ(TerminalText("\xc2\x9b" "1m\xe2\x80\xae\xe2\x81\xa8\xe2\x80\xaf"), "\\u009B1m\\u202E\\u2068\xe2\x80\xaf");
    // A lone continuation byte, a truncated sequence, an overlong slash.
    EXPECT_EQ(TerminalText("\x80|\xd0|\xc0\xaf"), "\\x80|\\xD0|\\xC0\\xAF");
    EXPECT_EQ(TerminalText("абвгд", 3), "абв...");
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

// Every card of a machine (one after another and all at once) with their verdicts, and the
// summary of documents from many machines.

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli/formats/json_reader.h"
#include "cli/record/verdict.h"
#include "tests/cli/scripted_system.h"

namespace cli {
namespace {

using testing::Cli;
using testing::Contains;
using testing::CudaTarget;
using testing::KeepForSchemaCheck;
using testing::Outcome;
using testing::ScriptedSystem;

constexpr std::uint64_t kH100Memory = 85520809984ull;
constexpr std::uint64_t kHwThermalSlowdown = 0x40;

// count cards of one model, each 5.0 ms unless scripted otherwise, each with the identity
// discovery found for it (which the clock monitor's would only stand in for).
ScriptedSystem Server(int count, const std::string& name = "NVIDIA H100 80GB HBM3", std::uint64_t memory = kH100Memory) {
    ScriptedSystem s;
    for (int i = 0; i < count; ++i) {
        GpuTarget& target = s.discovered.targets.emplace_back(CudaTarget(i, name, 0x10DE, memory));
        target.pciBusId = "00000000:" + std::to_string(10 + i) + ":00.0";
        target.uuid = "GPU-d15c0e7e-0000-4000-8000-00000000000" + std::to_string(i + 1);
        s.discovered.targetMessages.emplace_back();
        s.medianMsFor[i] = 5.0;
        s.eventReasonsFor[i] = 0x1;  // idle between series does not count
    }
    return s;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

TEST(VerdictTest, SlowAboveTheToleranceThrottledBySlowdownsOnly) {
    const std::vector<CardFacts> cards = {{0, CardEnd::Completed, 5.0, 0},  {0, CardEnd::Completed, 5.0, 0},
                                          {0, CardEnd::Completed, 6.0, 0},  {0, CardEnd::Completed, 5.5, 0x1 | 0x2 | 0x10 | 0x100},
                                          {0, CardEnd::Failed, 0.0, 0},     {1, CardEnd::Unfinished, 0.0, 0},
                                          {1, CardEnd::Completed, 20.0, 0x80}};
    const std::vector<ModelTimes> times = TimesByModel(cards, 2);
    EXPECT_EQ(times[0].completed, 4u);
    EXPECT_EQ(times[0].medianMs, 5.25);  // an even count: the mean of the middle two

    EXPECT_EQ(Judge(cards[0], times[0], 10)->verdict, Verdict::Ok);
    EXPECT_EQ(Judge(cards[2], times[0], 10)->verdict, Verdict::Slow);        // 14.3% above
    EXPECT_EQ(Judge(cards[2], times[0], 15)->verdict, Verdict::Ok);
    EXPECT_EQ(Judge(cards[3], times[0], 10)->verdict, Verdict::Ok);          // idle, clocks, sync boost, display
    EXPECT_EQ(Judge({0, CardEnd::Completed, 5.5, 0}, {1, 5, 5, 5}, 10)->verdict, Verdict::Ok);  // exactly 10%: not more
    EXPECT_EQ(Judge(cards[4], times[0], 10)->verdict, Verdict::Failed);
    EXPECT_FALSE(Judge(cards[5], times[1], 10));
    const CardVerdict brake = *Judge(cards[6], times[1], 10);
    EXPECT_EQ(brake.verdict, Verdict::Throttled);
    EXPECT_EQ(brake.slowdownReasons, 0x80u);
    const CardVerdict both = *Judge({0, CardEnd::Completed, 6.0, kHwThermalSlowdown}, times[0], 10);
    EXPECT_EQ(both.verdict, Verdict::Slow);  // slow comes first; the slowdown is kept
    EXPECT_EQ(both.slowdownReasons, kHwThermalSlowdown);
}

// Eight cards of one model, one after another: one slow, one throttled, one exactly at the
// tolerance; the matrices made once and read by every card.
TEST(CliEveryCardTest, EightCardsOfOneModelNameTheSlowAndTheThrottledCard) {
    ScriptedSystem s = Server(8);
    s.medianMsFor[3] = 5.6;
    s.medianMsFor[6] = 5.5;
    s.eventReasonsFor[5] = kHwThermalSlowdown;
    const Outcome o = Cli(s, {"--target", "all", "--json", "--reference", "0"});
    EXPECT_EQ(o.code, ToInt(ExitCode::SlowOrThrottled)) << o.err;
    EXPECT_EQ(s.ranTargets.size(), 8u);
    EXPECT_EQ(s.inputsMade, 1);
    EXPECT_EQ(s.inputsHashed, 1);
    EXPECT_EQ(s.inputsRead.size(), 1u);
    EXPECT_EQ(s.maxLiveResources, 1);  // one after another
    EXPECT_TRUE(Contains(o.err, "Preparing matrices…\n[0] Warming up the GPU…\n[0] Measured 1 of 5 series\n"));
    EXPECT_TRUE(Contains(o.err, "[7] Measured 5 of 5 series\n"));

    const std::vector<std::string> lines = Lines(o.err.substr(o.err.find("Card ")));
    ASSERT_EQ(lines.size(), 12u) << o.err;
    EXPECT_EQ(lines[0], "Card                                           Median      TFLOPS      Verdict");
    EXPECT_EQ(lines[1], "0  NVIDIA H100 80GB HBM3 · cuBLAS · 79.6 GiB   5.00 ms     219.90      ok");
    EXPECT_EQ(lines[4], "3  NVIDIA H100 80GB HBM3 · cuBLAS · 79.6 GiB   5.60 ms     196.34      slow");
    EXPECT_EQ(lines[6], "5  NVIDIA H100 80GB HBM3 · cuBLAS · 79.6 GiB   5.00 ms     219.90      throttled");
    EXPECT_EQ(lines[10], "[3] slow: 5.60 ms, 12.0% above the median of its model (5.00 ms) · 00000000:13:00.0 · "
                         "GPU-d15c0e7e-0000-4000-8000-000000000004");
    EXPECT_EQ(lines[11], "[5] throttled: hwThermalSlowdown · 00000000:15:00.0 · GPU-d15c0e7e-0000-4000-8000-000000000006");

    KeepForSchemaCheck("every-card", o.out);
    const json::Value doc = json::Parse(o.out);
    EXPECT_EQ(doc["options"]["target"].AsString(), "all");
    ASSERT_EQ(doc["cards"].AsArray().size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        const json::Value& card = doc["cards"][i];
        EXPECT_EQ(card["target"]["index"].AsNumber(), static_cast<double>(i));  // list order
        EXPECT_EQ(card["target"]["pciBusId"].AsString(), "00000000:" + std::to_string(10 + i) + ":00.0");
        EXPECT_EQ(card["verdict"]["status"].AsString(), i == 3 ? "slow" : i == 5 ? "throttled" : "ok") << i;
        EXPECT_EQ(card["verdict"]["modelMedianMs"].AsNumber(), 5.0);
    }
    EXPECT_NEAR(doc["cards"][3]["verdict"]["vsModelMedianPercent"].AsNumber(), 12.0, 1e-9);
    EXPECT_EQ(doc["cards"][5]["verdict"]["slowdownReasonNames"][0].AsString(), "hwThermalSlowdown");

    // A tighter tolerance catches the card at 10% too.
    const Outcome tight = Cli(s, {"--target", "all", "--tolerance", "9.5"});
    EXPECT_TRUE(Contains(tight.out, "[6] slow: 5.50 ms, 10.0% above the median of its model (5.00 ms)"));
}

// Two models judged apart, all at once: a slower model is not slow, and a card that fails in
// the middle of its run stops no other.
TEST(CliEveryCardTest, ConcurrentCardsOfTwoModelsAndOneFailingMidRun) {
    ScriptedSystem s = Server(4);
    const ScriptedSystem other = Server(8, "NVIDIA L4", 24152899584ull);
    for (int i = 4; i < 8; ++i) {
        s.discovered.targets.push_back(other.discovered.targets[static_cast<std::size_t>(i)]);
        s.discovered.targetMessages.emplace_back();
        s.medianMsFor[i] = 20.0;
    }
    s.multiplicationsPerSeries = 5;
    s.perMultiplication = std::chrono::milliseconds(2);
    s.failingOrdinal = 6;
    s.failAfterSeries = 2;
    const Outcome o = Cli(s, {"--target", "all", "--concurrent", "--output", "all.json", "--lang", "ru"});
    EXPECT_EQ(o.code, ToInt(ExitCode::BenchmarkError)) << o.err;
    EXPECT_EQ(s.maxLiveResources, 8);  // all at the same time
    EXPECT_EQ(s.liveResources, 0);
    EXPECT_EQ(s.inputsRead.size(), 1u);
    EXPECT_TRUE(Contains(o.err, "[6] Измерены серии 2 из 5\n")) << o.err;
    EXPECT_FALSE(Contains(o.err, "[6] Измерены серии 3 из 5"));
    EXPECT_TRUE(Contains(o.out, "[6] ошибка: cudaMalloc: out of memory · 00000000:16:00.0 · "
                                "GPU-d15c0e7e-0000-4000-8000-000000000007\n"))
        << o.out;
    EXPECT_TRUE(o.err.ends_with("Ошибка теста: card 6: cudaMalloc: out of memory\n")) << o.err;

    const json::Value doc = json::Parse(s.FileText("all.json"));
    KeepForSchemaCheck("concurrent-failed", s.FileText("all.json"));
    EXPECT_TRUE(doc["options"]["concurrent"].AsBool());
    EXPECT_EQ(doc["outcome"]["error"].AsString(), "card 6: cudaMalloc: out of memory");
    for (std::size_t i = 0; i < 8; ++i) {
        const json::Value& card = doc["cards"][i];
        EXPECT_EQ(card["outcome"]["status"].AsString(), i == 6 ? "error" : "completed") << i;
        EXPECT_EQ(card["verdict"]["status"].AsString(), i == 6 ? "failed" : "ok") << i;
    }
    EXPECT_EQ(doc["cards"][4]["verdict"]["modelMedianMs"].AsNumber(), 20.0);
    EXPECT_TRUE(doc["cards"][6]["verdict"]["modelMedianMs"].IsNull());
}

// Ctrl+C while every card runs: each card stops at its next check, releases what it holds
// once, the document is on disk at once and again at the end, every card interrupted.
TEST(CliEveryCardTest, AStopDuringAConcurrentRunStopsEveryCard) {
    ScriptedSystem s = Server(4);
    s.multiplicationsPerSeries = 50;
    s.perMultiplication = std::chrono::milliseconds(2);
    s.clocksHang = std::make_shared<testing::HangingQueries>();
    s.clocksHang->Open();  // no query hangs; the monitors are counted
    std::stop_source source;
    std::once_flag once;
    s.onProgress = [&](int k) {
        if (k == 2) std::call_once(once, [&] { std::jthread([&] { source.request_stop(); }).join(); });
    };
    const Outcome o = Cli(s, {"--target", "all", "--concurrent", "--json", "--output", "r.json"}, false,
                          source.get_token());
    EXPECT_EQ(o.code, ToInt(ExitCode::Interrupted));
    EXPECT_TRUE(o.err.ends_with("Benchmark stopped\n")) << o.err;
    EXPECT_FALSE(Contains(o.err, "Measured 5 of 5"));
    EXPECT_EQ(s.maxLiveResources, 4);
    EXPECT_EQ(s.liveResources, 0);
    EXPECT_EQ(s.clocksHang->liveMonitors, 0);
    EXPECT_EQ(s.FileText("r.json"), o.out);
    const json::Value doc = json::Parse(o.out);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "interrupted");
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(doc["cards"][i]["outcome"]["status"].AsString(), "interrupted");
        EXPECT_TRUE(doc["cards"][i]["verdict"].IsNull());
    }

    // One after another: a card that finished before the stop keeps its result, at once too.
    ScriptedSystem sequential = Server(3);
    std::stop_source stop;
    std::string early;
    int reports = 0;
    sequential.onProgress = [&](int) {
        if (++reports != 9) return;  // card 1, series 2
        std::jthread([&] { stop.request_stop(); }).join();
        early = sequential.FileText("r.json");
    };
    EXPECT_EQ(Cli(sequential, {"--target", "all", "--output", "r.json"}, false, stop.get_token()).code, 130);
    for (const std::string& text : {early, sequential.FileText("r.json")}) {
        const json::Value written = json::Parse(text);
        EXPECT_EQ(written["cards"][0]["outcome"]["status"].AsString(), "completed");
        EXPECT_EQ(written["cards"][0]["result"]["median"]["msPerMultiplication"].AsNumber(), 5.0);
        EXPECT_EQ(written["cards"][1]["outcome"]["status"].AsString(), "interrupted");
        EXPECT_EQ(written["cards"][2]["outcome"]["status"].AsString(), "interrupted");
    }
    EXPECT_EQ(sequential.ranTargets.size(), 2u);  // the card after the stop never started
}

// Documents of both schemas from several machines, cards of two models, a failure, a
// machine without a card and files that are no documents.
ScriptedSystem Fleet() {
    ScriptedSystem fleet;
    ScriptedSystem healthy = Server(8);
    healthy.hostName = "node-a";
    fleet.files["runs/job-1/a.json"] = Cli(healthy, {"--target", "all", "--json"}).out;
    ScriptedSystem odd = Server(8);
    odd.hostName = "node-b \x1b[31m";
    odd.medianMsFor[7] = 6.0;
    odd.eventReasonsFor[4] = 0x8;
    fleet.files["runs/job-1/b.json"] = Cli(odd, {"--target", "all", "--json"}).out;
    return fleet;
}

constexpr const char* kSchema2Document = R"({
  "schemaVersion": 2, "outcome": {"status": "completed", "message": "Тест завершён.", "error": null},
  "target": {"index": 0, "name": "NVIDIA GeForce RTX 4060", "backend": "cuda", "cudaOrdinal": 0,
             "dedicatedMemoryBytes": 8589934592, "sharedMemoryBytes": 0, "boardVendorId": 0, "integrated": false,
             "pciBusId": "00000000:01:00.0", "uuid": null},
  "plan": {"matrixSize": 8192, "elementFormat": "fp16", "accumulation": "fp32", "warmupMultiplications": 20,
           "seriesCount": 5, "multiplicationsPerSeries": 50},
  "inputs": {"hash": null},
  "result": {"series": [{"msPerMultiplication": 20, "tflops": 55}, {"msPerMultiplication": 20, "tflops": 55},
                        {"msPerMultiplication": 20, "tflops": 55}, {"msPerMultiplication": 20, "tflops": 55},
                        {"msPerMultiplication": 20, "tflops": 55}], "median": {"msPerMultiplication": 20, "tflops": 55}},
  "clocks": {"samples": [{"afterSeries": 1, "eventReasons": 64}, {"afterSeries": 2, "eventReasons": null}]}
})";

TEST(CliSummaryTest, NamesExactlyTheSlowThrottledAndFailedCardsAcrossMachines) {
    ScriptedSystem s = Fleet();
    ScriptedSystem broken = Server(2);
    broken.hostName = "node-c";
    broken.failingOrdinal = 1;
    broken.failAfterSeries = 3;
    s.files["runs/job-1/c.json"] = Cli(broken, {"--target", "all", "--json"}).out;
    ScriptedSystem empty;
    empty.hostName = "node-d";
    s.files["runs/job-2/d.json"] = Cli(empty, {"--json"}).out;
    ScriptedSystem single = Server(1);  // ok on its own machine, slow against the fleet
    single.hostName = "node-e";
    single.medianMsFor[0] = 5.6;
    s.files["runs/job-2/e.json"] = Cli(single, {"--json"}).out;
    s.files["runs/old.json"] = kSchema2Document;
    s.files["runs/notes.json"] = "{\"schemaVersion\": 7}";
    s.files["runs/truncated.json"] = s.files["runs/job-1/a.json"].substr(0, 300);
    s.folders.insert("empty");

    Outcome o = Cli(s, {"summary", "runs", "missing.json", "empty", "--json"});
    EXPECT_EQ(o.code, ToInt(ExitCode::BenchmarkError)) << o.err;
    EXPECT_EQ(o.err,
              "Documents: 6, hosts: 5, unreadable files: 4; tolerance: 10%\n"
              "\n"
              "Model                               Cards       Minimum     Median      Maximum\n"
              "NVIDIA H100 80GB HBM3 · 79.6 GiB    19          5.00 ms     5.00 ms     6.00 ms\n"
              "NVIDIA GeForce RTX 4060 · 8.0 GiB   1           20.00 ms    20.00 ms    20.00 ms\n"
              "\n"
              "Not ok:\n"
              "  node-b \\x1B[31m · 00000000:14:00.0 · GPU-d15c0e7e-0000-4000-8000-000000000005 · [4] throttled: "
              "hwSlowdown · runs/job-1/b.json\n"
              "  node-b \\x1B[31m · 00000000:17:00.0 · GPU-d15c0e7e-0000-4000-8000-000000000008 · [7] slow: 6.00 ms, "
              "20.0% above the median of its model (5.00 ms) · runs/job-1/b.json\n"
              "  node-c · 00000000:11:00.0 · GPU-d15c0e7e-0000-4000-8000-000000000002 · [1] failed: cudaMalloc: out of "
              "memory · runs/job-1/c.json\n"
              "  node-e · 00000000:10:00.0 · GPU-d15c0e7e-0000-4000-8000-000000000001 · [0] slow: 5.60 ms, 12.0% above "
              "the median of its model (5.00 ms) · runs/job-2/e.json\n"
              "  — · 00000000:01:00.0 · — · [0] throttled: hwThermalSlowdown · runs/old.json\n"
              "\n"
              "Runs that reached no card:\n"
              "  node-d: no compatible GPU · runs/job-2/d.json\n"
              "\n"
              "Unreadable files:\n"
              "  'runs/notes.json': schema version 7 is not one this mivaro-cli reads (2 or 3)\n"
              "  'runs/truncated.json': JSON: unterminated string at 300\n"
              "  'missing.json': cannot be read\n"
              "  'empty': a folder without *.json files\n");
    KeepForSchemaCheck("summary-failed", o.out);
    const json::Value doc = json::Parse(o.out);
    EXPECT_EQ(doc["exitCode"].AsNumber(), 1);
    EXPECT_EQ(doc["cards"].AsNumber(), 20);
    EXPECT_EQ(doc["models"][0]["cards"].AsNumber(), 19);
    EXPECT_EQ(doc["models"][0]["completed"].AsNumber(), 18);
    ASSERT_EQ(doc["notOk"].AsArray().size(), 5u);
    EXPECT_EQ(doc["notOk"][1]["verdict"].AsString(), "slow");
    EXPECT_EQ(doc["notOk"][1]["host"].AsString(), "node-b \x1b[31m");
    EXPECT_EQ(doc["notOk"][1]["uuid"].AsString(), "GPU-d15c0e7e-0000-4000-8000-000000000008");
    EXPECT_NEAR(doc["notOk"][1]["vsModelMedianPercent"].AsNumber(), 20.0, 1e-9);
    EXPECT_EQ(doc["notOk"][2]["error"].AsString(), "cudaMalloc: out of memory");
    EXPECT_TRUE(doc["notOk"][4]["host"].IsNull());
    EXPECT_EQ(doc["runsWithoutCards"][0]["outcome"].AsString(), "noCompatibleGpu");

    // Without the failure and the broken files: exit 5 for the slow and throttled cards; a
    // healthy fleet passes.
    o = Cli(s, {"summary", "runs/job-1/a.json", "runs/job-1/b.json", "--lang", "ru"});
    EXPECT_EQ(o.code, ToInt(ExitCode::SlowOrThrottled));
    EXPECT_TRUE(Contains(o.out, "[7] медленная: 6,00 мс, на 20,0% выше медианы своей модели (5,00 мс)")) << o.out;
    o = Cli(s, {"summary", "runs/job-1/a.json"});
    EXPECT_EQ(o.code, ToInt(ExitCode::Success));
    EXPECT_TRUE(o.out.ends_with("\nEvery card is ok.\n")) << o.out;
    o = Cli(s, {"summary", "runs/job-2"});
    EXPECT_EQ(o.code, ToInt(ExitCode::NoCompatibleGpu));  // a machine without its cards outweighs a slow card
    o = Cli(s, {"summary", "runs/notes.json", "missing.json"});
    EXPECT_EQ(o.code, ToInt(ExitCode::UsageError));
    EXPECT_TRUE(o.err.ends_with("mivaro-cli: summary: no result document could be read\n")) << o.err;
}

// Thousands of documents, one card each and one of eight cards: each is read, kept in what
// the summary needs and let go.
TEST(CliSummaryTest, ThousandsOfDocuments) {
    ScriptedSystem one = Server(1);
    one.hostName = "node-a";
    const std::string healthy = Cli(one, {"--json"}).out;
    ScriptedSystem s = Fleet();
    const std::string eight = s.files["runs/job-1/b.json"];
    s.files.clear();
    constexpr int kDocuments = 3000;
    for (int i = 0; i < kDocuments; ++i) {
        s.files["runs/" + std::to_string(10000 + i) + ".json"] = i == 1234 ? eight : healthy;
    }
    const Outcome o = Cli(s, {"summary", "runs"});
    EXPECT_EQ(o.code, ToInt(ExitCode::SlowOrThrottled));
    EXPECT_TRUE(o.out.starts_with("Documents: 3000, hosts: 2, unreadable files: 0; tolerance: 10%\n")) << o.out;
    EXPECT_TRUE(Contains(o.out, "NVIDIA H100 80GB HBM3 · 79.6 GiB   3007        5.00 ms     5.00 ms     6.00 ms\n"))
        << o.out;
    EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 8) << o.out;  // two cards named, no more
    EXPECT_TRUE(Contains(o.out, "[7] slow: 6.00 ms, 20.0% above the median of its model (5.00 ms) · runs/11234.json"));
}

}  // namespace
}  // namespace cli

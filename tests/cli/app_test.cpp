#include "cli/app.h"

#include <csignal>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "core/utf8.h"
#include "presentation/number_format.h"
#include "tests/cli/json_parse.h"
#include "tests/cli/scripted_system.h"

namespace cli {
namespace {

using testing::CudaTarget;
using testing::DirectMlTarget;
using testing::ScriptedSystem;

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome Cli(ScriptedSystem& system, std::vector<std::string_view> args, bool terminal = false,
            std::stop_token stop = {}) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunCli(args, system, Console{out, err, terminal}, stop);
    return {code, out.str(), err.str()};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Two CUDA cards (the second one listed by default is the first), an integrated Intel GPU
// and an AMD card without FP16 tensors.
ScriptedSystem FourCards() {
    ScriptedSystem s;
    s.discovered.targets = {CudaTarget(0, "NVIDIA GeForce RTX 4090", 0x1043, 25757220864ull),
                            CudaTarget(1, "NVIDIA GeForce RTX 4060", 0, 8ull << 30),
                            DirectMlTarget("Intel(R) UHD Graphics", DirectMlStatus::Ready, true),
                            DirectMlTarget("AMD Radeon", DirectMlStatus::NoFp16, false)};
    s.discovered.targetMessages = {{}, {}, {},
                                   {L"На этой видеокарте DirectML не поддерживает тензоры FP16.",
                                    L"DirectML FP16 tensors are unavailable on this graphics card."}};
    s.discovered.nvidiaPresent = true;
    s.discovered.cudaInstruction = {L"Проверка CUDA", L"CUDA status"};
    s.discovered.cudaContent = {L"Драйвер NVIDIA: установлен\nCUDA Runtime: 13.0",
                                L"NVIDIA driver: installed\nCUDA Runtime: 13.0"};
    s.discovered.components = {"13.0", "13.0", "13.1.0", "/usr/local/cuda/lib64/libcublas.so.13"};
    s.busIds[0] = "00000000:01:00.0";
    s.busIds[1] = "00000000:02:00.0";
    return s;
}

TEST(CliRunTest, CompletedRunPrintsResultAndPlainProgress) {
    ScriptedSystem s = FourCards();
    s.clockSamples = std::deque<std::optional<ClockSample>>({ClockSample{2520, 0}, ClockSample{2505, 0x4}, std::nullopt,
                            ClockSample{2490, 0x4 | 0x40}, ClockSample{2490, 0x4}});
    const Outcome o = Cli(s, {"--reference", "3"});

    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(s.ranTargets, std::vector<std::string>{"NVIDIA GeForce RTX 4090"});
    EXPECT_EQ(s.openedClocksFor, "00000000:01:00.0");  // matched by bus id, not by index
    EXPECT_EQ(o.err,
              "Preparing matrices…\nWarming up the GPU…\nMeasured 1 of 5 series\nMeasured 2 of 5 series\n"
              "Measured 3 of 5 series\nMeasured 4 of 5 series\nMeasured 5 of 5 series\n");
    EXPECT_TRUE(Contains(o.out, "ASUS GeForce RTX 4090 · cuBLAS · 24.0 GiB\n")) << o.out;
    EXPECT_TRUE(Contains(o.out, "Benchmark complete. Numerical validation passed.\n"));
    EXPECT_TRUE(Contains(o.out, "Time per multiplication: 5.00 ms\n"));
    EXPECT_TRUE(Contains(o.out, "Performance: 219.90 TFLOPS\n"));
    EXPECT_TRUE(Contains(o.out, "Spread: 4.80 – 5.20 ms\n"));
    // Series rows in measured order, each with the clocks sampled right after it.
    const std::size_t first = o.out.find("\n1       5.20");
    const std::size_t last = o.out.find("\n5       4.80");
    ASSERT_NE(first, std::string::npos) << o.out;
    ASSERT_NE(last, std::string::npos);
    EXPECT_LT(first, last);
    EXPECT_TRUE(Contains(o.out, "2520        none\n"));
    EXPECT_TRUE(Contains(o.out, "swPowerCap, hwThermalSlowdown\n"));
    EXPECT_TRUE(Contains(o.out, "219.90      —\n")) << o.out;  // series 3: the query failed
    EXPECT_TRUE(Contains(o.out, "Reference · RTX 4080 SUPER · Windows · CUDA 13.4   |   vs. before: +110.5%"
                                "   |   vs. after: +39.7%\n"));
    EXPECT_EQ(s.liveResources, 0);
}

TEST(CliRunTest, RussianUsesItsTextsAndDecimalComma) {
    ScriptedSystem s = FourCards();
    const Outcome o = Cli(s, {"--lang", "ru", "--reference", "0"});
    EXPECT_EQ(o.code, 0);
    EXPECT_TRUE(Contains(o.err, "Подготовка матриц…\nПрогрев видеокарты…\nИзмерены серии 1 из 5\n"));
    EXPECT_TRUE(Contains(o.out, "ASUS GeForce RTX 4090 · cuBLAS · 24,0 ГиБ\n"));
    EXPECT_TRUE(Contains(o.out, "Тест завершён. Численная проверка пройдена.\n"));
    EXPECT_TRUE(Contains(o.out, ": 5,00 мс\n"));
    EXPECT_TRUE(Contains(o.out, "Частоты не измерялись: NVML не найден\n"));
    EXPECT_FALSE(Contains(o.out, "Эталон"));  // no reference chosen: no comparison line
}

TEST(CliRunTest, TerminalProgressRewritesOneLineAndClearsIt) {
    ScriptedSystem s = FourCards();
    s.failAfterSeries = 2;
    const Outcome o = Cli(s, {}, true);
    EXPECT_EQ(o.code, ToInt(ExitCode::BenchmarkError));
    const std::string failure = "Benchmark error: cudaMalloc: out of memory\n";
    ASSERT_TRUE(Contains(o.err, failure));
    const std::string progress = o.err.substr(0, o.err.size() - failure.size());
    EXPECT_EQ(progress.find('\n'), std::string::npos);  // only carriage returns while running
    EXPECT_TRUE(Contains(progress, "\rMeasured 2 of 5 series"));
    EXPECT_FALSE(Contains(progress, "Measured 3"));
    EXPECT_EQ(progress.back(), '\r');  // erased before the error text
}

TEST(CliRunTest, ErrorsUseTheWindowsStatusTextAndExitCode) {
    ScriptedSystem s = FourCards();
    s.failAfterSeries = 3;
    s.failure = "Invalid GPU timing";
    Outcome o = Cli(s, {});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Contains(o.err, "Measured 3 of 5 series\nBenchmark error: Invalid GPU timing\n"));
    EXPECT_TRUE(o.out.empty());
    EXPECT_EQ(s.liveResources, 0);

    o = Cli(s, {"--lang=ru"});
    EXPECT_TRUE(Contains(o.err, "Ошибка теста: Invalid GPU timing\n"));
}

TEST(CliRunTest, ChoosesTargetsAndRefusesOnesThatCannotRun) {
    ScriptedSystem s = FourCards();
    s.discovered.defaultIndex = 1;
    EXPECT_EQ(Cli(s, {}).code, 0);
    EXPECT_EQ(Cli(s, {"--target", "2"}).code, 0);
    EXPECT_EQ(s.ranTargets, (std::vector<std::string>{"NVIDIA GeForce RTX 4060", "Intel(R) UHD Graphics"}));

    Outcome o = Cli(s, {"--target", "3"});
    EXPECT_EQ(o.code, ToInt(ExitCode::NoCompatibleGpu));
    EXPECT_EQ(o.err, "DirectML FP16 tensors are unavailable on this graphics card.\n");

    o = Cli(s, {"--target", "4"});
    EXPECT_EQ(o.code, ToInt(ExitCode::UsageError));
    EXPECT_TRUE(Contains(o.err, "mivaro-cli: --target 4: there are 4 cards, numbered 0 to 3"));
    EXPECT_TRUE(Contains(o.err, "Usage: mivaro-cli"));
    EXPECT_EQ(s.ranTargets.size(), 2u);  // neither refusal ran anything
}

TEST(CliRunTest, NoCompatibleGpuHasItsOwnExitCode) {
    ScriptedSystem s;
    s.discovered.status = {L"Требуется NVIDIA с CUDA или AMD/Intel с DirectML и FP16.",
                           L"A CUDA-capable NVIDIA GPU or an AMD/Intel GPU with DirectML FP16 support is required."};
    Outcome o = Cli(s, {});
    EXPECT_EQ(o.code, 3);
    EXPECT_EQ(o.err, "A CUDA-capable NVIDIA GPU or an AMD/Intel GPU with DirectML FP16 support is required.\n");

    o = Cli(s, {"--json"});
    EXPECT_EQ(o.code, 3);
    const testjson::Value doc = testjson::Parse(o.out);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "noCompatibleGpu");
    EXPECT_TRUE(doc["target"].IsNull());
    EXPECT_TRUE(doc["result"].IsNull());

    o = Cli(s, {"--target", "0"});
    EXPECT_EQ(o.code, 2);
    EXPECT_TRUE(Contains(o.err, "--target 0: no graphics card was found"));

    o = Cli(s, {"list"});
    EXPECT_EQ(o.code, 3);
    EXPECT_TRUE(Contains(o.out, "Graphics cards:\n  No compatible graphics cards found\n  A CUDA-capable"));
    EXPECT_FALSE(Contains(o.out, "CUDA components:"));  // no NVIDIA adapter: nothing to explain
}

TEST(CliRunTest, UsageHelpAndDiscoveryFailure) {
    ScriptedSystem s = FourCards();
    Outcome o = Cli(s, {"--bogus"});
    EXPECT_EQ(o.code, 2);
    EXPECT_TRUE(o.err.starts_with("mivaro-cli: unknown option '--bogus'\n\nUsage: mivaro-cli"));
    EXPECT_TRUE(o.out.empty());

    o = Cli(s, {"--help"});
    EXPECT_EQ(o.code, 0);
    EXPECT_TRUE(o.out.starts_with("Usage: mivaro-cli"));
    EXPECT_TRUE(s.ranTargets.empty());

    s.discoveryThrows = true;
    o = Cli(s, {});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, "Benchmark error: discovery exploded\n");
}

TEST(CliListTest, ListsCardsReadinessCudaStateAndReferences) {
    ScriptedSystem s = FourCards();
    const Outcome o = Cli(s, {"list"});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out,
              "Graphics cards:\n"
              "  0  ASUS GeForce RTX 4090 · cuBLAS · 24.0 GiB  ·  ready (default)\n"
              "  1  NVIDIA GeForce RTX 4060 · board vendor unknown · cuBLAS · 8 GiB  ·  ready\n"
              "  2  Intel(R) UHD Graphics · DirectML · 0.1 GiB + 8 GiB shared  ·  ready\n"
              "  3  Intel AMD Radeon · DirectML · 0.1 GiB + 8 GiB shared  ·  "
              "DirectML FP16 tensors are unavailable on this graphics card.\n"
              "\n"
              "CUDA components:\n"
              "  CUDA status\n"
              "  NVIDIA driver: installed\n"
              "  CUDA Runtime: 13.0\n"
              "\n"
              "References (--reference):\n"
              "  0  No reference\n"
              "  1  Palit GeForce RTX 4060 (Dual OC)  ·  RTX 4060 · Gentoo · PyTorch 2.12.1 / CUDA 13.0\n"
              "  2  ASUS GeForce RTX 5070 Ti Laptop GPU  ·  RTX 5070 Ti Laptop GPU · Windows · CUDA 13.5\n"
              "  3  ASUS GeForce RTX 4080 SUPER  ·  RTX 4080 SUPER · Windows · CUDA 13.4\n"
              "  4  Palit GeForce RTX 5080  ·  RTX 5080 · Windows · Mivaro 1.17\n"
              "  5  Palit GeForce RTX 4090  ·  RTX 4090 · Windows · cuBLAS\n");
    EXPECT_TRUE(s.ranTargets.empty());

    // Only cards that cannot run: listed, but no compatible GPU.
    s.discovered.targets = {s.discovered.targets[3]};
    s.discovered.targetMessages = {s.discovered.targetMessages[3]};
    EXPECT_EQ(Cli(s, {"list"}).code, 3);
}

TEST(CliJsonTest, DocumentCarriesEveryFigureOfTheRun) {
    ScriptedSystem s = FourCards();
    s.clockSamples = std::deque<std::optional<ClockSample>>({ClockSample{2520, 0}, ClockSample{2505, 0x4}, std::nullopt,
                            ClockSample{2490, 0x44}, ClockSample{2490, 0x200}});
    const Outcome o = Cli(s, {"--json", "--reference", "3"});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_TRUE(Contains(o.err, "Measured 5 of 5 series\n"));  // progress still on stderr
    const testjson::Value doc = testjson::Parse(o.out);

    EXPECT_EQ(doc["schemaVersion"].AsNumber(), 1);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "completed");
    EXPECT_EQ(doc["outcome"]["message"].AsString(), "Benchmark complete. Numerical validation passed.");
    EXPECT_TRUE(doc["outcome"]["error"].IsNull());

    const testjson::Value& target = doc["target"];
    EXPECT_EQ(target["index"].AsNumber(), 0);
    EXPECT_EQ(target["name"].AsString(), "NVIDIA GeForce RTX 4090");
    EXPECT_EQ(target["displayName"].AsString(), "ASUS GeForce RTX 4090 · cuBLAS · 24.0 GiB");
    EXPECT_EQ(target["backend"].AsString(), "cuda");
    EXPECT_EQ(target["cudaOrdinal"].AsNumber(), 0);
    EXPECT_EQ(target["dedicatedMemoryBytes"].AsNumber(), 25757220864.0);
    EXPECT_EQ(target["boardVendorId"].AsNumber(), 0x1043);
    EXPECT_EQ(target["pciBusId"].AsString(), "00000000:01:00.0");

    const testjson::Value& plan = doc["plan"];
    EXPECT_EQ(plan["matrixSize"].AsNumber(), 8192);
    EXPECT_EQ(plan["warmupMultiplications"].AsNumber(), 20);
    EXPECT_EQ(plan["seriesCount"].AsNumber(), 5);
    EXPECT_EQ(plan["multiplicationsPerSeries"].AsNumber(), 50);
    EXPECT_EQ(plan["flopsPerMultiplication"].AsNumber(), 1099511627776.0);

    const BenchmarkResult expected = testing::SampleResult();
    const testjson::Value& result = doc["result"];
    ASSERT_EQ(result["series"].AsArray().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {  // measured order, exact values
        EXPECT_EQ(result["series"][i]["msPerMultiplication"].AsNumber(), expected.series[i].msPerMultiplication);
        EXPECT_EQ(result["series"][i]["tflops"].AsNumber(), expected.series[i].tflops);
    }
    EXPECT_EQ(result["median"]["msPerMultiplication"].AsNumber(), 5.0);
    EXPECT_EQ(result["median"]["tflops"].AsNumber(), expected.median.tflops);
    EXPECT_EQ(result["spread"]["min"]["msPerMultiplication"].AsNumber(), 4.8);
    EXPECT_EQ(result["spread"]["max"]["msPerMultiplication"].AsNumber(), 5.2);
    EXPECT_EQ(result["spread"]["min"]["tflops"].AsNumber(), expected.series[4].tflops);

    EXPECT_EQ(doc["validation"]["status"].AsString(), "passed");
    EXPECT_EQ(doc["validation"]["checkedElements"][1]["row"].AsNumber(), 17);
    EXPECT_EQ(doc["validation"]["checkedElements"][1]["col"].AsNumber(), 456);

    // The figures are the ones the comparison line rounds.
    const testjson::Value& cmp = doc["comparison"];
    EXPECT_EQ(cmp["referenceIndex"].AsNumber(), 3);
    EXPECT_EQ(cmp["reference"]["name"].AsString(), "ASUS GeForce RTX 4080 SUPER");
    EXPECT_EQ(cmp["reference"]["tflopsAfter"].AsNumber(), 157.4);
    EXPECT_EQ(cmp["show"].AsString(), "both");
    const std::string line = cmp["line"].AsString();
    for (const char* key : {"vsBeforePercent", "vsAfterPercent"}) {
        const std::string shown =
            WideToUtf8(FormatSignedDecimal(cmp[key].AsNumber(), 1, Language::English)) + "%";
        EXPECT_TRUE(Contains(line, shown)) << key << " " << shown << " in " << line;
    }

    const testjson::Value& clocks = doc["clocks"];
    EXPECT_TRUE(clocks["available"].AsBool());
    ASSERT_EQ(clocks["samples"].AsArray().size(), 5u);
    EXPECT_EQ(clocks["samples"][0]["afterSeries"].AsNumber(), 1);
    EXPECT_EQ(clocks["samples"][0]["smClockMHz"].AsNumber(), 2520);
    EXPECT_TRUE(clocks["samples"][0]["eventReasonNames"].AsArray().empty());
    EXPECT_TRUE(clocks["samples"][2]["smClockMHz"].IsNull());
    EXPECT_EQ(clocks["samples"][3]["eventReasonNames"][1].AsString(), "hwThermalSlowdown");
    EXPECT_EQ(clocks["samples"][4]["eventReasonNames"][0].AsString(), "0x200");  // unknown bit kept

    EXPECT_EQ(doc["components"]["cublas"].AsString(), "13.1.0");
    EXPECT_EQ(doc["components"]["cublasLibraryPath"].AsString(), "/usr/local/cuda/lib64/libcublas.so.13");
}

TEST(CliJsonTest, FailedRunsStillGiveADocument) {
    ScriptedSystem s = FourCards();
    s.failAfterSeries = 5;
    s.failure = "FP32 reference check failed";
    Outcome o = Cli(s, {"--json", "--reference=0", "--target=2"});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Contains(o.err, "Benchmark error: FP32 reference check failed\n"));
    testjson::Value doc = testjson::Parse(o.out);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "error");
    EXPECT_EQ(doc["outcome"]["error"].AsString(), "FP32 reference check failed");
    EXPECT_EQ(doc["validation"]["status"].AsString(), "failed");
    EXPECT_TRUE(doc["result"].IsNull());
    EXPECT_TRUE(doc["comparison"].IsNull());
    EXPECT_EQ(doc["target"]["backend"].AsString(), "directml");
    EXPECT_TRUE(doc["target"]["cudaOrdinal"].IsNull());
    EXPECT_TRUE(doc["target"]["pciBusId"].IsNull());
    EXPECT_EQ(doc["plan"]["warmupMultiplications"].AsNumber(), 2);  // integrated run shape
    EXPECT_EQ(doc["plan"]["multiplicationsPerSeries"].AsNumber(), 4);
    EXPECT_FALSE(doc["clocks"]["available"].AsBool());
    EXPECT_EQ(doc["clocks"]["unavailableReason"].AsString(), "NVML not found");

    s.failure = "cudaMalloc: \"quoted\"\n\x01";
    o = Cli(s, {"--json"});
    doc = testjson::Parse(o.out);  // the text is escaped, the document stays valid
    EXPECT_EQ(doc["outcome"]["error"].AsString(), s.failure);
    EXPECT_EQ(doc["validation"]["status"].AsString(), "notReached");
    EXPECT_EQ(doc["comparison"]["vsBeforePercent"].IsNull(), true);
}

TEST(CliInterruptTest, StopRequestEndsTheRunAtItsNextCheck) {
    ScriptedSystem s = FourCards();
    s.multiplicationsPerSeries = 50;
    s.perMultiplication = std::chrono::milliseconds(2);
    std::stop_source source;
    std::jthread interrupter;
    s.onProgress = [&](int k) {
        if (k == 2) interrupter = std::jthread([&] { source.request_stop(); });
    };
    const Outcome o = Cli(s, {"--json"}, false, source.get_token());
    EXPECT_EQ(o.code, ToInt(ExitCode::Interrupted));
    EXPECT_TRUE(Contains(o.err, "Measured 2 of 5 series\n"));
    EXPECT_FALSE(Contains(o.err, "Measured 4"));
    EXPECT_TRUE(o.err.ends_with("Benchmark stopped\n"));
    EXPECT_EQ(s.liveResources, 0);  // the backend released what it held
    const testjson::Value doc = testjson::Parse(o.out);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "stopped");
    EXPECT_TRUE(doc["result"].IsNull());
}

#ifndef _WIN32
TEST(CliInterruptTest, CtrlCDuringARunStopsItThroughTheInterruptHandler) {
    ScriptedSystem s = FourCards();
    s.multiplicationsPerSeries = 50;
    s.perMultiplication = std::chrono::milliseconds(2);
    s.onProgress = [](int k) {
        if (k == 1) std::raise(SIGINT);
    };
    std::stop_source source;
    Outcome o;
    {
        const InterruptHandler handler(source);
        o = Cli(s, {}, false, source.get_token());
        EXPECT_TRUE(handler.Interrupted());
    }
    EXPECT_EQ(o.code, 130);
    EXPECT_TRUE(o.err.ends_with("series\nBenchmark stopped\n")) << o.err;
    EXPECT_FALSE(Contains(o.err, "Measured 5 of 5")) << o.err;
    EXPECT_TRUE(o.out.empty());
    EXPECT_EQ(s.liveResources, 0);
}
#endif

}  // namespace
}  // namespace cli

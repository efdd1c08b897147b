#include "cli/app.h"

#include <csignal>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "cli/exit_codes.h"
#include "cli/formats/json_reader.h"
#include "cli/formats/terminal_text.h"
#include "cli/platform/interrupt.h"
#include "core/utf8.h"
#include "tests/cli/scripted_system.h"

namespace cli {
namespace {

using testing::Cli;
using testing::Contains;
using testing::CudaTarget;
using testing::DirectMlTarget;
using testing::KeepForSchemaCheck;
using testing::Outcome;
using testing::ScriptedSystem;

ClockSample Clock(std::uint32_t mhz, std::uint64_t reasons, std::optional<std::uint32_t> milliwatts = std::nullopt,
                  std::optional<std::uint32_t> celsius = std::nullopt) {
    return {mhz, reasons, milliwatts, celsius};
}

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
    s.discovered.cudaState = {13050, 13050, 13000, 13, 1, 0, 2, DriverStatus::Installed, false, "",
                              {false, {{"/usr/local/cuda/lib64/libcublas.so.13", CublasAttemptOutcome::Used, ""}}}};
    s.discovered.components.cudaRuntime = "13.5";
    s.discovered.components.cudaDriver = "13.0";
    s.discovered.components.cublas = "13.1.0";
    s.discovered.components.cublasLibraryPath = "/usr/local/cuda/lib64/libcublas.so.13";
    s.busIds[0] = "00000000:01:00.0";
    s.busIds[1] = "00000000:02:00.0";
    return s;
}

TEST(CliRunTest, CompletedRunPrintsResultAndPlainProgress) {
    ScriptedSystem s = FourCards();
    s.clockSamples = std::deque<std::optional<ClockSample>>({Clock(2520, 0), Clock(2505, 0x4), std::nullopt,
                                                             Clock(2490, 0x4 | 0x40), Clock(2490, 0x4)});
    const Outcome o = Cli(s, {"--reference", "3"});

    EXPECT_EQ(o.code, ToInt(ExitCode::Success));  // held back by the power cap and the heat, yet one card: 0
    EXPECT_EQ(s.ranTargets, std::vector<std::string>{"NVIDIA GeForce RTX 4090"});
    EXPECT_EQ(s.openedClocksFor, "00000000:01:00.0");  // matched by bus id, not by index
    EXPECT_EQ(o.err,
              "Preparing matrices…\nWarming up the GPU…\nMeasured 1 of 5 series\nMeasured 2 of 5 series\n"
              "Measured 3 of 5 series\nMeasured 4 of 5 series\nMeasured 5 of 5 series\n");
    EXPECT_TRUE(o.out.starts_with("ASUS GeForce RTX 4090 · cuBLAS · 24.0 GiB\n")) << o.out;
    EXPECT_TRUE(Contains(o.out, "Benchmark complete. Numerical validation passed.\n"));
    EXPECT_TRUE(Contains(o.out, "Time per multiplication: 5.00 ms\n"));
    EXPECT_TRUE(Contains(o.out, "Performance: 219.90 TFLOPS\n"));
    EXPECT_TRUE(Contains(o.out, "Spread: 4.80 – 5.20 ms\n"));
    EXPECT_TRUE(Contains(o.out, "Standard deviation: 0.158 ms\n"));
    // Series rows in measured order, each with the clocks sampled while it ran.
    EXPECT_TRUE(Contains(o.out, "1       5.20        211.44      2520        none\n")) << o.out;
    EXPECT_TRUE(Contains(o.out, "3       5.00        219.90      —\n"));  // the query failed
    EXPECT_TRUE(Contains(o.out, "4       5.10        215.59      2490        swPowerCap, hwThermalSlowdown\n"));
    EXPECT_TRUE(o.out.ends_with("Reference · RTX 4080 SUPER · Windows · CUDA 13.4   |   vs. before: +110.5%"
                                "   |   vs. after: +39.7%\n\n"
                                "[0] throttled: swPowerCap, hwThermalSlowdown · 00000000:01:00.0 · "
                                "GPU-5d1e4c2a-0000-4000-8000-000000000001\n"))
        << o.out;
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
    EXPECT_TRUE(Contains(o.out, "Частоты не измерялись: библиотека NVML недоступна\n"));
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
    s.failure = "Invalid GPU timing \x1b]0;owned\x07";
    Outcome o = Cli(s, {});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Contains(o.err, "Measured 3 of 5 series\nBenchmark error: Invalid GPU timing \\x1B]0;owned\\x07\n"));
    EXPECT_TRUE(o.out.empty());
    EXPECT_EQ(s.liveResources, 0);

    o = Cli(s, {"--lang=ru"});
    EXPECT_TRUE(Contains(o.err, "Ошибка теста: Invalid GPU timing"));
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
    EXPECT_EQ(o.err, "mivaro-cli: --target 4: there are 4 cards, numbered 0 to 3 (see 'mivaro-cli list')\n");
    EXPECT_EQ(s.ranTargets.size(), 2u);  // no refusal ran anything
}

TEST(CliRunTest, NoCompatibleGpuHasItsOwnExitCode) {
    ScriptedSystem s;
    s.discovered.status = {L"Требуется NVIDIA с CUDA или AMD/Intel с DirectML и FP16.",
                           L"A CUDA-capable NVIDIA GPU or an AMD/Intel GPU with DirectML FP16 support is required."};
    Outcome o = Cli(s, {});
    EXPECT_EQ(o.code, 3);
    EXPECT_EQ(o.err, "A CUDA-capable NVIDIA GPU or an AMD/Intel GPU with DirectML FP16 support is required.\n");

    o = Cli(s, {"--target", "0", "--json"});  // no card at all: not a wrong number
    EXPECT_EQ(o.code, 3);
    KeepForSchemaCheck("no-card", o.out);
    const json::Value doc = json::Parse(o.out);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "noCompatibleGpu");
    EXPECT_EQ(doc["outcome"]["message"].AsString(), WideToUtf8(s.discovered.status.en));
    EXPECT_TRUE(doc["cards"].AsArray().empty());

    o = Cli(s, {"list"});
    EXPECT_EQ(o.code, 3);
    EXPECT_TRUE(Contains(o.out, "Graphics cards:\n  No compatible graphics cards found\n  A CUDA-capable"));
    EXPECT_FALSE(Contains(o.out, "CUDA components:"));  // no NVIDIA adapter: nothing to explain
}

TEST(CliRunTest, UsageHelpAndVersion) {
    ScriptedSystem s = FourCards();
    Outcome o = Cli(s, {"--bogus"});
    EXPECT_EQ(o.code, 2);
    EXPECT_EQ(o.err, "mivaro-cli: unknown option '--bogus' (see 'mivaro-cli --help')\n");
    EXPECT_TRUE(o.out.empty());

    o = Cli(s, {"--version"});
    EXPECT_EQ(o.code, 0);
    EXPECT_TRUE(o.out.starts_with("mivaro-cli 1.")) << o.out;
    EXPECT_TRUE(Contains(o.out, "\nbuilt for ")) << o.out;

    o = Cli(s, {"--help"});
    EXPECT_EQ(o.code, 0);
    EXPECT_TRUE(o.out.starts_with("Usage: mivaro-cli"));
    EXPECT_TRUE(s.ranTargets.empty());
}

// A system call that throws, wherever it is, ends as an error with a document, never in
// std::terminate.
TEST(CliRunTest, EveryFailingSystemCallIsAnErrorWithADocument) {
    for (const char* call : {"Discover", "Host", "PciBusId", "Details", "OpenClocks"}) {
        ScriptedSystem s = FourCards();
        s.throwingCall = call;
        const Outcome o = Cli(s, {"--json", "--output", "result.json"});
        EXPECT_EQ(o.code, ToInt(ExitCode::BenchmarkError)) << call;
        const std::string error = std::string(call) + " failed";
        EXPECT_TRUE(o.err.ends_with("Benchmark error: " + error + "\n")) << o.err;
        EXPECT_EQ(s.FileText("result.json"), o.out);
        const json::Value doc = json::Parse(o.out);
        EXPECT_EQ(doc["outcome"]["status"].AsString(), "error");
        EXPECT_EQ(doc["outcome"]["error"].AsString(), error);
        EXPECT_EQ(doc["outcome"]["message"].AsString(), "Benchmark error: " + error);
        EXPECT_TRUE(s.ranTargets.empty());
    }
    ScriptedSystem s = FourCards();
    s.throwingCall = "Discover";
    const Outcome o = Cli(s, {"list"});
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, "Benchmark error: Discover failed\n");
}

TEST(CliListTest, ListsCardsReadinessCudaStateAndReferences) {
    ScriptedSystem s = FourCards();
    s.discovered.targets[1].name = "NVIDIA \x1b[2J\xc2\x9b" "31m\xe2\x80\xae" "card";  // a hostile driver
    const Outcome o = Cli(s, {"list"});
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out,
              "Graphics cards:\n"
              "  0  ASUS GeForce RTX 4090 · cuBLAS · 24.0 GiB  ·  ready (default)\n"
              "  1  NVIDIA \\x1B[2J\\u009B31m\\u202Ecard · board vendor unknown · cuBLAS · 8 GiB  ·  ready\n"
              "  2  Intel(R) UHD Graphics · DirectML · 0.1 GiB + 8 GiB shared  ·  ready\n"
              "  3  Intel AMD Radeon · DirectML · 0.1 GiB + 8 GiB shared  ·  "
              "DirectML FP16 tensors are unavailable on this graphics card.\n"
              "\n"
              "CUDA components:\n"
              "  CUDA status\n"
              "  NVIDIA driver: installed\n"
              "  CUDA Runtime: 13.5\n"
              "  cuBLAS: 13.1.0\n"
              "  CUDA supported by driver: 13.0\n"
              "  cuBLAS found: /usr/local/cuda/lib64/libcublas.so.13\n"
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

    std::stop_source stopped;
    stopped.request_stop();
    const Outcome interrupted = Cli(s, {"list"}, false, stopped.get_token());
    EXPECT_EQ(interrupted.code, 130);
    EXPECT_TRUE(interrupted.out.empty());
}

// Without cuBLAS, on Linux: the advice for Linux, and every place the search tried.
TEST(CliListTest, NamesEveryPlaceCublasWasLookedForWithTheAdviceOfThePlatform) {
    ScriptedSystem s = FourCards();
    s.discovered.targets = {s.discovered.targets[2]};  // NVIDIA cards are left out without CUDA
    s.discovered.targetMessages = {{}};
    s.discovered.cudaAdvice = CudaAdvice::Linux;
    CudaComponentsState& cuda = s.discovered.cudaState;
    cuda.cublasMajor = 0;
    cuda.cublasMissing = true;
    cuda.cublasSearch.attempts = {
        {"/opt/mivaro/libcublas.so.13", CublasAttemptOutcome::NotPresent, ""},
        {"/home/olga/.venv/lib/python3.12/site-packages/nvidia/cu13/lib/libcublas.so.13",
         CublasAttemptOutcome::CublasLtMissing, ""},
        {"/usr/local/cuda-13.5/lib64/libcublas.so.13", CublasAttemptOutcome::LoadFailed,
         "libcublasLt.so.13: wrong ELF class\x1b[31m"},
        {"libcublas.so.13", CublasAttemptOutcome::NotPresent, ""}};
    Outcome o = Cli(s, {"list"});
    EXPECT_TRUE(Contains(o.out, "  cuBLAS not found; places tried, in order:\n"
                                "    /opt/mivaro/libcublas.so.13: not there\n"
                                "    /home/olga/.venv/lib/python3.12/site-packages/nvidia/cu13/lib/libcublas.so.13: "
                                "no cuBLASLt beside it\n"
                                "    /usr/local/cuda-13.5/lib64/libcublas.so.13: the loader refused it: "
                                "libcublasLt.so.13: wrong ELF class\\x1B[31m\n"
                                "    libcublas.so.13 (the system's library search): not there\n\n"))
        << o.out;
    const std::wstring linuxAdvice = BuildCudaStatusDialog(cuda, Language::English, CudaAdvice::Linux).content;
    EXPECT_TRUE(Contains(o.out, WideToUtf8(linuxAdvice.substr(linuxAdvice.rfind(L'\n') + 1)))) << o.out;
    EXPECT_FALSE(Contains(o.out, "Windows x64")) << o.out;

    cuda.cublasSearch = {true, {{"/srv/cublas/libcublas.so.13", CublasAttemptOutcome::ImportsMissing, ""}}};
    o = Cli(s, {"list", "--lang", "ru"});
    EXPECT_TRUE(Contains(o.out, "  cuBLAS не найден там, куда указывает MIVARO_CUBLAS:\n"
                                "    /srv/cublas/libcublas.so.13: нет функции, которую вызывает тест; поиск на этом "
                                "закончен\n"))
        << o.out;
}

TEST(CliJsonTest, DocumentCarriesEveryFigureOfTheRun) {
    ScriptedSystem s = FourCards();
    s.clockSamples = std::deque<std::optional<ClockSample>>({Clock(2520, 0, 301250, 61), Clock(2505, 0x4),
                                                             std::nullopt, Clock(2490, 0x44), Clock(2490, 0x200)});
    const Outcome o = Cli(s, {"--json", "--reference", "3"});
    ASSERT_EQ(o.code, ToInt(ExitCode::Success)) << o.err;
    EXPECT_TRUE(Contains(o.err, "Measured 5 of 5 series\n"));      // progress still on stderr
    EXPECT_TRUE(Contains(o.err, "Performance: 219.90 TFLOPS\n"));  // and the human summary
    KeepForSchemaCheck("completed", o.out);
    const json::Value doc = json::Parse(o.out);

    EXPECT_EQ(doc["schemaVersion"].AsNumber(), 3);
    EXPECT_EQ(doc["tool"]["name"].AsString(), "mivaro-cli");
    EXPECT_EQ(doc["startedAt"].AsString(), "2026-12-09T16:20:52Z");
    EXPECT_EQ(doc["host"]["name"].AsString(), "gpu-node-07");
    EXPECT_EQ(doc["host"]["cpuModel"].AsString(), "AMD Ryzen 9 7950X");
    EXPECT_TRUE(doc["options"]["target"].IsNull());
    EXPECT_EQ(doc["options"]["reference"].AsNumber(), 3);
    EXPECT_EQ(doc["plan"]["matrixSize"].AsNumber(), 8192);
    EXPECT_EQ(doc["plan"]["flopsPerMultiplication"].AsNumber(), 1099511627776.0);
    EXPECT_EQ(doc["reference"]["name"].AsString(), "ASUS GeForce RTX 4080 SUPER");
    EXPECT_EQ(doc["reference"]["tflopsAfter"].AsNumber(), 157.4);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "completed");
    EXPECT_EQ(doc["outcome"]["message"].AsString(), "Benchmark complete. Numerical validation passed.");
    EXPECT_EQ(doc["components"]["cudaRuntime"].AsString(), "13.5");
    EXPECT_EQ(doc["components"]["cublasLibraryPath"].AsString(), "/usr/local/cuda/lib64/libcublas.so.13");
    EXPECT_TRUE(doc["components"]["cublasLtLibraryPath"].IsNull());
    EXPECT_EQ(doc["components"]["cudaDriverLibraryPath"].AsString(), "/usr/lib/x86_64-linux-gnu/libcuda.so.1");

    ASSERT_EQ(doc["cards"].AsArray().size(), 1u);
    const json::Value& card = doc["cards"][0];
    const json::Value& target = card["target"];
    EXPECT_EQ(target["index"].AsNumber(), 0);
    EXPECT_EQ(target["name"].AsString(), "NVIDIA GeForce RTX 4090");
    EXPECT_EQ(target["backend"].AsString(), "cuda");
    EXPECT_EQ(target["dedicatedMemoryBytes"].AsNumber(), 25757220864.0);
    EXPECT_EQ(target["boardVendorId"].AsNumber(), 0x1043);
    EXPECT_EQ(target["pciBusId"].AsString(), "00000000:01:00.0");
    EXPECT_EQ(target["uuid"].AsString(), "GPU-5d1e4c2a-0000-4000-8000-000000000001");
    EXPECT_EQ(target["driverVersion"].AsString(), "580.65.06");
    EXPECT_EQ(target["computeCapability"].AsString(), "8.9");
    EXPECT_EQ(target["smCount"].AsNumber(), 128);
    EXPECT_EQ(card["outcome"]["status"].AsString(), "completed");
    EXPECT_EQ(card["runShape"]["warmupMultiplications"].AsNumber(), 20);
    EXPECT_EQ(card["runShape"]["multiplicationsPerSeries"].AsNumber(), 50);
    EXPECT_EQ(card["method"]["timing"].AsString(), "cudaEvents");
    EXPECT_EQ(card["inputs"]["hash"].AsString(), "0123456789abcdef");

    const BenchmarkResult expected = testing::SampleResult();
    const json::Value& result = card["result"];
    ASSERT_EQ(result["series"].AsArray().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {  // measured order, exact values
        EXPECT_EQ(result["series"][i]["msPerMultiplication"].AsNumber(), expected.series[i].msPerMultiplication);
        EXPECT_EQ(result["series"][i]["tflops"].AsNumber(), expected.series[i].tflops);
    }
    EXPECT_EQ(result["median"]["msPerMultiplication"].AsNumber(), 5.0);
    EXPECT_EQ(result["median"]["tflops"].AsNumber(), 219.9023255552);
    EXPECT_EQ(result["spread"]["min"]["msPerMultiplication"].AsNumber(), 4.8);
    EXPECT_EQ(result["spread"]["max"]["msPerMultiplication"].AsNumber(), 5.2);
    EXPECT_EQ(result["spread"]["min"]["tflops"].AsNumber(), expected.series[4].tflops);
    // Sample standard deviation of 5.2, 4.9, 5.0, 5.1, 4.8: sqrt(0.1 / 4).
    EXPECT_NEAR(result["standardDeviation"]["msPerMultiplication"].AsNumber(), 0.158114, 1e-6);

    EXPECT_EQ(card["validation"]["status"].AsString(), "passed");
    const json::Value& element = card["validation"]["checkedElements"][1];
    EXPECT_EQ(element["row"].AsNumber(), 17);
    EXPECT_EQ(element["col"].AsNumber(), 456);
    EXPECT_EQ(element["gpuValue"].AsNumber(), -42.0);
    EXPECT_EQ(element["reference"].AsNumber(), static_cast<double>(-41.99f));
    EXPECT_EQ(element["tolerance"].AsNumber(), static_cast<double>(0.10398f));
    EXPECT_TRUE(element["passed"].AsBool());

    // 219.9023255552 TFLOPS against the row's 104.47 before and 157.4 after removing limits.
    EXPECT_NEAR(card["comparison"]["vsBeforePercent"].AsNumber(), 110.493276, 1e-6);
    EXPECT_NEAR(card["comparison"]["vsAfterPercent"].AsNumber(), 39.709228, 1e-6);

    const json::Value& clocks = card["clocks"];
    EXPECT_TRUE(clocks["available"].AsBool());
    EXPECT_TRUE(clocks["unavailableReason"].IsNull());
    EXPECT_TRUE(clocks["complete"].AsBool());
    ASSERT_EQ(clocks["samples"].AsArray().size(), 5u);
    EXPECT_EQ(clocks["samples"][0]["afterSeries"].AsNumber(), 1);
    EXPECT_EQ(clocks["samples"][0]["smClockMHz"].AsNumber(), 2520);
    EXPECT_EQ(clocks["samples"][0]["powerWatts"]["max"].AsNumber(), 301.25);
    EXPECT_EQ(clocks["samples"][0]["temperatureC"]["mean"].AsNumber(), 61);
    EXPECT_TRUE(clocks["samples"][1]["powerWatts"].IsNull());  // the card did not report it
    EXPECT_TRUE(clocks["samples"][0]["eventReasonNames"].AsArray().empty());
    EXPECT_TRUE(clocks["samples"][2]["smClockMHz"].IsNull());
    EXPECT_EQ(clocks["samples"][2]["failedQueries"].AsNumber(), 1);
    EXPECT_EQ(clocks["samples"][3]["eventReasonNames"][1].AsString(), "hwThermalSlowdown");
    EXPECT_EQ(clocks["samples"][4]["eventReasonNames"][0].AsString(), "0x200");  // unknown bit kept

    EXPECT_EQ(doc["options"]["tolerancePercent"].AsNumber(), 10);
    EXPECT_FALSE(doc["options"]["concurrent"].AsBool());
    const json::Value& verdict = card["verdict"];
    EXPECT_EQ(verdict["status"].AsString(), "throttled");
    EXPECT_FALSE(verdict["slow"].AsBool());
    EXPECT_TRUE(verdict["throttled"].AsBool());
    ASSERT_EQ(verdict["slowdownReasonNames"].AsArray().size(), 2u);  // not the unknown bit
    EXPECT_EQ(verdict["slowdownReasonNames"][0].AsString(), "swPowerCap");
    EXPECT_EQ(verdict["modelMedianMs"].AsNumber(), 5.0);
    EXPECT_EQ(verdict["vsModelMedianPercent"].AsNumber(), 0.0);
}

TEST(CliJsonTest, TheDocumentIsTheSameInEveryLanguage) {
    for (const std::vector<std::string_view>& args : std::vector<std::vector<std::string_view>>{
             {"--json"}, {"--json", "--target", "3"}, {"--json", "--target", "9"}}) {
        ScriptedSystem s = FourCards();
        const std::vector<std::string_view> ru = [&] {
            auto all = args;
            all.insert(all.end(), {"--lang", "ru"});
            return all;
        }();
        std::string russian = Cli(s, ru).out;
        const std::string english = Cli(s, args).out;
        const std::size_t language = russian.find("\"language\": \"ru\"");
        ASSERT_NE(language, std::string::npos);
        russian.replace(language, 16, "\"language\": \"en\"");
        EXPECT_EQ(russian, english);
    }
}

TEST(CliJsonTest, FailedRunsStillGiveADocument) {
    ScriptedSystem s = FourCards();
    s.failCheck = true;
    Outcome o = Cli(s, {"--json", "--reference=0", "--target=2"});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(Contains(o.err, "Benchmark error: FP32 reference check failed\n"));
    KeepForSchemaCheck("check-failed", o.out);
    json::Value doc = json::Parse(o.out);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "error");
    EXPECT_EQ(doc["outcome"]["error"].AsString(), "FP32 reference check failed");
    EXPECT_TRUE(doc["reference"].IsNull());
    const json::Value* card = &doc["cards"][0];
    EXPECT_EQ((*card)["outcome"]["error"].AsString(), "FP32 reference check failed");
    EXPECT_EQ((*card)["validation"]["status"].AsString(), "failed");
    EXPECT_FALSE((*card)["validation"]["checkedElements"][1]["passed"].AsBool());
    EXPECT_EQ((*card)["validation"]["checkedElements"][1]["gpuValue"].AsNumber(), -40.0);
    EXPECT_EQ((*card)["method"]["timing"].AsString(), "d3d12Timestamps");
    EXPECT_TRUE((*card)["inputs"]["hash"].IsNull());
    EXPECT_TRUE((*card)["result"].IsNull());
    EXPECT_TRUE((*card)["comparison"].IsNull());
    EXPECT_EQ((*card)["target"]["backend"].AsString(), "directml");
    EXPECT_TRUE((*card)["target"]["cudaOrdinal"].IsNull());
    EXPECT_TRUE((*card)["target"]["pciBusId"].IsNull());
    EXPECT_EQ((*card)["runShape"]["warmupMultiplications"].AsNumber(), 2);  // integrated run shape
    EXPECT_EQ((*card)["runShape"]["multiplicationsPerSeries"].AsNumber(), 4);
    EXPECT_FALSE((*card)["clocks"]["available"].AsBool());
    EXPECT_EQ((*card)["clocks"]["unavailableReason"].AsString(), "nvmlMissing");

    s.failCheck = false;
    s.failAfterSeries = 5;
    s.failure = "cudaMalloc: \"quoted\"\n\x01";
    o = Cli(s, {"--json"});
    KeepForSchemaCheck("backend-failed", o.out);
    doc = json::Parse(o.out);  // the text is escaped, the document stays valid
    card = &doc["cards"][0];
    EXPECT_EQ((*card)["outcome"]["error"].AsString(), s.failure);
    EXPECT_EQ((*card)["validation"]["status"].AsString(), "notReached");
    EXPECT_TRUE((*card)["comparison"]["vsBeforePercent"].IsNull());

    o = Cli(s, {"--json", "--target", "3"});  // a card that cannot run: listed, never reached
    KeepForSchemaCheck("not-ready", o.out);
    doc = json::Parse(o.out);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "targetNotReady");
    EXPECT_EQ(doc["outcome"]["message"].AsString(), "DirectML FP16 tensors are unavailable on this graphics card.");
    EXPECT_EQ(doc["cards"][0]["target"]["directMlStatus"].AsString(), "noFp16");
    EXPECT_EQ(doc["cards"][0]["clocks"]["unavailableReason"].AsString(), "notReached");
}

TEST(CliOutputTest, OutputHoldsTheWholeDocumentOrSaysWhyNot) {
    ScriptedSystem s = FourCards();
    Outcome o = Cli(s, {"--output", "result.json"});
    EXPECT_EQ(o.code, 0);
    EXPECT_TRUE(Contains(o.out, "Performance: 219.90 TFLOPS\n"));  // the summary stays on standard output
    EXPECT_EQ(json::Parse(s.FileText("result.json"))["outcome"]["status"].AsString(), "completed");
    EXPECT_EQ(s.FileText("result.json"), Cli(s, {"--json"}).out);

    s.failAfterSeries = 1;  // a failed run replaces it with its own
    EXPECT_EQ(Cli(s, {"--output=result.json"}).code, 1);
    EXPECT_EQ(json::Parse(s.FileText("result.json"))["outcome"]["status"].AsString(), "error");

    s.writeFailure = "No space left on device";
    o = Cli(s, {"--output", "C:\\Users\\Ольга\\result.json"});
    EXPECT_EQ(o.code, ToInt(ExitCode::OutputError));
    EXPECT_TRUE(o.err.ends_with("mivaro-cli: the document could not be written to "
                                "'C:\\Users\\Ольга\\result.json': No space left on device\n"))
        << o.err;

    // Every write fails, as on a full disk or a closed pipe.
    for (const std::vector<std::string_view>& args : std::vector<std::vector<std::string_view>>{
             {"--json"}, {}, {"list"}, {"--help"}}) {
        std::ostream closed(nullptr);
        std::ostringstream err;
        EXPECT_EQ(RunCli(args, s, Console{closed, err, false}, {}), ToInt(ExitCode::OutputError));
        EXPECT_TRUE(Contains(err.str(), "mivaro-cli: the output could not be written")) << err.str();
    }
}

TEST(CliInterruptTest, StopRequestWritesTheDocumentAtOnceAndEndsTheRunAtItsNextCheck) {
    ScriptedSystem s = FourCards();
    s.multiplicationsPerSeries = 50;
    s.perMultiplication = std::chrono::milliseconds(2);
    s.clockSamples = std::deque<std::optional<ClockSample>>({Clock(2520, 0), Clock(2505, 0x4)});
    std::stop_source source;
    std::string onDiskAtTheRequest;
    s.onProgress = [&](int k) {
        if (k != 2) return;
        std::jthread([&] { source.request_stop(); }).join();  // as the interrupt's thread does
        onDiskAtTheRequest = s.FileText("result.json");
    };
    const Outcome o = Cli(s, {"--json", "--output", "result.json"}, false, source.get_token());
    KeepForSchemaCheck("interrupted", o.out);
    EXPECT_EQ(o.code, ToInt(ExitCode::Interrupted));
    EXPECT_TRUE(Contains(o.err, "Measured 2 of 5 series\n"));
    EXPECT_FALSE(Contains(o.err, "Measured 4"));
    EXPECT_TRUE(o.err.ends_with("Benchmark stopped\n"));
    EXPECT_EQ(s.liveResources, 0);  // the backend released what it held
    const json::Value early = json::Parse(onDiskAtTheRequest);
    EXPECT_EQ(early["outcome"]["status"].AsString(), "interrupted");
    EXPECT_EQ(early["cards"][0]["outcome"]["status"].AsString(), "interrupted");
    EXPECT_EQ(early["cards"][0]["clocks"]["samples"].AsArray().size(), 2u);  // what it had by then
    const json::Value doc = json::Parse(o.out);
    EXPECT_EQ(doc["outcome"]["status"].AsString(), "interrupted");
    EXPECT_TRUE(doc["cards"][0]["result"].IsNull());
    EXPECT_EQ(s.FileText("result.json"), o.out);
}

// Standard error that nobody reads (a full pipe, a paused terminal): every write waits until
// released, or gives up after 10 s and says so.
class BlockedStream : public std::streambuf {
public:
    void Release() {
        const std::lock_guard lock(mutex_);
        released_ = true;
        releasedChanged_.notify_all();
    }
    bool GaveUp() {
        const std::lock_guard lock(mutex_);
        return gaveUp_;
    }
    std::string Text() {
        const std::lock_guard lock(mutex_);
        return text_;
    }

protected:
    int overflow(int c) override {
        if (c != traits_type::eof()) Write(std::string(1, traits_type::to_char_type(c)));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        Write(std::string(s, static_cast<std::size_t>(n)));
        return n;
    }

private:
    void Write(const std::string& part) {
        std::unique_lock lock(mutex_);
        if (!releasedChanged_.wait_for(lock, std::chrono::seconds(10), [this] { return released_; })) {
            gaveUp_ = released_ = true;
        }
        text_ += part;
    }
    std::mutex mutex_;
    std::condition_variable releasedChanged_;
    bool released_ = false;
    bool gaveUp_ = false;
    std::string text_;
};

TEST(CliInterruptTest, ABlockedStandardErrorHoldsNeitherTheCardNorTheStopDocument) {
    ScriptedSystem s = FourCards();
    s.multiplicationsPerSeries = 50;
    s.perMultiplication = std::chrono::milliseconds(2);
    std::stop_source source;
    std::promise<std::string> onDiskAtTheRequest;
    s.onProgress = [&](int k) {
        if (k != 2) return;
        std::jthread([&] { source.request_stop(); }).join();
        onDiskAtTheRequest.set_value(s.FileText("result.json"));
    };
    BlockedStream blocked;
    std::ostream err(&blocked);
    std::ostringstream out;
    int code = 0;
    std::jthread run([&] { code = RunCli({"--output", "result.json"}, s, Console{out, err, false}, source.get_token()); });
    std::future<std::string> early = onDiskAtTheRequest.get_future();
    ASSERT_EQ(early.wait_for(std::chrono::seconds(5)), std::future_status::ready);  // the card went on
    EXPECT_EQ(json::Parse(early.get())["outcome"]["status"].AsString(), "interrupted");
    blocked.Release();
    run.join();
    EXPECT_FALSE(blocked.GaveUp());
    EXPECT_EQ(code, ToInt(ExitCode::Interrupted));
    EXPECT_TRUE(Contains(blocked.Text(), "Measured 2 of 5 series\n")) << blocked.Text();  // nothing lost
    EXPECT_TRUE(blocked.Text().ends_with("Benchmark stopped\n")) << blocked.Text();
}

// A clock query that never returns delays the run by about a second, once (not at every
// series, nor at the sampler's end), and the document says the clocks are incomplete; the
// monitor is released when the query finally returns.
TEST(CliInterruptTest, AHangingClockQueryCannotHoldTheRun) {
    ScriptedSystem s = FourCards();
    s.clockSamples = std::deque<std::optional<ClockSample>>({Clock(2520, 0)});
    s.clocksHang = std::make_shared<testing::HangingQueries>();
    const auto start = std::chrono::steady_clock::now();
    const Outcome o = Cli(s, {"--json"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    EXPECT_TRUE(Contains(o.err, "Clocks incomplete: NVML did not answer within 1 s\n"));
    const json::Value doc = json::Parse(o.out);
    const json::Value& clocks = doc["cards"][0]["clocks"];
    EXPECT_FALSE(clocks["complete"].AsBool());
    EXPECT_EQ(clocks["samples"][0]["sampleCount"].AsNumber(), 1);
    EXPECT_EQ(clocks["samples"][1]["sampleCount"].AsNumber(), 0);

    s.clocksHang->Open();
    std::unique_lock lock(s.clocksHang->mutex);
    EXPECT_TRUE(s.clocksHang->opened.wait_for(lock, std::chrono::seconds(10),
                                              [&] { return s.clocksHang->liveMonitors == 0; }));
}

#ifndef _WIN32
TEST(CliInterruptTest, CtrlCDuringARunStopsItThroughTheInterruptHandler) {
    ScriptedSystem s = FourCards();
    s.multiplicationsPerSeries = 50;
    s.perMultiplication = std::chrono::milliseconds(2);
    s.onProgress = [](int k) {
        if (k == 1) std::raise(SIGHUP);  // a closed terminal stops the run like Ctrl+C
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

// A schema 2 document as mivaro-cli 1.25 wrote it with --lang ru (only the fields read back).
constexpr const char* kSchema2Document = R"({
  "schemaVersion": 2, "language": "ru",
  "outcome": {"status": "completed", "message": "Тест завершён.", "error": null},
  "target": {"index": 1, "name": "NVIDIA GeForce RTX 4060", "displayName": "NVIDIA GeForce RTX 4060 · 8 ГиБ",
             "backend": "cuda", "cudaOrdinal": 1, "dedicatedMemoryBytes": 8589934592, "sharedMemoryBytes": 0,
             "boardVendorId": 0, "integrated": false, "directMlStatus": "ready", "pciBusId": null, "uuid": null},
  "plan": {"matrixSize": 8192, "elementFormat": "fp16", "accumulation": "fp32", "warmupMultiplications": 20,
           "seriesCount": 5, "multiplicationsPerSeries": 50, "flopsPerMultiplication": 1099511627776},
  "inputs": {"hashAlgorithm": "xxh64", "hash": "0123456789abcdef"},
  "result": {"series": [{"msPerMultiplication": 20, "tflops": 54.9}, {"msPerMultiplication": 20, "tflops": 54.9},
                        {"msPerMultiplication": 20, "tflops": 54.9}, {"msPerMultiplication": 20, "tflops": 54.9},
                        {"msPerMultiplication": 20, "tflops": 54.9}],
             "median": {"msPerMultiplication": 20, "tflops": 54.975581388800004}},
  "clocks": {"source": "nvml", "available": false, "unavailableReason": "NVML is unavailable", "intervalMs": 50,
             "samples": []}
})";

std::string Utf16(std::string_view utf8, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    const auto unit = [&](char32_t u) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    };
    while (!utf8.empty()) {
        const Utf8CodePoint c = DecodeUtf8(utf8);
        if (c.value >= 0x10000) {
            unit(0xD800 + ((c.value - 0x10000) >> 10));
            unit(0xDC00 + ((c.value - 0x10000) & 0x3FF));
        } else {
            unit(c.value);
        }
        utf8.remove_prefix(c.length);
    }
    return out;
}

TEST(CliCompareTest, SetsTwoResultsSideBySideWhateverTheirVersionEncodingAndLanguage) {
    ScriptedSystem s = FourCards();
    s.files["fast.json"] = Cli(s, {"--json", "--lang", "ru"}).out;
    s.files["v2.json"] = kSchema2Document;
    Outcome o = Cli(s, {"compare", "fast.json", "v2.json"});
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_TRUE(Contains(o.out, "Card              ASUS GeForce RTX 4090 · cuBLAS · 24.0 GiB  ")) << o.out;
    EXPECT_TRUE(Contains(o.out, "  NVIDIA GeForce RTX 4060 · board vendor unknown · cuBLAS · 8 GiB\n")) << o.out;
    EXPECT_TRUE(Contains(o.out, "Median time       5.000 ms")) << o.out;
    EXPECT_TRUE(Contains(o.out, "20.000 ms\n")) << o.out;
    EXPECT_TRUE(Contains(o.out, "Second vs first: time +300.0%, TFLOPS -75.0%\n")) << o.out;
    EXPECT_FALSE(Contains(o.out, "WARNING"));

    // What PowerShell 5.1's '>' and Windows editors write.
    s.files["bom.json"] = "\xEF\xBB\xBF" + s.files["fast.json"];
    s.files["le.json"] = Utf16(s.files["fast.json"], false);
    s.files["be.json"] = Utf16(s.files["fast.json"], true);
    for (const char* file : {"bom.json", "le.json", "be.json"}) {
        o = Cli(s, {"compare", file, "fast.json"});
        EXPECT_EQ(o.code, 0) << file << ": " << o.err;
        EXPECT_TRUE(Contains(o.out, "time +0.0%, TFLOPS +0.0%")) << o.out;
    }

    // An integrated DirectML run (another plan) with other inputs.
    s.inputsHash = 42;
    s.files["igpu.json"] = Cli(s, {"--json", "--target", "2"}).out;
    o = Cli(s, {"compare", "fast.json", "igpu.json"});
    EXPECT_EQ(o.code, 0);
    EXPECT_TRUE(Contains(o.out, "WARNING: the plans differ, the times are not directly comparable:\n"
                                "  first:  20 warm-up, 5 series of 50\n  second: 2 warm-up, 5 series of 4\n"))
        << o.out;
    EXPECT_TRUE(Contains(o.out, "WARNING: the input hashes differ (0123456789abcdef vs 000000000000002a)")) << o.out;
}

TEST(CliCompareTest, RefusesWhatItCannotUseAndKeepsHostileTextsOffTheTerminal) {
    ScriptedSystem s = FourCards();
    const std::string good = Cli(s, {"--json"}).out;
    s.files["good.json"] = good;
    s.failAfterSeries = 2;
    s.files["failed.json"] = Cli(s, {"--json"}).out;
    s.files["broken.json"] = "{\"schemaVersion\": 3,";
    s.files["future.json"] = "{\"schemaVersion\": 99}";
    s.files["old.json"] = "{\"schemaVersion\": 1}";
    s.files["other.json"] = "[1, 2]";
    s.files["duplicate.json"] = "{\"schemaVersion\": 3, \"a\\u001b[31m\\n\": 1, \"a\\u001b[31m\\n\": 2}";
    s.files["no-bom.json"] = Utf16(good, false).substr(2);
    s.files["utf32.json"] = std::string("\xFF\xFE\x00\x00{", 5);
    s.files["latin1.json"] = "{\"schemaVersion\": 3, \"x\": \"\xE9\"}";
    s.files["huge.json"] = std::string(json::kMaxDocumentBytes + 1, ' ');
    std::string manyValues = "[";
    for (int i = 0; i < 5'000'000; ++i) manyValues += "{},";  // 15 MB
    s.files["many.json"] = manyValues + "{}]";
    std::string wrongType = good;
    const std::string firstTime = "\"msPerMultiplication\": 5.2";
    wrongType.replace(wrongType.find(firstTime), firstTime.size(), "\"msPerMultiplication\": \"5.2\"");
    s.files["wrong-type.json"] = wrongType;

    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Users\\Ольга\\missing.json", "'C:\\Users\\Ольга\\missing.json' cannot be read"},
        {"failed.json", "'failed.json': holds no result (outcome 'error')"},
        {"broken.json", "'broken.json': JSON: unexpected end at 20"},
        {"future.json", "'future.json': schema version 99 is not one this mivaro-cli reads (2 or 3)"},
        {"old.json", "'old.json': schema version 1 is not one this mivaro-cli reads (2 or 3)"},
        {"other.json", "'other.json': not a mivaro-cli result"},
        {"duplicate.json", "'duplicate.json': JSON: duplicate key 'a\\x1B[31m\\x0A' at"},
        {"no-bom.json", "'no-bom.json': UTF-16 text without a byte-order mark"},
        {"utf32.json", "'utf32.json': UTF-32 text"},
        {"latin1.json", "'latin1.json': not UTF-8 text (byte 0xE9 at offset 27)"},
        {"huge.json", "'huge.json' is larger than 16 MiB"},
        {"many.json", "'many.json': JSON: more than 131072 values"},
        {"wrong-type.json", "'wrong-type.json': 'cards[0].result.series[0].msPerMultiplication' is not a number"},
    };
    for (const auto& [file, reason] : cases) {
        const Outcome o = Cli(s, {"compare", "good.json", file});
        EXPECT_EQ(o.code, ToInt(ExitCode::UsageError)) << file;
        EXPECT_TRUE(o.err.starts_with(std::string("mivaro-cli: compare: ") + reason)) << o.err;
        EXPECT_EQ(o.err.find_first_of("\x1b\n"), o.err.size() - 1) << o.err;  // one line, no escape
        EXPECT_TRUE(o.out.empty());
    }

    // A document's texts reach the terminal without their controls.
    std::string hostile = good;
    const std::string name = "NVIDIA GeForce RTX 4090";
    hostile.replace(hostile.find(name), name.size(), "\\u001b[2J\\u009b31m\\u202ecard");
    s.files["hostile.json"] = hostile;
    const Outcome shown = Cli(s, {"compare", "good.json", "hostile.json"});
    EXPECT_EQ(shown.code, 0) << shown.err;
    EXPECT_TRUE(Contains(shown.out, "ASUS \\x1B[2J\\u009B31m\\u202Ecard · cuBLAS")) << shown.out;
    EXPECT_FALSE(Contains(shown.out, "\x1b") || Contains(shown.out, "\xc2\x9b") || Contains(shown.out, "\xe2\x80\xae"));
}

}  // namespace
}  // namespace cli

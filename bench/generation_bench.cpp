// Times the value-at-a-time generator and the product's generator side by side (repetitions
// interleaved at random, so that load from other processes hits both alike), then prints
// the speed ratio and whether both produced the same matrices.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/input_matrices.h"
#include "core/matrix_generation.h"

namespace {

std::map<std::string, std::uint64_t> g_hashes;

std::uint64_t Hash(const gemm::InputMatrices& inputs) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const auto* matrix : {&inputs.a, &inputs.b}) {
        for (const std::uint16_t element : *matrix) {
            hash = (hash ^ element) * 0x100000001B3ull;
        }
    }
    return hash;
}

using StreamFactory = std::unique_ptr<gemm::HalfStream> (*)();

void Generation(benchmark::State& state, const char* name, StreamFactory makeStream) {
    const gemm::StopRequested never = [] { return false; };
    std::uint64_t hash = 0;
    for (auto _ : state) {
        const gemm::InputMatrices inputs = gemm::GenerateInputMatrices(*makeStream(), never);
        state.PauseTiming();
        hash = Hash(inputs);
        state.ResumeTiming();
    }
    g_hashes[name] = hash;
}

const char* const kSequential = "Sequential";
const char* const kBatched = "Batched";

// Keeps every repetition's CPU and wall time per method, next to the usual console output.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                auto& times = times_[run.run_name.function_name];
                times.cpu.push_back(run.GetAdjustedCPUTime());
                times.real.push_back(run.GetAdjustedRealTime());
            }
        }
    }

    void PrintRatio() {
        if (times_.count(kSequential) == 0 || times_.count(kBatched) == 0) {
            return;
        }
        const Times& sequential = times_[kSequential];
        const Times& batched = times_[kBatched];
        std::printf("\nSequential / batched, medians of %zu and %zu repetitions:\n", sequential.cpu.size(),
                    batched.cpu.size());
        std::printf("  CPU time:  %.0f ms / %.0f ms = %.2fx\n", Median(sequential.cpu), Median(batched.cpu),
                    Median(sequential.cpu) / Median(batched.cpu));
        std::printf("  wall time: %.0f ms / %.0f ms = %.2fx\n", Median(sequential.real), Median(batched.real),
                    Median(sequential.real) / Median(batched.real));
        const bool identical = g_hashes.count(kSequential) != 0 && g_hashes[kSequential] == g_hashes[kBatched];
        std::printf("  matrices:  %s\n", identical ? "identical" : "DIFFERENT");
    }

private:
    struct Times {
        std::vector<double> cpu;
        std::vector<double> real;
    };

    static double Median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const std::size_t middle = values.size() / 2;
        return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
    }

    std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);  // later command-line flags still win
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    const std::pair<const char*, StreamFactory> methods[] = {{kSequential, &gemm::MakeSequentialStream},
                                                             {kBatched, &gemm::MakeBatchedStream}};
    for (const auto& [name, makeStream] : methods) {
        benchmark::RegisterBenchmark(name, Generation, name, makeStream)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(5);
    }
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio();
    benchmark::Shutdown();
    return 0;
}

// Times the plain loop of bench/plain_generation.h and the product's matrix preparation side
// by side (repetitions interleaved at random, so that load from other processes hits both
// alike), then prints the speed ratio and whether both produced the same matrices.
// bench/generation_timing.cpp measures the same on every platform, with the time per stage.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "bench/plain_generation.h"
#include "core/generation_kernels.h"
#include "core/input_matrices.h"

namespace {

gemm::InputMatrices ProductInputMatrices() {
    return gemm::MakeInputMatrices(std::stop_token{});
}

template <auto generate>
void Generation(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(generate());
    }
}

const char* const kPlain = "PlainLoop";
const char* const kProduct = "Product";

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
        if (times_.count(kPlain) == 0 || times_.count(kProduct) == 0) {
            return;
        }
        const Times& plain = times_[kPlain];
        const Times& product = times_[kProduct];
        std::printf("\nPlain loop / product (%s), medians of %zu and %zu repetitions:\n",
                    gemm::SimdPathName(gemm::FastestSimdPath()), plain.cpu.size(), product.cpu.size());
        std::printf("  CPU time:  %.0f ms / %.0f ms = %.2fx\n", Median(plain.cpu), Median(product.cpu),
                    Median(plain.cpu) / Median(product.cpu));
        std::printf("  wall time: %.0f ms / %.0f ms = %.2fx\n", Median(plain.real), Median(product.real),
                    Median(plain.real) / Median(product.real));
        const std::size_t differing =
            bench::CountDifferingElements(bench::PlainInputMatrices(), ProductInputMatrices());
        if (differing == 0) {
            std::printf("  matrices:  identical\n");
        } else {
            std::printf("  matrices:  %zu elements differ\n", differing);
        }
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
    using Method = void (*)(benchmark::State&);
    const std::pair<const char*, Method> methods[] = {{kPlain, &Generation<&bench::PlainInputMatrices>},
                                                      {kProduct, &Generation<&ProductInputMatrices>}};
    for (const auto& [name, method] : methods) {
        benchmark::RegisterBenchmark(name, method)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
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

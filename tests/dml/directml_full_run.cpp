// Runs the whole DirectML benchmark on the first ready AMD or Intel adapter and prints the
// five series, the median and the validation outcome (a long manual check under Wine).

#include <chrono>
#include <cstdio>
#include <exception>
#include <stop_token>

#include "dml/adapter_discovery.h"
#include "dml/win32_platform.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    const auto start = std::chrono::steady_clock::now();
    try {
        const std::vector<GpuTarget> targets = gemm::FindDirectMlAdapters();
        const GpuTarget* selected = nullptr;
        for (const GpuTarget& target : targets) {
            std::printf("adapter \"%s\" status %d integrated %d\n", target.name.c_str(),
                        static_cast<int>(target.directMlStatus), target.integrated ? 1 : 0);
            if (selected == nullptr && target.directMlStatus == DirectMlStatus::Ready) {
                selected = &target;
            }
        }
        if (selected == nullptr) {
            std::printf("no ready DirectML adapter\n");
            return 1;
        }
        std::fflush(stdout);
        const BenchmarkResult result =
            gemm::RunDirectMl(selected->adapterLuid, std::stop_token{}, [&](int value) {
                std::printf("[%8.1f s] progress %d\n", SecondsSince(start), value);
                std::fflush(stdout);
            });
        for (int k = 0; k < BenchmarkPlan::seriesCount; ++k) {
            std::printf("series %d: %.6f ms per multiplication, %.9f TFLOPS\n", k + 1,
                        result.series[k].msPerMultiplication, result.series[k].tflops);
        }
        std::printf("median: %.6f ms per multiplication, %.9f TFLOPS\n",
                    result.median.msPerMultiplication, result.median.tflops);
        std::printf("validation: passed (FP32 reference check of 3 elements)\n");
    } catch (const std::exception& error) {
        std::printf("[%8.1f s] Benchmark error: %s\n", SecondsSince(start), error.what());
        return 1;
    }
    std::printf("[%8.1f s] done\n", SecondsSince(start));
    return 0;
}

// Runs the DirectML benchmark on the first ready AMD or Intel adapter and prints the adapters,
// the progress, the timings and the validation outcome (long manual checks under Wine):
//   mivaro_dml_real_run                        the whole benchmark: five series and the median
//   mivaro_dml_real_run --one-multiplication   only one multiplication really submitted, so
//     that a discrete 8192 x 8192 x 8192 product can be checked on a software GPU in minutes
//     instead of hours: the first submission of the block list (the first warm-up) runs, its
//     later submissions are skipped. The run's own timestamp reads then see that one
//     dispatch's interval again, and its validation checks that dispatch's output against the
//     FP32 reference as usual.

#include <chrono>
#include <cstdio>
#include <exception>
#include <set>
#include <stop_token>
#include <string_view>

#include "dml/adapter_discovery.h"
#include "dml/directml_run.h"
#include "dml/win32_platform.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The real calls, except that a command list other than the first one submitted (the
// context's list: initialisation, later validation) runs only once.
class OneMultiplicationPlatform : public gemm::Win32DmlPlatform {
public:
    int skipped = 0;

    void ExecuteCommandList(gemm::Handle queue, gemm::Handle list) override {
        if (contextList_ == 0) contextList_ = list;
        if (list != contextList_ && !submitted_.insert(list).second) {
            ++skipped;
            return;
        }
        Win32DmlPlatform::ExecuteCommandList(queue, list);
    }

private:
    gemm::Handle contextList_ = 0;
    std::set<gemm::Handle> submitted_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool oneMultiplication = argc == 2 && std::string_view(argv[1]) == "--one-multiplication";
    if (argc > 1 && !oneMultiplication) {
        std::printf("usage: mivaro_dml_real_run [--one-multiplication]\n");
        return 2;
    }
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
        const auto progress = [&](int value) {
            std::printf("[%8.1f s] progress %d\n", SecondsSince(start), value);
            std::fflush(stdout);
        };
        if (oneMultiplication) {
            OneMultiplicationPlatform platform;
            gemm::AbandonedAdapters abandoned;
            const BenchmarkResult result = gemm::RunDirectMl(platform, selected->adapterLuid, std::stop_token{},
                                                             progress, gemm::MakeInputMatrices, abandoned);
            std::printf("skipped submissions: %d\n", platform.skipped);
            std::printf("GPU time of the multiplication: %.1f ms (%.9f TFLOPS)\n",
                        result.median.msPerMultiplication, result.median.tflops);
        } else {
            const BenchmarkResult result = gemm::RunDirectMl(selected->adapterLuid, std::stop_token{}, progress);
            for (int k = 0; k < BenchmarkPlan::seriesCount; ++k) {
                std::printf("series %d: %.6f ms per multiplication, %.9f TFLOPS\n", k + 1,
                            result.series[k].msPerMultiplication, result.series[k].tflops);
            }
            std::printf("median: %.6f ms per multiplication, %.9f TFLOPS\n",
                        result.median.msPerMultiplication, result.median.tflops);
        }
        std::printf("validation: passed (FP32 reference check of 3 elements)\n");
    } catch (const std::exception& error) {
        std::printf("[%8.1f s] Benchmark error: %s\n", SecondsSince(start), error.what());
        return 1;
    }
    std::printf("[%8.1f s] done\n", SecondsSince(start));
    return 0;
}

// Times matrix preparation against the plain loop of bench/plain_generation.h, side by side in
// one run with the order alternating between rounds, then prints the ratio of the medians,
// whether both gave the same matrices, and where the product's time goes. A plain program
// rather than a Google Benchmark one, so that the Windows build runs it too (under Wine).
//   core_generation_timing [rounds]   (default 5)

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stop_token>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

#include "bench/plain_generation.h"
#include "core/generation_kernels.h"
#include "core/matrix_generation.h"
#include "core/mersenne_twister.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of the calling thread, which load from other processes disturbs less than wall
// time.
double ThreadCpuSeconds() {
#if defined(_WIN32)
    FILETIME creation;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    GetThreadTimes(GetCurrentThread(), &creation, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;  // 100 ns ticks
#else
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

struct Times {
    std::vector<double> wall;
    std::vector<double> cpu;
};

void Measure(Times& times, const std::function<void()>& work) {
    const Clock::time_point wallStart = Clock::now();
    const double cpuStart = ThreadCpuSeconds();
    work();
    times.cpu.push_back(ThreadCpuSeconds() - cpuStart);
    times.wall.push_back(std::chrono::duration<double>(Clock::now() - wallStart).count());
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// The product's block stages without the matrices: the first `stages` of twister,
// acceptance, logarithm, square root and division, conversion, over as many engine blocks
// as A and B take. The rare rescaled pairs are left out.
class StagePasses {
public:
    explicit StagePasses(gemm::SimdPath path) : path_(path), kernels_(gemm::KernelsFor(path)) {
        const std::size_t values = 2 * static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix);
        gemm::MersenneTwisterBlocks engine(gemm::kGeneratorSeed, path_);
        for (std::size_t produced = 0; produced < values; ++blocks_) {
            engine.NextBlock(words_);
            kernels_.acceptPairs(words_, pairs_);
            produced += 2 * pairs_.count;
        }
    }

    static constexpr int kStages = 5;

    void Run(int stages) {
        gemm::MersenneTwisterBlocks engine(gemm::kGeneratorSeed, path_);
        for (std::size_t block = 0; block < blocks_; ++block) {
            engine.NextBlock(words_);
            if (stages >= 2) {
                kernels_.acceptPairs(words_, pairs_);
            }
            if (stages >= 3) {
                kernels_.logarithms(pairs_.s, pairs_.logarithm, gemm::PaddedPairs(pairs_.count));
            }
            if (stages >= 4) {
                kernels_.polarFactors(pairs_);
            }
            if (stages >= 5) {
                kernels_.toHalves(pairs_, halves_);
            }
        }
    }

private:
    gemm::SimdPath path_;
    const gemm::GenerationKernels& kernels_;
    std::size_t blocks_ = 0;
    std::uint32_t words_[gemm::kEngineWords];
    gemm::AcceptedPairs pairs_;
    std::uint16_t halves_[2 * (gemm::kEngineAttempts + gemm::kPairGroup)];
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const gemm::SimdPath path = gemm::FastestSimdPath();
    Times plainTimes;
    Times productTimes;
    bench::PlainMatrices plain;
    gemm::InputMatrices product;
    for (int round = 0; round < rounds; ++round) {
        const auto timePlain = [&] { Measure(plainTimes, [&] { plain = bench::PlainInputMatrices(); }); };
        const auto timeProduct = [&] {
            Measure(productTimes, [&] { product = gemm::MakeInputMatrices(std::stop_token{}); });
        };
        // Each result is released before its next run, as a user's run would find memory.
        plain = {};
        product = {};
        if (round % 2 == 0) {
            timePlain();
            timeProduct();
        } else {
            timeProduct();
            timePlain();
        }
    }
    std::printf("Matrix preparation, medians of %d rounds, product on the %s path:\n", rounds,
                gemm::SimdPathName(path));
    std::printf("               plain loop    product    ratio\n");
    std::printf("  CPU time:    %7.0f ms %7.0f ms %7.2fx\n", Median(plainTimes.cpu) * 1e3,
                Median(productTimes.cpu) * 1e3, Median(plainTimes.cpu) / Median(productTimes.cpu));
    std::printf("  wall time:   %7.0f ms %7.0f ms %7.2fx\n", Median(plainTimes.wall) * 1e3,
                Median(productTimes.wall) * 1e3, Median(plainTimes.wall) / Median(productTimes.wall));
    const std::size_t differing = bench::CountDifferingElements(plain, product);
    if (differing == 0) {
        std::printf("  matrices:    identical\n");
    } else {
        std::printf("  matrices:    %zu of %zu elements differ\n", differing, 2 * plain.a.size());
    }
    plain = {};
    product = {};

    StagePasses passes(path);
    Times cumulative[StagePasses::kStages];
    for (int round = 0; round < rounds; ++round) {
        for (int stages = 1; stages <= StagePasses::kStages; ++stages) {
            Measure(cumulative[stages - 1], [&] { passes.Run(stages); });
        }
    }
    const char* const names[StagePasses::kStages] = {"twister", "acceptance", "logarithm", "sqrt and division",
                                                      "conversion"};
    std::printf("Product by stage, CPU time (medians; each stage's time is the difference it adds):\n");
    double previous = 0.0;
    for (int stage = 0; stage < StagePasses::kStages; ++stage) {
        const double seconds = Median(cumulative[stage].cpu);
        std::printf("  %-18s %7.0f ms\n", names[stage], (seconds - previous) * 1e3);
        previous = seconds;
    }
    std::printf("  %-18s %7.0f ms (the rest of the product's time: writing the matrices)\n", "memory",
                (Median(productTimes.cpu) - previous) * 1e3);
    return 0;
}

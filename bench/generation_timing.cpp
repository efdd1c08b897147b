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

#include "bench/plain_generation.h"
#include "core/generation_kernels.h"
#include "core/matrix_generation.h"
#include "core/mersenne_twister.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& work) {
    const Clock::time_point start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
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
    alignas(32) std::uint32_t words_[gemm::kEngineWords];
    gemm::AcceptedPairs pairs_;
    alignas(32) std::uint16_t halves_[2 * (gemm::kEngineAttempts + gemm::kPairGroup)];
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const gemm::SimdPath path = gemm::FastestSimdPath();
    std::vector<double> plainTimes;
    std::vector<double> productTimes;
    gemm::InputMatrices plain;
    gemm::InputMatrices product;
    for (int round = 0; round < rounds; ++round) {
        const auto timePlain = [&] { plainTimes.push_back(Seconds([&] { plain = bench::PlainInputMatrices(); })); };
        const auto timeProduct = [&] {
            productTimes.push_back(Seconds([&] { product = gemm::MakeInputMatrices(std::stop_token{}); }));
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
    const double plainSeconds = Median(plainTimes);
    const double productSeconds = Median(productTimes);
    std::printf("Matrix preparation, medians of %d rounds (wall time):\n", rounds);
    std::printf("  plain loop:        %7.0f ms\n", plainSeconds * 1e3);
    std::printf("  product (%-8s): %7.0f ms\n", gemm::SimdPathName(path), productSeconds * 1e3);
    std::printf("  ratio:             %7.2fx\n", plainSeconds / productSeconds);
    const std::size_t differing = bench::CountDifferingElements(plain, product);
    if (differing == 0) {
        std::printf("  matrices:          identical\n");
    } else {
        std::printf("  matrices:          %zu of %zu elements differ\n", differing, 2 * plain.a.size());
    }
    plain = {};
    product = {};

    StagePasses passes(path);
    std::vector<double> cumulative[StagePasses::kStages];
    for (int round = 0; round < rounds; ++round) {
        for (int stages = 1; stages <= StagePasses::kStages; ++stages) {
            cumulative[stages - 1].push_back(Seconds([&] { passes.Run(stages); }));
        }
    }
    const char* const names[StagePasses::kStages] = {"twister", "acceptance", "logarithm", "sqrt and division",
                                                      "conversion"};
    std::printf("Product by stage (medians; each stage's time is the difference it adds):\n");
    double previous = 0.0;
    for (int stage = 0; stage < StagePasses::kStages; ++stage) {
        const double seconds = Median(cumulative[stage]);
        std::printf("  %-18s %7.0f ms\n", names[stage], (seconds - previous) * 1e3);
        previous = seconds;
    }
    std::printf("  %-18s %7.0f ms (the rest of the product's time: writing the matrices)\n", "memory",
                (productSeconds - previous) * 1e3);
    return 0;
}

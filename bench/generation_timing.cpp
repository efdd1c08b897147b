// Times matrix preparation against the plain loop of bench/plain_generation.h, side by side in
// one run with the order alternating between rounds, then prints the ratio of the medians,
// whether both gave the same matrices, whether the product's matrices got huge pages, and
// where the product's time goes. A plain program rather than a Google Benchmark one, so that
// the Windows build runs it too (under Wine).
//   core_generation_timing [rounds]   (default 5)

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#include <time.h>

#include <fstream>
#include <string>
#endif

#include "bench/plain_generation.h"
#include "core/generation_kernels.h"
#include "core/matrix_generation.h"
#include "core/matrix_memory.h"
#include "core/mersenne_twister.h"

namespace {

using Clock = std::chrono::steady_clock;

struct CpuSeconds {
    double total;
    double kernel;  // above all page faults on fresh memory and the zeroing of its pages
};

// CPU time of the calling thread, which load from other processes disturbs less than wall
// time.
CpuSeconds ThreadCpuSeconds() {
#if defined(_WIN32)
    FILETIME creation;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    GetThreadTimes(GetCurrentThread(), &creation, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME& time) {
        const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        return static_cast<double>(ticks) * 1e-7;  // 100 ns ticks
    };
    return {seconds(kernel) + seconds(user), seconds(kernel)};
#else
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9,
            static_cast<double>(usage.ru_stime.tv_sec) + static_cast<double>(usage.ru_stime.tv_usec) * 1e-6};
#endif
}

struct Times {
    std::vector<double> wall;
    std::vector<double> cpu;
    std::vector<double> kernel;
};

void Measure(Times& times, const std::function<void()>& work) {
    const Clock::time_point wallStart = Clock::now();
    const CpuSeconds cpuStart = ThreadCpuSeconds();
    work();
    const CpuSeconds cpuEnd = ThreadCpuSeconds();
    times.cpu.push_back(cpuEnd.total - cpuStart.total);
    times.kernel.push_back(cpuEnd.kernel - cpuStart.kernel);
    times.wall.push_back(std::chrono::duration<double>(Clock::now() - wallStart).count());
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

constexpr std::size_t kMatrixElements = static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix);

// The product's block stages: the first `stages` of twister, acceptance, logarithm, square
// root and division, conversion, and writing (into matrices whose memory is touched
// already), over as many engine blocks as A and B take. The rare rescaled pairs are left out.
class StagePasses {
public:
    explicit StagePasses(gemm::SimdPath path) : path_(path), kernels_(gemm::KernelsFor(path)) {
        gemm::MersenneTwisterBlocks engine(gemm::kGeneratorSeed, path_);
        for (std::size_t produced = 0; produced < 2 * kMatrixElements; ++blocks_) {
            engine.NextBlock(words_);
            kernels_.acceptPairs(words_, pairs_);
            produced += 2 * pairs_.count;
        }
        written_.a.resize(kMatrixElements);
        written_.b.resize(kMatrixElements);
    }

    static constexpr int kStages = 6;

    void Run(int stages) {
        gemm::MersenneTwisterBlocks engine(gemm::kGeneratorSeed, path_);
        std::size_t stored = 0;
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
            if (stages >= 6) {
                stored = Store(stored, 2 * pairs_.count);
            }
        }
    }

private:
    // Copies the block's values to A and B from element `stored` on (A's end splits one
    // block); returns the new count of stored elements.
    std::size_t Store(std::size_t stored, std::size_t count) {
        const std::uint16_t* values = halves_;
        count = std::min(count, 2 * kMatrixElements - stored);
        while (count > 0) {
            gemm::HalfMatrix& matrix = stored < kMatrixElements ? written_.a : written_.b;
            const std::size_t offset = stored % kMatrixElements;
            const std::size_t take = std::min(count, kMatrixElements - offset);
            std::copy_n(values, take, matrix.data() + offset);
            values += take;
            stored += take;
            count -= take;
        }
        return stored;
    }

    gemm::SimdPath path_;
    const gemm::GenerationKernels& kernels_;
    std::size_t blocks_ = 0;
    std::uint32_t words_[gemm::kEngineWords];
    gemm::AcceptedPairs pairs_;
    std::uint16_t halves_[2 * (gemm::kEngineAttempts + gemm::kPairGroup)];
    gemm::InputMatrices written_;
};

#if defined(__linux__)
// The chosen one of a kernel setting's choices, "always [madvise] never".
std::string KernelChoice(const char* path) {
    std::ifstream file(path);
    std::string choices;
    std::getline(file, choices);
    const std::size_t open = choices.find('[');
    const std::size_t close = choices.find(']', open);
    return open == std::string::npos || close == std::string::npos ? "unknown"
                                                                   : choices.substr(open + 1, close - open - 1);
}
#endif

// A line saying how much of the matrices' memory the kernel backs with huge pages now.
void PrintHugePages(const gemm::InputMatrices& inputs) {
    const std::uint16_t* const a = inputs.a.data();
    const std::uint16_t* const b = inputs.b.data();
#if defined(__linux__)
    // A and B may lie in one mapping, which the kernel merged from the two.
    std::vector<gemm::MappingFacts> mappings;
    for (const std::uint16_t* start : {a, b}) {
        const std::optional<gemm::MappingFacts> mapping = gemm::MappingHolding(start);
        if (mapping && std::none_of(mappings.begin(), mappings.end(),
                                    [&](const gemm::MappingFacts& seen) { return seen.start == mapping->start; })) {
            mappings.push_back(*mapping);
        }
    }
    std::size_t hugeBytes = 0;
    for (const gemm::MappingFacts& mapping : mappings) {
        hugeBytes += mapping.hugePageBytes;
    }
    std::printf("  huge pages:  %zu of %zu MiB (transparent huge pages %s, defrag %s)\n", hugeBytes >> 20,
                2 * kMatrixElements * sizeof(std::uint16_t) >> 20,
                KernelChoice("/sys/kernel/mm/transparent_hugepage/enabled").c_str(),
                KernelChoice("/sys/kernel/mm/transparent_hugepage/defrag").c_str());
#else
    (void)a;
    (void)b;
    std::printf("  huge pages:  none (Windows keeps the standard allocator)\n");
#endif
}

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
    std::printf("  in kernel:   %7.0f ms %7.0f ms\n", Median(plainTimes.kernel) * 1e3,
                Median(productTimes.kernel) * 1e3);
    std::printf("  wall time:   %7.0f ms %7.0f ms %7.2fx\n", Median(plainTimes.wall) * 1e3,
                Median(productTimes.wall) * 1e3, Median(plainTimes.wall) / Median(productTimes.wall));
    const std::size_t differing = bench::CountDifferingElements(plain, product);
    if (differing == 0) {
        std::printf("  matrices:    identical\n");
    } else {
        std::printf("  matrices:    %zu of %zu elements differ\n", differing, 2 * plain.a.size());
    }
    PrintHugePages(product);
    plain = {};
    product = {};

    StagePasses passes(path);
    Times cumulative[StagePasses::kStages];
    for (int round = 0; round < rounds; ++round) {
        for (int stages = 1; stages <= StagePasses::kStages; ++stages) {
            Measure(cumulative[stages - 1], [&] { passes.Run(stages); });
        }
    }
    const char* const names[StagePasses::kStages] = {"twister",    "acceptance", "logarithm", "sqrt and division",
                                                      "conversion", "writing"};
    std::printf("Product by stage, CPU time (medians; each stage's time is the difference it adds):\n");
    double previous = 0.0;
    for (int stage = 0; stage < StagePasses::kStages; ++stage) {
        const double seconds = Median(cumulative[stage].cpu);
        std::printf("  %-18s %7.0f ms%s\n", names[stage], (seconds - previous) * 1e3,
                    stage + 1 == StagePasses::kStages ? " (storing the values in memory touched before)" : "");
        previous = seconds;
    }
    // The passes above write into memory faulted in before; what the product needs beyond
    // them is, but for the rare rescaled pairs, the first touch of its fresh memory.
    std::printf("  %-18s %7.0f ms (the rest of the product's time: faulting in fresh memory, %.0f ms of it "
                "in the kernel)\n",
                "first touch", (Median(productTimes.cpu) - previous) * 1e3, Median(productTimes.kernel) * 1e3);
    return 0;
}

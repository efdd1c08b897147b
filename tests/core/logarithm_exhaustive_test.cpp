// gemm::Logarithm and every vector path's logarithm against long double, for every float from
// 2^-14 up to 8: every value that matrix generation takes the logarithm of (radii squared
// above 10^-4 and below 1, rescaled ones from 1 up to 8).

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/generation_kernels.h"
#include "core/logarithm.h"

namespace {

constexpr std::uint32_t kFirstPattern = 0x38800000u;  // 2^-14
constexpr std::uint32_t kEndPattern = 0x41000000u;    // 8

// The correctly rounded ln x, or nothing when long double cannot decide it: its logarithm is
// within a few units of its last place of the exact value, so a result farther than 2^-60
// (relative) from every midpoint between two floats rounds to the right one.
std::optional<float> Oracle(float x) {
    const long double exact = std::log(static_cast<long double>(x));
    const float nearest = static_cast<float>(exact);
    const long double below = (nearest + static_cast<long double>(std::nextafter(nearest, -1.0f))) / 2;
    const long double above = (nearest + static_cast<long double>(std::nextafter(nearest, 1.0f))) / 2;
    const long double margin = std::fabs(exact) * 0x1p-60L;
    if (std::fabs(exact - below) <= margin || std::fabs(exact - above) <= margin) {
        return std::nullopt;
    }
    return nearest;
}

struct Tally {
    std::uint64_t undecided = 0;
    std::uint64_t mismatches = 0;
    std::vector<std::string> failures;  // the first few

    void Fail(const std::string& text) {
        if (++mismatches <= 5) {
            failures.push_back(text);
        }
    }
};

std::string Describe(const char* path, float x, float actual, float expected) {
    std::ostringstream text;
    text << path << ": ln " << std::hexfloat << x << " gave " << actual << ", expected " << expected;
    return text.str();
}

void CheckChunks(std::uint64_t firstChunk, std::uint64_t endChunk, std::uint64_t stride, Tally& tally) {
    constexpr std::size_t kChunk = 1 << 16;
    std::vector<float> inputs(kChunk);
    std::vector<float> expected(kChunk);
    std::vector<float> actual(kChunk);
    for (std::uint64_t chunk = firstChunk; chunk < endChunk; ++chunk) {
        for (std::size_t i = 0; i < kChunk; ++i) {
            const std::uint64_t pattern = kFirstPattern + (chunk * kChunk + i) * stride;
            inputs[i] = std::bit_cast<float>(static_cast<std::uint32_t>(std::min<std::uint64_t>(pattern, kEndPattern - 1)));
            const std::optional<float> oracle = Oracle(inputs[i]);
            tally.undecided += oracle ? 0 : 1;
            expected[i] = oracle.value_or(std::numeric_limits<float>::quiet_NaN());
        }
        for (std::size_t i = 0; i < kChunk; ++i) {
            const float scalar = gemm::Logarithm(inputs[i]);
            if (std::bit_cast<std::uint32_t>(scalar) != std::bit_cast<std::uint32_t>(expected[i])) {
                tally.Fail(Describe("scalar", inputs[i], scalar, expected[i]));
            }
        }
        for (const gemm::SimdPath path : gemm::kSimdPaths) {
            if (!gemm::ProcessorRuns(path)) {
                continue;
            }
            gemm::KernelsFor(path).logarithms(inputs.data(), actual.data(), kChunk);
            for (std::size_t i = 0; i < kChunk; ++i) {
                if (std::bit_cast<std::uint32_t>(actual[i]) != std::bit_cast<std::uint32_t>(expected[i])) {
                    tally.Fail(Describe(gemm::SimdPathName(path), inputs[i], actual[i], expected[i]));
                }
            }
        }
    }
}

TEST(LogarithmExhaustiveTest, CorrectlyRoundedForEveryGeneratedInputOnEveryPath) {
    if (std::numeric_limits<long double>::digits < 64) {
        GTEST_SKIP() << "long double is no wider than double here, too narrow for the oracle";
    }
    // x87 arithmetic set to double precision would quietly weaken the oracle.
    volatile long double one = 1.0L;
    volatile long double epsilon = std::numeric_limits<long double>::epsilon();
    ASSERT_NE(one + epsilon, one) << "long double arithmetic runs at reduced precision";
    for (const gemm::SimdPath path : gemm::kSimdPaths) {
        std::cout << gemm::SimdPathName(path) << (gemm::ProcessorRuns(path) ? ": checked\n" : ": not run here\n");
    }
    // Optimised builds check every pattern (seconds); unoptimised ones, such as the sanitizer
    // build, every 61st so that they stay affordable.
#ifdef NDEBUG
    constexpr std::uint64_t kStride = 1;
#else
    constexpr std::uint64_t kStride = 61;
#endif
    constexpr std::uint64_t kPatterns = kEndPattern - kFirstPattern;
    constexpr std::uint64_t kChunks = (kPatterns / kStride + (1 << 16) - 1) >> 16;
    const std::uint64_t threads = std::clamp<std::uint64_t>(std::thread::hardware_concurrency(), 1, 16);
    std::vector<Tally> tallies(threads);
    {
        std::vector<std::jthread> workers;
        for (std::uint64_t t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                CheckChunks(kChunks * t / threads, kChunks * (t + 1) / threads, kStride, tallies[t]);
            });
        }
    }
    for (const Tally& tally : tallies) {
        for (const std::string& failure : tally.failures) {
            ADD_FAILURE() << failure;
        }
        EXPECT_EQ(tally.mismatches, 0u);
        EXPECT_EQ(tally.undecided, 0u) << "inputs too close to a rounding boundary for the oracle";
    }
}

}  // namespace

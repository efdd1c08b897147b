#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <stop_token>

#include "core/benchmark.h"
#include "core/input_matrices.h"
#include "core/matrix_generation.h"

namespace {

// Tests that generate the full matrices more than once run in optimised builds only; the
// unoptimised sanitizer build still generates them once, end to end, and compares the two
// streams over a shorter stretch.
#ifdef NDEBUG
constexpr bool kOptimisedBuild = true;
#else
constexpr bool kOptimisedBuild = false;
#endif

// FNV-1a over A's elements, then B's, eight bytes (four elements, little-endian) at a time.
std::uint64_t Hash(const gemm::InputMatrices& inputs) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const auto* matrix : {&inputs.a, &inputs.b}) {
        for (std::size_t i = 0; i < matrix->size(); i += 4) {
            std::uint64_t word = 0;
            for (std::size_t k = 0; k < 4; ++k) {
                word |= std::uint64_t{(*matrix)[i + k]} << (16 * k);
            }
            hash = (hash ^ word) * 0x100000001B3ull;
        }
    }
    return hash;
}

// The product's matrices, generated once for the tests that only read them.
const gemm::InputMatrices& ProductMatrices() {
    static const auto inputs = std::make_unique<gemm::InputMatrices>(gemm::MakeInputMatrices(std::stop_token{}));
    return *inputs;
}

TEST(InputMatricesTest, EngineIsTheStandardMersenneTwisterSeededWith4060) {
    std::mt19937 engine(gemm::kGeneratorSeed);
    EXPECT_EQ(engine(), 1753342427u);
    EXPECT_EQ(engine(), 2102983544u);
    EXPECT_EQ(engine(), 369795125u);
    EXPECT_EQ(engine(), 828080813u);
}

TEST(InputMatricesTest, HaveTheFullSizeAndKnownFirstElements) {
    const gemm::InputMatrices& inputs = ProductMatrices();
    ASSERT_EQ(inputs.a.size(), static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix));
    ASSERT_EQ(inputs.b.size(), static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix));
    const std::uint16_t expected[6] = {0xC12A, 0xB4AA, 0xB855, 0xB8C0, 0xBAB0, 0x3901};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(inputs.a[i], expected[i]) << i;
    }
}

TEST(InputMatricesTest, HashOfBothMatricesIsFixed) {
    // The generator must never change, and every platform and vector path gives the same
    // matrices: the logarithm is our own, correctly rounded, not the C runtime's.
    constexpr std::uint64_t kExpected = 0x9B12849DC6D7ACADull;
    const std::uint64_t hash = Hash(ProductMatrices());
    EXPECT_EQ(hash, kExpected) << std::hex << hash;
}

TEST(InputMatricesTest, ValuesLookNormallyDistributed) {
    // A cheap guard against a generator that is deterministic but wrong (say, every value
    // from the same coordinate): over the first 2^20 values of each matrix, mean near 0,
    // variance near 1, half of them negative, none infinite or NaN.
    const gemm::InputMatrices& inputs = ProductMatrices();
    constexpr std::size_t kCount = 1 << 20;
    double sum = 0;
    double sumSquares = 0;
    std::size_t negative = 0;
    for (const auto* matrix : {&inputs.a, &inputs.b}) {
        for (std::size_t i = 0; i < kCount; ++i) {
            const std::uint16_t h = (*matrix)[i];
            ASSERT_NE(h & 0x7C00, 0x7C00);
            const double v = gemm::HalfToFloat(h);
            sum += v;
            sumSquares += v * v;
            negative += h >> 15;
        }
    }
    const double n = 2.0 * kCount;
    EXPECT_NEAR(sum / n, 0.0, 0.005);
    EXPECT_NEAR(sumSquares / n, 1.0, 0.005);
    EXPECT_NEAR(static_cast<double>(negative) / n, 0.5, 0.005);
}

TEST(InputMatricesTest, TwoCallsGiveIdenticalMatrices) {
    if (!kOptimisedBuild) {
        GTEST_SKIP() << "full-size regeneration runs in optimised builds";
    }
    const gemm::InputMatrices second = gemm::MakeInputMatrices(std::stop_token{});
    EXPECT_TRUE(second.a == ProductMatrices().a);
    EXPECT_TRUE(second.b == ProductMatrices().b);
}

TEST(InputMatricesTest, StopRequestedBeforeTheCallCancelsAtOnce) {
    std::stop_source source;
    source.request_stop();
    EXPECT_THROW(gemm::MakeInputMatrices(source.get_token()), gemm::Cancelled);
}

TEST(HalfStreamTest, EveryPathMatchesSequentialInAnyPieces) {
    // Pieces of odd and even length, shorter and longer than an engine block, so that a
    // kept second value and partly used blocks carry over between calls.
    const std::size_t pieces[] = {1, 2, 3, 623, 624, 625, 1, 5000, 77777, 1 << 20, 3, 1 << 21};
    gemm::HalfMatrix expected;
    const auto sequential = gemm::MakeSequentialStream();
    for (const std::size_t piece : pieces) {
        sequential->Append(expected, piece);
    }
    for (const gemm::SimdPath path : gemm::kSimdPaths) {
        if (!gemm::ProcessorRuns(path)) {
            continue;
        }
        const auto batched = gemm::MakeBatchedStream(path);
        gemm::HalfMatrix actual;
        for (const std::size_t piece : pieces) {
            batched->Append(actual, piece);
        }
        EXPECT_TRUE(actual == expected) << gemm::SimdPathName(path);
    }
}

// When the stop is asked for does not depend on the stream; the product's stream is used.
int AskedUntilStop(int stopAtAsk) {
    int asked = 0;
    EXPECT_THROW(gemm::GenerateInputMatrices(*gemm::MakeBatchedStream(), [&] { return ++asked == stopAtAsk; }),
                 gemm::Cancelled);
    return asked;
}

TEST(StopCheckTest, AskedFirstBeforeElementZero) {
    EXPECT_EQ(AskedUntilStop(1), 1);
}

TEST(StopCheckTest, PartWayStopEndsAtThatCheck) {
    EXPECT_EQ(AskedUntilStop(3), 3);  // before element 2 * 2^20 of A
}

TEST(StopCheckTest, StopInBEndsThere) {
    if (!kOptimisedBuild) {
        GTEST_SKIP() << "runs through all of A; optimised builds only";
    }
    EXPECT_EQ(AskedUntilStop(66), 66);  // asks 1 to 64 precede A's blocks, 66 B's second one
}

}  // namespace

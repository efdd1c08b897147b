#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <stop_token>

#include "core/benchmark.h"
#include "core/input_matrices.h"
#include "core/matrix_generation.h"

namespace {

using Generator = gemm::InputMatrices (*)(const gemm::StopRequested&);

// FNV-1a over the bytes of A, then B (each element little-endian).
std::uint64_t Hash(const gemm::InputMatrices& inputs) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const auto* matrix : {&inputs.a, &inputs.b}) {
        for (const std::uint16_t element : *matrix) {
            for (const unsigned byte : {element & 0xFFu, static_cast<unsigned>(element >> 8)}) {
                hash = (hash ^ byte) * 0x100000001B3ull;
            }
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
    // The generator must never change. logf is the C runtime's own and may differ in the
    // last bit between runtimes, which moves an element by one FP16 step, so each runtime
    // has its expected value. The Windows build links MinGW-w64's logf statically, so the
    // value holds under Wine and on Windows alike.
#ifdef _WIN32
    constexpr std::uint64_t kExpected = 0xBEC41AC2D30AB8CDull;  // MinGW-w64 runtime
#else
    constexpr std::uint64_t kExpected = 0x0A92715EED4D0708ull;  // glibc
#endif
    EXPECT_EQ(Hash(ProductMatrices()), kExpected) << std::hex << Hash(ProductMatrices());
}

TEST(InputMatricesTest, ValuesLookNormallyDistributed) {
    // A cheap guard against a generator that is deterministic but wrong (say, every value
    // from the same coordinate): mean near 0, variance near 1, both signs, no specials.
    const gemm::InputMatrices& inputs = ProductMatrices();
    double sum = 0;
    double sumSquares = 0;
    std::size_t negative = 0;
    for (const auto* matrix : {&inputs.a, &inputs.b}) {
        for (const std::uint16_t h : *matrix) {
            ASSERT_NE(h & 0x7C00, 0x7C00);
            const double v = gemm::HalfToFloat(h);
            sum += v;
            sumSquares += v * v;
            negative += h >> 15;
        }
    }
    const double n = 2.0 * static_cast<double>(BenchmarkPlan::elementsPerMatrix);
    EXPECT_NEAR(sum / n, 0.0, 1e-3);
    EXPECT_NEAR(sumSquares / n, 1.0, 1e-3);
    EXPECT_NEAR(static_cast<double>(negative) / n, 0.5, 1e-3);
}

TEST(InputMatricesTest, TwoCallsGiveIdenticalMatrices) {
    const gemm::InputMatrices second = gemm::MakeInputMatrices(std::stop_token{});
    EXPECT_TRUE(second.a == ProductMatrices().a);
    EXPECT_TRUE(second.b == ProductMatrices().b);
}

TEST(InputMatricesTest, SequentialReferenceGivesTheSameMatrices) {
    const gemm::InputMatrices reference = gemm::MakeInputMatricesSequential([] { return false; });
    EXPECT_TRUE(reference.a == ProductMatrices().a);
    EXPECT_TRUE(reference.b == ProductMatrices().b);
}

TEST(InputMatricesTest, StopRequestedBeforeTheCallCancelsAtOnce) {
    std::stop_source source;
    source.request_stop();
    EXPECT_THROW(gemm::MakeInputMatrices(source.get_token()), gemm::Cancelled);
}

// The stop check's timing is the same for every generator.
class StopCheckTest : public ::testing::TestWithParam<Generator> {};

TEST_P(StopCheckTest, AskedFirstBeforeElementZero) {
    int asked = 0;
    EXPECT_THROW(GetParam()([&] { return ++asked == 1; }), gemm::Cancelled);
    EXPECT_EQ(asked, 1);
}

TEST_P(StopCheckTest, PartWayStopEndsAtThatCheck) {
    // Ask 64 times per matrix; stop at the 70th ask, before element 5 * 2^20 of B.
    int asked = 0;
    EXPECT_THROW(GetParam()([&] { return ++asked == 70; }), gemm::Cancelled);
    EXPECT_EQ(asked, 70);
}

TEST_P(StopCheckTest, UnstoppedRunAsksOncePerMillionElements) {
    int asked = 0;
    const gemm::InputMatrices inputs = GetParam()([&] {
        ++asked;
        return false;
    });
    EXPECT_EQ(asked, 2 * BenchmarkPlan::elementsPerMatrix / gemm::kStopCheckInterval);
    EXPECT_EQ(Hash(inputs), Hash(ProductMatrices()));
}

INSTANTIATE_TEST_SUITE_P(Sequential, StopCheckTest, ::testing::Values(&gemm::MakeInputMatricesSequential));

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "core/benchmark.h"
#include "core/input_matrices.h"

namespace {

constexpr std::size_t kSize = BenchmarkPlan::matrixSize;

// All-zero matrices; each test writes the few elements it needs.
class ReferenceCheckTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        inputs_ = new gemm::InputMatrices;
        inputs_->a.assign(kSize * kSize, 0);
        inputs_->b.assign(kSize * kSize, 0);
    }
    static void TearDownTestSuite() {
        delete inputs_;
        inputs_ = nullptr;
    }
    void TearDown() override {
        for (std::uint16_t* element : written_) {
            *element = 0;
        }
        written_.clear();
    }

    std::uint16_t& A(std::size_t row, std::size_t col) { return Written(inputs_->a[row * kSize + col]); }
    std::uint16_t& B(std::size_t row, std::size_t col) { return Written(inputs_->b[row * kSize + col]); }

    static bool Passes(std::uint16_t g0, std::uint16_t g1, std::uint16_t g2) {
        const std::uint16_t gpu[3] = {g0, g1, g2};
        try {
            gemm::CheckReference(*inputs_, gpu);
            return true;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "FP32 reference check failed");
            return false;
        }
    }

    static gemm::InputMatrices* inputs_;

private:
    std::uint16_t& Written(std::uint16_t& element) {
        written_.push_back(&element);
        return element;
    }

    std::vector<std::uint16_t*> written_;
};

gemm::InputMatrices* ReferenceCheckTest::inputs_ = nullptr;

constexpr std::uint16_t kTen = 0x4900;           // 10.0
constexpr std::uint16_t kOne = 0x3C00;           // 1.0
constexpr std::uint16_t kTenPlus5Steps = 0x4905;  // 10.0390625
constexpr std::uint16_t kTenPlus6Steps = 0x4906;  // 10.046875

TEST_F(ReferenceCheckTest, ToleranceIsRelativePlusAbsolute) {
    // ref(0, 0) = 10 * 1: tolerance 10 * 0.002 + 0.02 = 0.04.
    A(0, 0) = kTen;
    B(0, 0) = kOne;
    EXPECT_TRUE(Passes(kTen, 0, 0));
    EXPECT_TRUE(Passes(kTenPlus5Steps, 0, 0));
    EXPECT_FALSE(Passes(kTenPlus6Steps, 0, 0));
    EXPECT_FALSE(Passes(0xC8FB /* -9.9609375 */, 0, 0));
    EXPECT_TRUE(Passes(0x48FB /* 9.9609375 */, 0, 0));
}

TEST_F(ReferenceCheckTest, ZeroReferenceAllowsAbsoluteToleranceOnly) {
    EXPECT_TRUE(Passes(0x2519 /* 0.0199127 */, 0x8000, 0));
    EXPECT_FALSE(Passes(0x2520 /* 0.0200195 */, 0, 0));
    EXPECT_FALSE(Passes(0, 0xA520, 0));
    EXPECT_FALSE(Passes(0, 0, 0x2520));
}

TEST_F(ReferenceCheckTest, NonFiniteGpuValuesFailWhateverTheReference) {
    EXPECT_TRUE(Passes(0, 0, 0));
    for (const std::uint16_t bad : {std::uint16_t{0x7C00}, std::uint16_t{0xFC00}, std::uint16_t{0x7E00},
                                    std::uint16_t{0x7C01}}) {
        EXPECT_FALSE(Passes(bad, 0, 0)) << std::hex << bad;
        EXPECT_FALSE(Passes(0, bad, 0)) << std::hex << bad;
        EXPECT_FALSE(Passes(0, 0, bad)) << std::hex << bad;
    }
}

TEST_F(ReferenceCheckTest, ReadsRowOfAAgainstColumnOfB) {
    // Element (17, 456) = sum over k of A(17, k) * B(k, 456); neighbours must not leak in.
    A(17, 0) = kOne;
    B(0, 456) = 0x4200;       // 3
    A(17, 8191) = 0x4000;     // 2
    B(8191, 456) = 0x4400;    // 4  -> ref = 3 + 8 = 11
    A(16, 0) = kTen;          // wrong row
    B(0, 455) = kTen;         // wrong column
    A(8191, 8191) = 0xC000;   // -2
    B(8191, 8191) = 0x3800;   // 0.5 -> ref(8191, 8191) = -1
    EXPECT_TRUE(Passes(0, 0x4980 /* 11 */, 0xBC00 /* -1 */));
    EXPECT_FALSE(Passes(0, 0x4A00 /* 12 */, 0xBC00));
    EXPECT_FALSE(Passes(0, 0x4980, 0x3C00 /* +1 */));
}

TEST_F(ReferenceCheckTest, AccumulatesInSinglePrecisionInOrder) {
    // 2^24, then forty times +1 (each lost: 2^24 + 1 rounds back to even 2^24), then -2^24.
    // In-order FP32 gives 0; a wider accumulator or another order would give 40.
    A(0, 0) = 0x6C00;  // 4096
    B(0, 0) = 0x6C00;
    for (std::size_t k = 1; k <= 40; ++k) {
        A(0, k) = kOne;
        B(k, 0) = kOne;
    }
    A(0, 41) = 0xEC00;  // -4096
    B(41, 0) = 0x6C00;
    EXPECT_TRUE(Passes(0, 0, 0));
    EXPECT_FALSE(Passes(0x5100 /* 40 */, 0, 0));
}

TEST_F(ReferenceCheckTest, RefusesMatricesOfTheWrongSize) {
    gemm::InputMatrices small;
    small.a.assign(16, 0);
    small.b.assign(16, 0);
    const std::uint16_t gpu[3] = {0, 0, 0};
    EXPECT_THROW(gemm::CheckReference(small, gpu), std::invalid_argument);
}

TEST_F(ReferenceCheckTest, HandsBackEachElementWithItsReferenceAndTolerance) {
    A(0, 0) = kTen;
    B(0, 0) = kOne;
    const std::uint16_t gpu[3] = {kTenPlus5Steps, 0, kTenPlus6Steps};
    SeriesTiming series[BenchmarkPlan::seriesCount];
    for (SeriesTiming& s : series) s = {5.0, 219.9};
    try {
        gemm::ValidatedResult(series, *inputs_, gpu);
        FAIL() << "element (8191, 8191) is outside its tolerance";
    } catch (const gemm::ReferenceCheckFailed& failure) {
        const gemm::ElementChecks& checks = failure.Elements();
        EXPECT_EQ(checks[0].row, 0);
        EXPECT_EQ(checks[0].gpu, 10.0390625f);
        EXPECT_EQ(checks[0].reference, 10.0f);
        EXPECT_FLOAT_EQ(checks[0].difference, 0.0390625f);
        EXPECT_FLOAT_EQ(checks[0].tolerance, 0.04f);
        EXPECT_TRUE(checks[0].passed);
        EXPECT_EQ(checks[2].gpuBits, kTenPlus6Steps);
        EXPECT_FALSE(checks[2].passed);
    }

    const std::uint16_t good[3] = {kTen, 0, 0};
    const BenchmarkResult result = gemm::ValidatedResult(series, *inputs_, good);
    EXPECT_EQ(result.checkedElements[1].row, 17);
    EXPECT_TRUE(result.checkedElements[2].passed);
}

TEST(InputHashTest, IsXxh64OverThePartsInARow) {
    const auto hash = [](std::string_view text) {
        const std::span<const unsigned char> part(reinterpret_cast<const unsigned char*>(text.data()), text.size());
        return gemm::Xxh64(std::span(&part, 1));
    };
    EXPECT_EQ(hash(""), 0xEF46DB3751D8E999ull);
    EXPECT_EQ(hash("abc"), 0x44BC2CF5AD770999ull);
    EXPECT_EQ(hash("Nobody inspects the spammish repetition"), 0xFBCEA83C8A378BF1ull);

    // Split anywhere, the stream hashes the same as the whole.
    std::vector<unsigned char> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 37 + 11);
    const std::span<const unsigned char> whole(bytes);
    const std::span<const unsigned char> split[] = {whole.subspan(0, 7), whole.subspan(7, 50), whole.subspan(57)};
    EXPECT_EQ(gemm::Xxh64(split), gemm::Xxh64(std::span(&whole, 1)));
}

}  // namespace

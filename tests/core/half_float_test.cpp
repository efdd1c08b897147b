#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/half_float.h"
#include "core/input_matrices.h"

namespace {

using gemm::FloatToHalf;
using gemm::HalfToFloat;

TEST(FloatToHalfTest, RoundsToNearestEven) {
    struct Case {
        float value;
        std::uint16_t half;
    };
    const Case cases[] = {
        {1.0f, 0x3C00},
        {65504.0f, 0x7BFF},
        {65519.0f, 0x7BFF},
        {65520.0f, 0x7C00},                 // the first value that rounds to infinity
        {65536.0f, 0x7C00},
        {0x1p-25f, 0x0000},                 // tie between zero and the smallest subnormal
        {std::nextafter(0x1p-25f, 1.0f), 0x0001},
        {-0x1p-24f, 0x8001},
        {3.0f * 0x1p-26f, 0x0001},
        {0x1p-14f, 0x0400},                 // smallest normal
        {std::nextafter(0x1p-14f, 0.0f), 0x0400},
        {0x1.ffcp-15f, 0x0400},             // largest subnormal + half a step: tie up to even
        {0x1.ff8p-15f, 0x03FF},             // largest subnormal, exact
        {0x1.ff4p-15f, 0x03FE},             // tie down to even
        {1.0f + 0x1p-11f, 0x3C00},          // tie to even (down)
        {1.0f + 3.0f * 0x1p-11f, 0x3C02},   // tie to even (up)
        {-0.0f, 0x8000},
        {0.0f, 0x0000},
        {0.1f, 0x2E66},
        {-2.0f, 0xC000},
        {std::numeric_limits<float>::denorm_min(), 0x0000},
        {-std::numeric_limits<float>::max(), 0xFC00},
        {std::numeric_limits<float>::infinity(), 0x7C00},
        {-std::numeric_limits<float>::infinity(), 0xFC00},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FloatToHalf(c.value), c.half) << std::hexfloat << c.value;
    }
}

TEST(FloatToHalfTest, NaNsStayQuietAndKeepTheirUpperPayload) {
    EXPECT_EQ(FloatToHalf(std::bit_cast<float>(0x7FC00000u)), 0x7E00);
    EXPECT_EQ(FloatToHalf(std::bit_cast<float>(0xFFC00000u)), 0xFE00);
    // A signalling NaN whose payload lies only in bits that fall away must not become infinity.
    EXPECT_EQ(FloatToHalf(std::bit_cast<float>(0x7F800001u)), 0x7E00);
    EXPECT_EQ(FloatToHalf(std::bit_cast<float>(0x7FBFE000u)), 0x7FFF);
    EXPECT_EQ(FloatToHalf(std::bit_cast<float>(0xFF802000u)), 0xFE01);
}

TEST(HalfToFloatTest, DecodesEveryClass) {
    EXPECT_EQ(HalfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(HalfToFloat(0x7BFF), 65504.0f);
    EXPECT_EQ(HalfToFloat(0x0001), 0x1p-24f);
    EXPECT_EQ(HalfToFloat(0x03FF), 0x3FFp-24f);
    EXPECT_EQ(HalfToFloat(0x0400), 0x1p-14f);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(HalfToFloat(0x8000)), 0x80000000u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(HalfToFloat(0x0000)), 0u);
    EXPECT_EQ(HalfToFloat(0xFC00), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(std::bit_cast<std::uint32_t>(HalfToFloat(0x7E01)), 0x7FC02000u);
    EXPECT_EQ(HalfToFloat(0xC12A), -0x1.4a8p+1f);  // the first element of A, about -2.5828
}

TEST(HalfToFloatTest, EveryPatternRoundTrips) {
    for (std::uint32_t h = 0; h <= 0xFFFF; ++h) {
        const auto half = static_cast<std::uint16_t>(h);
        const float value = HalfToFloat(half);
        const bool isNaN = (h & 0x7C00) == 0x7C00 && (h & 0x3FF) != 0;
        ASSERT_EQ(std::isnan(value), isNaN) << std::hex << h;
        // A signalling NaN comes back quiet with the same payload.
        const std::uint16_t expected = isNaN ? static_cast<std::uint16_t>(h | 0x200) : half;
        ASSERT_EQ(FloatToHalf(value), expected) << std::hex << h;
        if (!isNaN && h != 0x7C00 && h != 0xFC00 && h != 0xFBFF) {
            // Monotonic: the next pattern of the same sign is the next larger magnitude.
            const float next = HalfToFloat(static_cast<std::uint16_t>(h + 1));
            ASSERT_LT(std::fabs(value), std::fabs(next)) << std::hex << h;
        }
    }
}

// The eight-at-once conversion used by the generator: exact where it claims success, and it
// claims success exactly when every value lies in the normal FP16 range.
TEST(NormalFloatsToHalvesTest, ConvertsNormalRangeAndRefusesEverythingElse) {
    const float inRange[] = {0x1p-14f, -0x1p-14f, 65504.0f, 65519.0f, -65535.996f, 1.0f + 0x1p-11f, 0.1f, -3.75f};
    alignas(16) std::uint16_t halves[8];
    __m128i group;
    ASSERT_TRUE(gemm::NormalFloatsToHalves(_mm_loadu_ps(inRange), _mm_loadu_ps(inRange + 4), group));
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), group);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(halves[i], FloatToHalf(inRange[i])) << inRange[i];
    }
    const float outside[] = {std::nextafter(0x1p-14f, 0.0f), 65536.0f, 0.0f, -0.0f,
                             std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                             -1e-30f, std::numeric_limits<float>::denorm_min()};
    for (const float bad : outside) {
        for (std::size_t lane = 0; lane < 8; ++lane) {
            float values[8];
            std::copy(std::begin(inRange), std::end(inRange), values);
            values[lane] = bad;
            EXPECT_FALSE(gemm::NormalFloatsToHalves(_mm_loadu_ps(values), _mm_loadu_ps(values + 4), group))
                << bad << " in lane " << lane;
        }
    }
}

}  // namespace

#include "presentation/number_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

#include "core/utf8.h"

namespace {

constexpr auto ru = Language::Russian;
constexpr auto en = Language::English;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

TEST(FormatDecimal, RoundsLikePrintfAndLocalisesTheSeparator) {
    EXPECT_EQ(FormatDecimal(56.924, 2, en), L"56.92");
    EXPECT_EQ(FormatDecimal(56.924, 2, ru), L"56,92");
    EXPECT_EQ(FormatDecimal(1000000.25, 2, en), L"1000000.25");  // never grouped
    EXPECT_EQ(FormatDecimal(80.0, 0, ru), L"80");
    EXPECT_EQ(FormatDecimal(0.6000000000000001, 1, ru), L"0,6");
    EXPECT_EQ(FormatDecimal(-3.25, 1, en), L"-3.2");  // binary value is exact: ties to even
    EXPECT_EQ(FormatDecimal(2.675, 2, en), L"2.67");  // 2.675 is stored below the tie
    EXPECT_EQ(FormatDecimal(7.0, -3, en), L"7");  // negative decimals count as none
    // Other language values follow the English text and keep the point, as only Russian
    // uses the decimal comma.
    EXPECT_EQ(FormatDecimal(1.5, 1, static_cast<Language>(7)), L"1.5");
}

TEST(FormatDecimal, LongOutputIsNotCut) {
    const std::wstring text = FormatDecimal(1e300, 2, en);
    EXPECT_EQ(text.size(), 304u);
    EXPECT_EQ(text.substr(text.size() - 3), L".00");
}

TEST(FormatSignedDecimal, AlwaysWritesTheSign) {
    EXPECT_EQ(FormatSignedDecimal(-0.04, 1, en), L"-0.0");
    EXPECT_EQ(FormatSignedDecimal(0.0, 1, ru), L"+0,0");
    EXPECT_EQ(FormatSignedDecimal(-0.0, 1, en), L"-0.0");
    EXPECT_EQ(FormatSignedDecimal(69.10279263220439, 1, en), L"+69.1");
    EXPECT_EQ(FormatSignedDecimal(-23.76, 1, ru), L"-23,8");
}

TEST(FormatGibibytes, ScalesBy2To30) {
    EXPECT_EQ(FormatGibibytes(8 * kGiB, 0, en), L"8");
    EXPECT_EQ(FormatGibibytes(8 * kGiB - 4 * 1024 * 1024, 1, en), L"8.0");
    EXPECT_EQ(FormatGibibytes(8 * kGiB - 4 * 1024 * 1024, 1, ru), L"8,0");
    EXPECT_EQ(FormatGibibytes(25757220864, 1, en), L"24.0");
    EXPECT_EQ(FormatGibibytes(0, 0, ru), L"0");
}

TEST(FormatCount, PlainDigits) {
    EXPECT_EQ(FormatCount(0), L"0");
    EXPECT_EQ(FormatCount(8192), L"8192");
    EXPECT_EQ(FormatCount(std::numeric_limits<std::uint64_t>::max()), L"18446744073709551615");
}

// The C runtime's locale must not leak into any number, whichever runtime is linked.
TEST(FormatDecimal, IgnoresTheProcessLocale) {
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "ru_RU.UTF-8", "German", "Russian", "de-DE", "ru-RU"}) {
        if (std::setlocale(LC_ALL, name) != nullptr && *std::localeconv()->decimal_point == ',') {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    EXPECT_EQ(FormatDecimal(1234567.5, 1, en), L"1234567.5") << chosen;
    EXPECT_EQ(FormatSignedDecimal(2.25, 2, en), L"+2.25") << chosen;
    EXPECT_EQ(FormatCount(1234567), L"1234567") << chosen;
    std::setlocale(LC_ALL, "C");
}

TEST(MulDivRound, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDivRound(15, 144, 96), 23);   // 22.5
    EXPECT_EQ(MulDivRound(7, 144, 96), 11);    // 10.5
    EXPECT_EQ(MulDivRound(-15, 144, 96), -23);
    EXPECT_EQ(MulDivRound(15, -144, 96), -23);
    EXPECT_EQ(MulDivRound(-15, 144, -96), 23);
    EXPECT_EQ(MulDivRound(5, 120, 96), 6);  // 6.25
    // The intermediate product needs 64 bits.
    EXPECT_EQ(MulDivRound(2000000000, 3, 4), 1500000000);
    EXPECT_EQ(ScaleForDpi(41, 144), 62);
}

TEST(MulDivRound, AnswersMinusOneWhereThereIsNoResult) {
    EXPECT_EQ(MulDivRound(1, 1, 0), -1);
    EXPECT_EQ(MulDivRound(2000000000, 2, 1), -1);
}

TEST(Utf8, ConvertsBothWaysAndReplacesMalformedInput) {
    EXPECT_EQ(Utf8ToWide("GeForce \xD0\xA0\xD0\xA2X"), L"GeForce \u0420\u0422X");
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD\uFFFD");        // overlong: lead is invalid
    EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), L"\uFFFD");          // overlong three-byte form
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD");          // encoded surrogate
    EXPECT_EQ(Utf8ToWide("x\xE2\x80"), L"x\uFFFD");            // truncated at the end
    const std::wstring astral = Utf8ToWide("\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(astral), "\xF0\x9F\x98\x80");
    EXPECT_EQ(astral.size(), sizeof(wchar_t) == 2 ? 2u : 1u);
    EXPECT_EQ(WideToUtf8(L"\u00B7 \u2014 \u0416"), "\xC2\xB7 \xE2\x80\x94 \xD0\x96");
}

}  // namespace

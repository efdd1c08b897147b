#include "presentation/reference.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr auto ru = Language::Russian;
constexpr auto en = Language::English;
constexpr int kBoth = 0;
constexpr int kBeforeOnly = 1;
constexpr int kAfterOnly = 2;

TEST(ReferenceMeasurements, DerivedTimesAreTheDoubleQuotients) {
    const auto& row4 = kReferenceMeasurements[4];
    EXPECT_EQ(row4.msBefore, 1099511627776.0 / (159.5 * 1e9));
    EXPECT_EQ(row4.msAfter, 1099511627776.0 / (170.0 * 1e9));
    EXPECT_TRUE(row4.msFromTflops);
    for (const auto& row : kReferenceMeasurements) {
        if (!row.hasAfter) {
            EXPECT_EQ(row.msAfter, 0.0);
            EXPECT_EQ(row.tflopsAfter, 0.0);
        }
    }
    EXPECT_EQ(std::wstring(kReferenceMeasurements[0].name), L"Palit GeForce RTX 4060 (Dual OC)");
    EXPECT_EQ(std::wstring(kReferenceMeasurements[0].chartName), L"Palit GeForce RTX 4060");
}

TEST(ReferenceMeasurements, DisplayRules) {
    const auto& withAfter = kReferenceMeasurements[0];
    const auto& withoutAfter = kReferenceMeasurements[1];
    EXPECT_TRUE(ReferenceShowsBefore(withAfter, kBoth));
    EXPECT_TRUE(ReferenceShowsAfter(withAfter, kBoth));
    EXPECT_TRUE(ReferenceShowsBefore(withAfter, kBeforeOnly));
    EXPECT_FALSE(ReferenceShowsAfter(withAfter, kBeforeOnly));
    EXPECT_FALSE(ReferenceShowsBefore(withAfter, kAfterOnly));
    EXPECT_TRUE(ReferenceShowsAfter(withAfter, kAfterOnly));
    for (int filter : {-1, kBoth, kBeforeOnly, kAfterOnly}) {
        EXPECT_TRUE(ReferenceShowsBefore(withoutAfter, filter));
        EXPECT_FALSE(ReferenceShowsAfter(withoutAfter, filter));
    }
    EXPECT_EQ(SelectedReference(0), nullptr);
    EXPECT_EQ(SelectedReference(-1), nullptr);
    EXPECT_EQ(SelectedReference(6), nullptr);
    EXPECT_EQ(SelectedReference(5), &kReferenceMeasurements[4]);
}

TEST(ComparisonLine, WithoutAResult) {
    EXPECT_EQ(BuildComparisonLine(0, kBoth, true, 100.0, en), L"");
    EXPECT_EQ(BuildComparisonLine(-1, kBoth, false, 0.0, ru), L"");
    EXPECT_EQ(BuildComparisonLine(1, kBoth, false, 0.0, en),
              L"Reference \u00B7 RTX 4060 \u00B7 Gentoo \u00B7 PyTorch 2.12.1 / CUDA 13.0   |   "
              L"+69.1% between reference measurements");
    EXPECT_EQ(BuildComparisonLine(1, kBoth, false, 0.0, ru),
              L"Эталон \u00B7 RTX 4060 \u00B7 Gentoo \u00B7 PyTorch 2.12.1 / CUDA 13.0   |   "
              L"+69,1% между эталонными замерами");
    EXPECT_EQ(BuildComparisonLine(1, kBeforeOnly, false, 0.0, en),
              L"Reference \u00B7 RTX 4060 \u00B7 Gentoo \u00B7 PyTorch 2.12.1 / CUDA 13.0");
    EXPECT_EQ(BuildComparisonLine(2, kBoth, false, 0.0, en),
              L"Reference \u00B7 RTX 5070 Ti Laptop GPU \u00B7 Windows \u00B7 CUDA 13.5   |   "
              L"No measurement after removing limits");
    EXPECT_EQ(BuildComparisonLine(5, kBoth, false, 0.0, en),
              L"Reference \u00B7 RTX 4090 \u00B7 Windows \u00B7 cuBLAS   |   +6.6% between reference "
              L"measurements   |   Latency calculated from TFLOPS");
    EXPECT_EQ(BuildComparisonLine(5, kAfterOnly, false, 0.0, ru),
              L"Эталон \u00B7 RTX 4090 \u00B7 Windows \u00B7 cuBLAS   |   Время рассчитано по TFLOPS");
}

TEST(ComparisonLine, WithAResult) {
    EXPECT_EQ(BuildComparisonLine(3, kBoth, true, 120.0, en),
              L"Reference \u00B7 RTX 4080 SUPER \u00B7 Windows \u00B7 CUDA 13.4   |   vs. before: +14.9%   |   "
              L"vs. after: -23.8%");
    EXPECT_EQ(BuildComparisonLine(3, kBoth, true, 120.0, ru),
              L"Эталон \u00B7 RTX 4080 SUPER \u00B7 Windows \u00B7 CUDA 13.4   |   к замеру до: +14,9%   |   "
              L"к замеру после: -23,8%");
    EXPECT_EQ(BuildComparisonLine(3, kAfterOnly, true, 120.0, en),
              L"Reference \u00B7 RTX 4080 SUPER \u00B7 Windows \u00B7 CUDA 13.4   |   vs. after: -23.8%");
    // Row 3 has no after measurement: the filter is irrelevant.
    EXPECT_EQ(BuildComparisonLine(4, kAfterOnly, true, 120.31, en),
              L"Reference \u00B7 RTX 5080 \u00B7 Windows \u00B7 Mivaro 1.17   |   vs. before: +0.0%   |   "
              L"No measurement after removing limits");
    EXPECT_EQ(BuildComparisonLine(4, kBoth, true, 120.31, ru),
              L"Эталон \u00B7 RTX 5080 \u00B7 Windows \u00B7 Mivaro 1.17   |   к замеру до: +0,0%   |   "
              L"После снятия ограничений замер не проводился");
}

}  // namespace

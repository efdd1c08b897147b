#include "ui/layout.h"

#include <gtest/gtest.h>

#include "resources/resource.h"

namespace {

TEST(Layout, SplitModesShareOddAndNegativeChangesWithoutGaps) {
    for (std::int32_t dy : {101, -101, -78, 1, -1}) {
        std::int32_t firstTop = 100, firstBottom = 200, secondTop = 210, secondBottom = 300;
        ApplyAnchor(AnchorMode::SplitFirst, dy, firstTop, firstBottom);
        ApplyAnchor(AnchorMode::SplitSecond, dy, secondTop, secondBottom);
        EXPECT_EQ(firstTop, 100);
        EXPECT_EQ(secondTop - firstBottom, 10) << dy;  // the gap between the charts stays
        EXPECT_EQ(secondBottom, 300 + dy);
        EXPECT_EQ(firstBottom, 200 + dy / 2);
    }
}

TEST(Layout, DeltaAndPlacementFollowTheDpi) {
    EXPECT_EQ(LayoutDelta(1038, 692, 144, 96), 0);
    EXPECT_EQ(LayoutDelta(1100, 692, 144, 96), 62);
    EXPECT_EQ(LayoutDelta(600, 692, 96, 96), -92);
    LayoutEntry entry{IDC_RUN_BUTTON, AnchorMode::Move, AnchorMode::Fixed, {999, 120, 1170, 150}};
    EXPECT_EQ(PlaceControl(entry, 144, 96, 0, 0), (PixelRect{1499, 180, 1755, 225}));  // 1498.5 rounds up
    EXPECT_EQ(PlaceControl(entry, 144, 96, -10, 7), (PixelRect{1489, 180, 1745, 225}));
    EXPECT_EQ(PlaceControl(entry, 96, 144, 0, 0), (PixelRect{666, 80, 780, 100}));
}

TEST(Layout, MinimumClientSizeAllowsShrinkingBy120By78ScaledPixels) {
    EXPECT_EQ(MinimumClientSize(1211, 728, 96, 96).width, 1091);
    EXPECT_EQ(MinimumClientSize(1211, 728, 96, 96).height, 650);
    EXPECT_EQ(MinimumClientSize(1211, 728, 144, 96).width, 1817 - 180);
    EXPECT_EQ(MinimumClientSize(1211, 728, 144, 96).height, 1092 - 117);
    EXPECT_EQ(MinimumClientSize(100, 50, 96, 96).width, 1);
    EXPECT_EQ(MinimumClientSize(100, 50, 96, 96).height, 1);
}

TEST(Layout, FontsAt96And144Dpi) {
    const FontRole roles[] = {FontRole::Body, FontRole::Emphasis, FontRole::Small, FontRole::Title, FontRole::Figure};
    const std::int32_t at96[] = {-14, -15, -12, -25, -17};
    const std::int32_t at144[] = {-21, -23, -18, -38, -26};  // 1.5 times, halves away from zero
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(DeriveFont(roles[i], -12, 400, 96, 96).height, at96[i]);
        EXPECT_EQ(DeriveFont(roles[i], -12, 400, 144, 96).height, at144[i]);
    }
    EXPECT_EQ(DeriveFont(FontRole::Body, -12, 400, 96, 96).weight, 400);
    EXPECT_EQ(DeriveFont(FontRole::Small, -12, -5, 96, 96).weight, 0);
    EXPECT_EQ(DeriveFont(FontRole::Emphasis, -12, 400, 96, 96).weight, 600);
    EXPECT_EQ(DeriveFont(FontRole::Title, -12, 700, 96, 96).weight, 700);
    // A base font captured at 144 DPI keeps its size there and shrinks on a 96-DPI monitor.
    EXPECT_EQ(DeriveFont(FontRole::Small, -18, 400, 96, 144).height, -12);
}

TEST(Layout, ToolCoversOnlyTheText) {
    EXPECT_EQ(ToolRightEdge(850, 60, 96), 63);
    EXPECT_EQ(ToolRightEdge(850, 60, 144), 65);
    EXPECT_EQ(ToolRightEdge(50, 60, 96), 50);  // text wider than the label
}

TEST(Layout, TheWindowOpensInsideTheWorkAreaButNeverBelowItsMinimum) {
    const PixelRect workArea{0, 0, 1920, 1032};  // 1920 x 1080 less a 48-pixel taskbar
    // 144 DPI: too tall, centred above the top edge; shrinks to the work area's height.
    EXPECT_EQ(FitIntoWorkArea({3, -40, 1916, 1117}, workArea, {1733, 940}), (PixelRect{3, 0, 1916, 1032}));
    // Fits: stays where it is; off to the bottom right: moved in, same size.
    EXPECT_EQ(FitIntoWorkArea({100, 50, 900, 650}, workArea, {700, 500}), (PixelRect{100, 50, 900, 650}));
    EXPECT_EQ(FitIntoWorkArea({1500, 800, 2300, 1400}, workArea, {700, 500}), (PixelRect{1120, 432, 1920, 1032}));
    // The minimum is larger than the work area: minimum size, top-left corner inside.
    EXPECT_EQ(FitIntoWorkArea({-100, -50, 1900, 1100}, {0, 0, 1600, 900}, {1733, 940}),
              (PixelRect{0, 0, 1733, 940}));
    // A monitor to the left of the primary one has negative coordinates.
    EXPECT_EQ(FitIntoWorkArea({-1000, 10, 400, 1010}, {-1280, 0, 0, 984}, {1100, 600}),
              (PixelRect{-1280, 0, 0, 984}));
}

}  // namespace

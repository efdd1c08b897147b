#include "ui/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "resources/resource.h"

namespace {

// Distinct captured rectangles, one row per control.
std::array<LayoutEntry, kLayoutEntryCount> CapturedTable() {
    auto table = MakeLayoutTable();
    std::int32_t y = 0;
    for (auto& entry : table) {
        entry.rect = {10, y, 210, y + 20};
        y += 25;
    }
    return table;
}

std::map<std::int32_t, LayoutRect> Place(const std::array<LayoutEntry, kLayoutEntryCount>& table, std::int32_t dpi,
                                         std::int32_t dx, std::int32_t dy) {
    std::map<std::int32_t, LayoutRect> placed;
    for (const auto& entry : table) {
        placed[entry.controlId] = PlaceControl(entry, dpi, 96, dx, dy);
    }
    return placed;
}

std::map<std::int32_t, LayoutRect> ById(const std::array<LayoutEntry, kLayoutEntryCount>& table) {
    std::map<std::int32_t, LayoutRect> rects;
    for (const auto& entry : table) {
        rects[entry.controlId] = entry.rect;
    }
    return rects;
}

TEST(Layout, TableCoversEveryPositionedControlOnce) {
    const auto table = MakeLayoutTable();
    std::map<std::int32_t, int> seen;
    for (const auto& entry : table) {
        ++seen[entry.controlId];
        EXPECT_EQ(entry.rect, LayoutRect{});
    }
    EXPECT_EQ(seen.size(), 20u);
    EXPECT_EQ(seen.begin()->first, IDC_TARGET_COMBO);
    EXPECT_EQ(seen.rbegin()->first, IDC_CUDA_BUTTON);
}

TEST(Layout, GrowingTallerSplitsTheChartsAndMovesTheFooter) {
    const auto table = CapturedTable();
    const auto before = ById(table);
    const auto after = Place(table, 96, 0, 101);
    auto moved = [&](std::int32_t id) {
        return std::pair{after.at(id).top - before.at(id).top, after.at(id).bottom - before.at(id).bottom};
    };
    EXPECT_EQ(moved(IDC_PERFORMANCE_CHART), (std::pair{0, 50}));
    EXPECT_EQ(moved(IDC_TIME_CHART), (std::pair{50, 101}));
    for (std::int32_t id : {IDC_STATUS, IDC_COMPARISON, IDC_FOOTER_BAND}) {
        EXPECT_EQ(moved(id), (std::pair{101, 101})) << id;
    }
    for (std::int32_t id : {IDC_HEADER_BAND, IDC_SETTINGS_CARD, IDC_TARGET_COMBO, IDC_RUN_BUTTON, IDC_TITLE,
                            IDC_LANGUAGE_COMBO, IDC_CONFIGURATION, IDC_CUDA_BUTTON}) {
        EXPECT_EQ(moved(id), (std::pair{0, 0})) << id;
    }
    for (const auto& [id, rect] : after) {  // nothing moves sideways
        EXPECT_EQ(rect.left, before.at(id).left);
        EXPECT_EQ(rect.right, before.at(id).right);
    }
}

TEST(Layout, GrowingWiderWidensTheTargetColumnAndMovesTheRest) {
    const auto table = CapturedTable();
    const auto before = ById(table);
    const auto after = Place(table, 96, 40, 0);
    auto moved = [&](std::int32_t id) {
        return std::pair{after.at(id).left - before.at(id).left, after.at(id).right - before.at(id).right};
    };
    for (std::int32_t id : {IDC_TARGET_COMBO, IDC_TARGET_LABEL, IDC_TITLE, IDC_SUBTITLE, IDC_CONFIGURATION,
                            IDC_PERFORMANCE_CHART, IDC_TIME_CHART, IDC_STATUS, IDC_COMPARISON, IDC_HEADER_BAND,
                            IDC_SETTINGS_CARD, IDC_FOOTER_BAND}) {
        EXPECT_EQ(moved(id), (std::pair{0, 40})) << id;
    }
    for (std::int32_t id : {IDC_REFERENCE_LABEL, IDC_REFERENCE_COMBO, IDC_FILTER_LABEL, IDC_FILTER_COMBO,
                            IDC_RUN_BUTTON, IDC_CUDA_BUTTON, IDC_LANGUAGE_COMBO, IDC_CREDIT}) {
        EXPECT_EQ(moved(id), (std::pair{40, 40})) << id;
    }
}

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
    EXPECT_EQ(PlaceControl(entry, 144, 96, 0, 0), (LayoutRect{1499, 180, 1755, 225}));  // 1498.5 rounds up
    EXPECT_EQ(PlaceControl(entry, 144, 96, -10, 7), (LayoutRect{1489, 180, 1745, 225}));
    EXPECT_EQ(PlaceControl(entry, 96, 144, 0, 0), (LayoutRect{666, 80, 780, 100}));
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

TEST(Layout, FontAssignmentsHandOutTitleBodyAndSmall) {
    const auto& assignments = FontAssignments();
    EXPECT_EQ(assignments.front().controlId, IDC_TITLE);
    EXPECT_EQ(assignments.front().role, FontRole::Title);
    const auto bodyCount = std::count_if(assignments.begin(), assignments.end(),
                                         [](const FontAssignment& a) { return a.role == FontRole::Body; });
    EXPECT_EQ(bodyCount, 9);
    EXPECT_EQ(assignments.back().controlId, IDC_COMPARISON);
    EXPECT_EQ(assignments.back().role, FontRole::Small);
}

TEST(Layout, ToolCoversOnlyTheText) {
    EXPECT_EQ(ToolRightEdge(850, 60, 96), 63);
    EXPECT_EQ(ToolRightEdge(850, 60, 144), 65);
    EXPECT_EQ(ToolRightEdge(50, 60, 96), 50);  // text wider than the label
}

}  // namespace

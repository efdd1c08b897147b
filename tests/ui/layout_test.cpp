#include "ui/layout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "presentation/number_format.h"

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

TEST(Layout, TheVisibleFrameFitsTheWorkAreaAndTheMinimumNeverExceedsIt) {
    const PixelRect workArea{0, 0, 1920, 1008};  // 1920 x 1080 at 150 % less a 72-pixel taskbar
    const FrameMargins none;
    // Too tall, centred above the top edge: the work area's height, at its top.
    EXPECT_EQ(FitIntoWorkArea({3, -40, 1916, 1117}, none, workArea), (PixelRect{3, 0, 1916, 1008}));
    // Fits: stays where it is; off to the bottom right: moved in, same size.
    EXPECT_EQ(FitIntoWorkArea({100, 50, 900, 650}, none, workArea), (PixelRect{100, 50, 900, 650}));
    EXPECT_EQ(FitIntoWorkArea({1500, 800, 2300, 1400}, none, workArea), (PixelRect{1120, 408, 1920, 1008}));
    // A monitor to the left of the primary one has negative coordinates.
    EXPECT_EQ(FitIntoWorkArea({-1000, 10, 400, 1010}, none, {-1280, 0, 0, 984}), (PixelRect{-1280, 0, 0, 984}));
    // Invisible resize borders (11 pixels at 144 DPI) may lie outside; the visible frame may not.
    const FrameMargins borders = MarginsOf({89, -11, 1851, 1211}, {100, -11, 1840, 1200});
    EXPECT_EQ(borders.left, 11);
    EXPECT_EQ(borders.top, 0);
    EXPECT_EQ(borders.bottom, 11);
    EXPECT_EQ(FitIntoWorkArea({89, -11, 1851, 1211}, borders, workArea), (PixelRect{89, 0, 1851, 1019}));
    EXPECT_EQ(FitIntoWorkArea({-20, 5, 1990, 505}, borders, workArea), (PixelRect{-11, 5, 1931, 505}));

    // The minimum applies where the work area allows it, and never beyond it.
    EXPECT_EQ(MinimumWindowSize({1600, 900}, none, workArea), (ClientSize{1600, 900}));
    EXPECT_EQ(MinimumWindowSize({1600, 1085}, none, workArea), (ClientSize{1600, 1008}));
    EXPECT_EQ(MinimumWindowSize({1990, 1085}, borders, workArea), (ClientSize{1942, 1019}));
}

TEST(Layout, ChartsShareAShrinkingClientButKeepAReadableHeight) {
    EXPECT_EQ(ChartLimitedDelta(40, 200, 200, 96), 40);  // growth is never limited
    EXPECT_EQ(ChartLimitedDelta(-101, 200, 200, 96), -101);
    EXPECT_EQ(ChartLimitedDelta(-200, 200, 201, 96), -160);  // each gives 80 of its 200
    EXPECT_EQ(ChartLimitedDelta(-300, 300, 300, 144), -240);  // 180 pixels each at 144 DPI
    EXPECT_EQ(ChartLimitedDelta(-50, 100, 100, 96), 0);       // already below: nothing more
}

// The layout of the real dialog template on common screens, for fonts of the sizes the window
// meets: every control inside the client area, none over another, the window inside the work
// area, the charts readable.

struct TemplateControl {
    std::int32_t id;
    PixelRect units;  // left, top, right, bottom in dialog units
};

std::vector<TemplateControl> ReadTemplate() {
    std::map<std::string, std::int32_t> ids;
    std::ifstream header(MIVARO_SOURCE_DIR "/resources/resource.h");
    const std::regex define(R"(#define\s+(IDC_\w+)\s+(\d+))");
    for (std::string line; std::getline(header, line);) {
        std::smatch match;
        if (std::regex_search(line, match, define)) ids[match[1]] = std::stoi(match[2]);
    }
    std::vector<TemplateControl> controls;
    std::ifstream script(MIVARO_SOURCE_DIR "/resources/Mivaro.rc");
    const std::regex control(R"(CONTROL\s+"[^"]*",\s*(IDC_\w+),.*,\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)\s*$)");
    for (std::string line; std::getline(script, line);) {
        std::smatch match;
        if (!std::regex_search(line, match, control)) continue;
        const int x = std::stoi(match[2]), y = std::stoi(match[3]), w = std::stoi(match[4]), h = std::stoi(match[5]);
        controls.push_back({ids.at(match[1]), {x, y, x + w, y + h}});
    }
    return controls;
}

// The dialog font's base units (average character width, character height) at a DPI.
struct DialogFont {
    const char* name;
    std::int32_t dpi;
    std::int32_t charWidth;
    std::int32_t charHeight;
};

// Measured under Wine: "Segoe UI" 9 pt drawn with Open Sans (a little taller than Segoe UI) and
// with Wine's default, DejaVu Sans.
constexpr DialogFont kFonts[] = {
    {"Open Sans", 96, 7, 17},  {"Open Sans", 120, 9, 20}, {"Open Sans", 144, 10, 24},  {"Open Sans", 168, 12, 28},
    {"Open Sans", 288, 21, 49}, {"DejaVu Sans", 96, 7, 14}, {"DejaVu Sans", 120, 9, 18}, {"DejaVu Sans", 144, 11, 21},
    {"DejaVu Sans", 168, 13, 24}, {"DejaVu Sans", 288, 22, 41},
};

struct Screen {
    const char* name;
    std::int32_t dpi;
    PixelRect workArea;
};

constexpr Screen kScreens[] = {
    {"1366 x 768 at 100 %", 96, {0, 0, 1366, 728}},      {"1920 x 1080 at 125 %", 120, {0, 0, 1920, 1020}},
    {"1920 x 1080 at 150 %", 144, {0, 0, 1920, 1008}},   {"2560 x 1600 at 175 %", 168, {0, 0, 2560, 1516}},
    {"3840 x 2160 at 300 %", 288, {0, 0, 3840, 2016}},   {"1024 x 768 at 100 %", 96, {0, 0, 1024, 728}},
    {"1280 x 720 at 100 %", 96, {0, 0, 1280, 680}},      {"1920 x 1200 at 100 %", 96, {0, 0, 1920, 1160}},
    {"1600 x 900 at 125 %", 120, {0, 0, 1600, 840}},     {"2256 x 1504 at 150 %", 144, {0, 0, 2256, 1432}},
    {"2560 x 1440 at 150 %", 144, {0, 0, 2560, 1368}},   {"3840 x 2160 at 175 %", 168, {0, 0, 3840, 2076}},
    {"taskbar on the left, 1366 x 768", 96, {62, 0, 1366, 768}},
};

bool Overlap(const PixelRect& a, const PixelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(Layout, EveryControlIsVisibleAndApartOnCommonScreens) {
    const std::vector<TemplateControl> controls = ReadTemplate();
    ASSERT_EQ(controls.size(), kLayoutEntryCount);
    const std::set<std::int32_t> placeholders{IDC_HEADER_BAND, IDC_SETTINGS_CARD, IDC_FOOTER_BAND};
    const std::set<std::int32_t> combos{IDC_TARGET_COMBO, IDC_REFERENCE_COMBO, IDC_FILTER_COMBO, IDC_LANGUAGE_COMBO};
    for (const Screen& screen : kScreens) {
        for (const DialogFont& font : kFonts) {
            if (font.dpi != screen.dpi) continue;
            SCOPED_TRACE(std::string(screen.name) + ", " + font.name);
            const auto toPixels = [&](const PixelRect& u) {
                return PixelRect{MulDivRound(u.left, font.charWidth, 4), MulDivRound(u.top, font.charHeight, 8),
                                 MulDivRound(u.right, font.charWidth, 4), MulDivRound(u.bottom, font.charHeight, 8)};
            };
            std::array<LayoutEntry, kLayoutEntryCount> layout = MakeLayoutTable();
            for (LayoutEntry& entry : layout) {
                for (const TemplateControl& control : controls) {
                    if (control.id == entry.controlId) entry.rect = toPixels(control.units);
                }
            }
            const PixelRect designed = toPixels({0, 0, 692, 388});
            // Windows 10's frame of a sizable window: a caption, and resize borders all but one
            // pixel of which are invisible.
            const FrameMargins frame{ScaleForDpi(8, screen.dpi), ScaleForDpi(31, screen.dpi),
                                     ScaleForDpi(8, screen.dpi), ScaleForDpi(8, screen.dpi)};
            const FrameMargins invisible{frame.left - 1, 0, frame.right - 1, frame.bottom - 1};
            const PixelRect window{screen.workArea.left, screen.workArea.top,
                                   screen.workArea.left + designed.right + frame.left + frame.right,
                                   screen.workArea.top + designed.bottom + frame.top + frame.bottom};
            const PixelRect fitted = FitIntoWorkArea(window, invisible, screen.workArea);
            const PixelRect visible{fitted.left + invisible.left, fitted.top, fitted.right - invisible.right,
                                    fitted.bottom - invisible.bottom};
            EXPECT_GE(visible.left, screen.workArea.left);
            EXPECT_GE(visible.top, screen.workArea.top);
            EXPECT_LE(visible.right, screen.workArea.right);
            EXPECT_LE(visible.bottom, screen.workArea.bottom);
            const ClientSize client{fitted.right - fitted.left - frame.left - frame.right,
                                    fitted.bottom - fitted.top - frame.top - frame.bottom};
            // The designed size where it fits, the work area's where it does not.
            EXPECT_TRUE(client.width == designed.right || visible.right - visible.left == screen.workArea.right - screen.workArea.left);
            EXPECT_TRUE(client.height == designed.bottom || visible.bottom - visible.top == screen.workArea.bottom - screen.workArea.top);

            const ControlPlacement placement = PlaceControls(layout, {designed.right, designed.bottom}, client, screen.dpi, screen.dpi);
            std::vector<std::pair<std::int32_t, PixelRect>> shown;
            for (std::size_t i = 0; i < layout.size(); ++i) {
                PixelRect r = placement[i];
                // A combo box is placed with its open list; closed, it is one line high.
                if (combos.count(layout[i].controlId) != 0) r.bottom = r.top + MulDivRound(14, font.charHeight, 8);
                EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.width && r.bottom <= client.height &&
                            r.left < r.right && r.top < r.bottom)
                    << layout[i].controlId << " at " << r.left << "," << r.top << "," << r.right << "," << r.bottom
                    << " in " << client.width << " x " << client.height;
                if (placeholders.count(layout[i].controlId) == 0) shown.emplace_back(layout[i].controlId, r);
            }
            for (std::size_t i = 0; i < shown.size(); ++i) {
                for (std::size_t j = i + 1; j < shown.size(); ++j) {
                    EXPECT_FALSE(Overlap(shown[i].second, shown[j].second)) << shown[i].first << " and " << shown[j].first;
                }
            }
            for (std::size_t chart : {13u, 14u}) {  // table order: performance, time
                EXPECT_GE(placement[chart].bottom - placement[chart].top, ScaleForDpi(kMinimumChartHeight, screen.dpi));
            }
            // The minimum size never forces the window off the work area.
            const ClientSize minimumClient = MinimumClientSize(designed.right, designed.bottom, screen.dpi, screen.dpi);
            const ClientSize minimum = MinimumWindowSize(
                {minimumClient.width + frame.left + frame.right, minimumClient.height + frame.top + frame.bottom},
                invisible, screen.workArea);
            EXPECT_LE(minimum.width, fitted.right - fitted.left);
            EXPECT_LE(minimum.height, fitted.bottom - fitted.top);
        }
    }
}

// On a screen too small for even the shortest charts, the charts keep their height and the
// footer goes below the client area rather than over them.
TEST(Layout, BelowTheChartsMinimumTheFooterLeavesTheClientInsteadOfCoveringThem) {
    std::array<LayoutEntry, kLayoutEntryCount> layout = MakeLayoutTable();
    const auto set = [&](int id, PixelRect r) {
        for (LayoutEntry& entry : layout) {
            if (entry.controlId == id) entry.rect = r;
        }
    };
    set(IDC_PERFORMANCE_CHART, {23, 238, 1188, 480});
    set(IDC_TIME_CHART, {23, 495, 1188, 737});
    set(IDC_STATUS, {28, 759, 1186, 787});
    const ControlPlacement placement = PlaceControls(layout, {1211, 825}, {1211, 500}, 96, 96);
    EXPECT_EQ(placement[13].bottom - placement[13].top, 120);
    EXPECT_EQ(placement[14].top - placement[13].bottom, 15);
    EXPECT_EQ(placement[14].bottom - placement[14].top, 120);
    EXPECT_EQ(placement[15].top, 759 - 244);  // as far as the charts gave
    EXPECT_GT(placement[15].bottom, 500);
}

}  // namespace

#pragma once
// Window geometry of the main dialog as pure arithmetic: the anchor table, the placement of the
// captured control rectangles for the current client size and DPI, the window's place and
// minimum size on its monitor, the derived font heights and weights, and the width of a
// methodology tool.

#include <array>
#include <cstdint>

#include "presentation/drawing.h"

// How one axis of a control follows the change d of the client size along that axis.
enum class AnchorMode : std::int32_t { Fixed = 0, Move = 1, Stretch = 2, SplitFirst = 3, SplitSecond = 4 };

struct LayoutEntry {
    std::int32_t controlId = 0;
    AnchorMode horizontal = AnchorMode::Fixed;
    AnchorMode vertical = AnchorMode::Fixed;
    PixelRect rect;  // client coordinates at the layout DPI; zero until captured
};

constexpr std::size_t kLayoutEntryCount = 20;

// The 20 controls in layout order with their anchor modes; rectangles zero.
std::array<LayoutEntry, kLayoutEntryCount> MakeLayoutTable();

// Applies a mode to the near and far edge of one axis.
void ApplyAnchor(AnchorMode mode, std::int32_t delta, std::int32_t& nearEdge, std::int32_t& farEdge);

// Growth of the client along one axis against the initial size scaled to the current DPI.
std::int32_t LayoutDelta(std::int32_t currentSize, std::int32_t initialSize, std::int32_t dpi,
                         std::int32_t layoutDpi);

// Where a captured control goes: its rectangle scaled from the layout DPI, then anchored.
PixelRect PlaceControl(const LayoutEntry& entry, std::int32_t dpi, std::int32_t layoutDpi,
                        std::int32_t dx, std::int32_t dy);

// A size in pixels: of the client area, or of the whole window.
struct ClientSize {
    std::int32_t width = 0;
    std::int32_t height = 0;

    friend bool operator==(const ClientSize&, const ClientSize&) = default;
};

// The height below which a chart is no longer readable, in pixels at 96 DPI.
constexpr std::int32_t kMinimumChartHeight = 120;

// The vertical change the controls follow: the client's own, but the two charts, which share a
// shrinking client between them, never give up more than keeps each at its minimum height. What
// they cannot give lies below the client area instead of under another control.
std::int32_t ChartLimitedDelta(std::int32_t dy, std::int32_t firstChartHeight, std::int32_t secondChartHeight,
                               std::int32_t dpi);

using ControlPlacement = std::array<PixelRect, kLayoutEntryCount>;

// The layout pass: where every control of the table goes (in table order) in a client of this
// size, for captured rectangles and a designed client size at the layout DPI.
ControlPlacement PlaceControls(const std::array<LayoutEntry, kLayoutEntryCount>& layout, ClientSize designed,
                               ClientSize client, std::int32_t dpi, std::int32_t layoutDpi);

// The smallest client area the window may be tracked to: 120 x 78 pixels at 96 DPI less
// than its designed size, at least 1 x 1.
ClientSize MinimumClientSize(std::int32_t initialWidth, std::int32_t initialHeight, std::int32_t dpi,
                             std::int32_t layoutDpi);

// The five fonts derived from the dialog's font, in the order they are created. The charts'
// font roles (ChartFont) carry the same values.
enum class FontRole : std::int32_t { Body = 0, Emphasis = 1, Small = 2, Title = 3, Figure = 4 };
constexpr std::size_t kFontRoleCount = 5;

struct FontMetrics {
    std::int32_t height = 0;
    std::int32_t weight = 0;
};

FontMetrics DeriveFont(FontRole role, std::int32_t baseHeight, std::int32_t baseWeight, std::int32_t dpi,
                       std::int32_t layoutDpi);

// Which font each control receives, in the order the fonts are handed out.
struct FontAssignment {
    std::int32_t controlId = 0;
    FontRole role = FontRole::Body;
};
constexpr std::size_t kFontAssignmentCount = 15;
const std::array<FontAssignment, kFontAssignmentCount>& FontAssignments();

// Right edge of a methodology tool: the label only counts as far as its text reaches.
std::int32_t ToolRightEdge(std::int32_t clientRight, std::int32_t textWidth, std::int32_t dpi);

// How far a window rectangle reaches beyond the frame the user sees: the resize borders that
// Windows 10 and later draw invisibly (all zero where the system does not say).
struct FrameMargins {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
FrameMargins MarginsOf(const PixelRect& window, const PixelRect& visibleFrame);

// Where the window goes at start-up and after a DPI change: its visible frame no larger than the
// work area of its monitor and fully inside it. A window that fits keeps its place; one that
// does not is shrunk to the work area, and moved no further than it must.
PixelRect FitIntoWorkArea(const PixelRect& window, const FrameMargins& margins, const PixelRect& workArea);

// The minimum tracking size of the window: that of its minimum client area where the work area
// allows it, never more than makes the visible frame fill the work area.
ClientSize MinimumWindowSize(ClientSize minimumWindow, const FrameMargins& margins, const PixelRect& workArea);

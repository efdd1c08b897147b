#pragma once
// Window geometry of the main dialog as pure arithmetic: the anchor table, the placement of a
// captured control rectangle for the current client size and DPI, the minimum client size,
// the derived font heights and weights, and the width of a methodology tool.

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

struct ClientSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

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

// Where the window opens: its designed rectangle, shrunk where it does not fit the work area of
// its monitor (never below its minimum size) and moved fully inside it. A window whose minimum
// is larger than the work area keeps its top-left corner, with the caption, inside.
PixelRect FitIntoWorkArea(const PixelRect& window, const PixelRect& workArea, ClientSize minimumWindow);

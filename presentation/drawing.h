#pragma once
// Portable drawing vocabulary of the charts: colours, pixel rectangles, font roles and the
// chart palette. The window converts these to its platform types when it draws.

#include <cstdint>

struct RgbColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const RgbColour&, const RgbColour&) = default;
};

// A rectangle in pixels (left, top, right, bottom), the layout of Windows' RECT.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The window fonts a chart draws with; the values are those of the window's font roles.
enum class ChartFont : std::int32_t { Body = 0, Emphasis = 1, Small = 2, Figure = 4 };

enum class TextAlign : std::int32_t { Left, Centre, Right };

namespace chart_palette {
inline constexpr RgbColour kSurround{248, 249, 249};
inline constexpr RgbColour kCard{255, 255, 255};
inline constexpr RgbColour kLine{213, 221, 228};  // card outline and grid lines
inline constexpr RgbColour kDarkText{24, 33, 42};
inline constexpr RgbColour kMutedText{78, 93, 107};  // unit and axis labels
inline constexpr RgbColour kCurrentStrip{229, 243, 250};
inline constexpr RgbColour kReferenceStrip{239, 243, 245};
inline constexpr RgbColour kCurrentText{8, 82, 118};
inline constexpr RgbColour kBeforeBar{154, 171, 184};
inline constexpr RgbColour kAfterBar{74, 155, 193};
inline constexpr RgbColour kCurrentBar{11, 111, 157};
}  // namespace chart_palette

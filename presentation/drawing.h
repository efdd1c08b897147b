#pragma once
// Portable drawing vocabulary: colours, pixel rectangles, the window's font roles and the
// palette. The window converts these to its platform types when it draws.

#include <cstdint>

struct RgbColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const RgbColour&, const RgbColour&) = default;
};

struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The five fonts the window derives from its dialog font.
enum class FontRole : std::int32_t { Body, Emphasis, Small, Title, Figure };

enum class TextAlign : std::int32_t { Left, Centre, Right };

namespace palette {
inline constexpr RgbColour kWindowBackground{248, 249, 249};
inline constexpr RgbColour kBand{237, 239, 240};  // header and footer bands, disabled button face
inline constexpr RgbColour kLine{213, 221, 228};  // lines, card outlines, grid, disabled outline
inline constexpr RgbColour kCard{255, 255, 255};
inline constexpr RgbColour kDarkText{24, 33, 42};
inline constexpr RgbColour kMutedText{78, 93, 107};
inline constexpr RgbColour kAccentOutline{11, 111, 157};
inline constexpr RgbColour kAccentText{8, 82, 118};
inline constexpr RgbColour kButtonFace{229, 243, 250};  // also the current chart strip
inline constexpr RgbColour kPressedButtonFace{210, 231, 242};
inline constexpr RgbColour kReferenceStrip{239, 243, 245};
inline constexpr RgbColour kBeforeBar{154, 171, 184};
inline constexpr RgbColour kAfterBar{74, 155, 193};
inline constexpr RgbColour kCurrentBar{11, 111, 157};
}  // namespace palette

#pragma once
// The window palette, and the colours of the static texts and the owner-drawn buttons.

#include <cstdint>

#include "presentation/drawing.h"

// The window shares the charts' colours, so the charts sit on it seamlessly.
namespace palette {
inline constexpr RgbColour kWindowBackground = chart_palette::kSurround;
inline constexpr RgbColour kBand{237, 239, 240};  // header and footer bands
inline constexpr RgbColour kLine = chart_palette::kLine;  // lines, card outline, disabled button outline
inline constexpr RgbColour kCard = chart_palette::kCard;  // settings card, button surround
inline constexpr RgbColour kDarkText = chart_palette::kDarkText;
inline constexpr RgbColour kMutedText = chart_palette::kMutedText;
inline constexpr RgbColour kAccentOutline = chart_palette::kCurrentBar;
inline constexpr RgbColour kAccentText = chart_palette::kCurrentText;
inline constexpr RgbColour kButtonFace = chart_palette::kCurrentStrip;
inline constexpr RgbColour kPressedButtonFace{210, 231, 242};
}  // namespace palette

struct TextColours {
    RgbColour background;
    RgbColour text;
};

// Background and text colour of a static control, chosen by its id.
TextColours StaticColoursFor(std::int32_t controlId);

struct ButtonColours {
    RgbColour face;
    RgbColour outline;
    RgbColour text;
};

// Colours of an owner-drawn button in its current state.
ButtonColours ButtonColoursFor(bool disabled, bool pressed);

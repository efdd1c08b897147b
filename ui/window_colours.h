#pragma once
// The window palette, and the colours of the static texts and the owner-drawn buttons.

#include <cstdint>

#include "presentation/drawing.h"

namespace palette {
inline constexpr RgbColour kWindowBackground{248, 249, 249};
inline constexpr RgbColour kBand{237, 239, 240};  // header and footer bands
inline constexpr RgbColour kLine{213, 221, 228};  // lines, card outline, disabled button outline
inline constexpr RgbColour kCard{255, 255, 255};  // settings card, button surround
inline constexpr RgbColour kDarkText{24, 33, 42};
inline constexpr RgbColour kMutedText{78, 93, 107};
inline constexpr RgbColour kAccentOutline{11, 111, 157};
inline constexpr RgbColour kAccentText{8, 82, 118};
inline constexpr RgbColour kButtonFace{229, 243, 250};
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

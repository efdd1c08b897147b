#pragma once
// Colours of the window surface, the static texts and the owner-drawn buttons.

#include <cstdint>

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace palette {
inline constexpr Rgb kWindow{248, 249, 249};
inline constexpr Rgb kBand{237, 239, 240};
inline constexpr Rgb kLine{213, 221, 228};
inline constexpr Rgb kCard{255, 255, 255};
inline constexpr Rgb kDarkText{24, 33, 42};
inline constexpr Rgb kMutedText{78, 93, 107};
inline constexpr Rgb kAccentOutline{11, 111, 157};
inline constexpr Rgb kAccentText{8, 82, 118};
inline constexpr Rgb kButtonFace{229, 243, 250};
inline constexpr Rgb kPressedButtonFace{210, 231, 242};
}  // namespace palette

struct TextColours {
    Rgb background;
    Rgb text;
};

// Background and text colour of a static control, chosen by its id.
TextColours StaticColoursFor(std::int32_t controlId);

struct ButtonColours {
    Rgb face;
    Rgb outline;
    Rgb text;
};

// Colours of an owner-drawn button in its current state.
ButtonColours ButtonColoursFor(bool disabled, bool pressed);

#pragma once
// Colours of the static texts and the owner-drawn buttons, chosen from the window palette.

#include <cstdint>

#include "presentation/drawing.h"

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

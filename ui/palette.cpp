#include "ui/palette.h"

#include "resources/resource.h"

TextColours StaticColoursFor(std::int32_t controlId) {
    switch (controlId) {
        case IDC_TITLE:
        case IDC_STATUS:
            return {palette::kBand, palette::kDarkText};
        case IDC_SUBTITLE:
        case IDC_CREDIT:
        case IDC_COMPARISON:
            return {palette::kBand, palette::kMutedText};
        case IDC_TARGET_LABEL:
        case IDC_REFERENCE_LABEL:
        case IDC_FILTER_LABEL:
        case IDC_CONFIGURATION:
            return {palette::kCard, palette::kMutedText};
        default:
            return {palette::kWindow, palette::kMutedText};
    }
}

ButtonColours ButtonColoursFor(bool disabled, bool pressed) {
    if (disabled) {
        return {palette::kBand, palette::kLine, palette::kMutedText};
    }
    return {pressed ? palette::kPressedButtonFace : palette::kButtonFace, palette::kAccentOutline,
            palette::kAccentText};
}

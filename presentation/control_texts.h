#pragma once
// The window's control ids and the fixed texts of its controls in both languages.

#include <array>
#include <cstdint>
#include <vector>

#include "presentation/text_pair.h"

namespace ControlId {
inline constexpr std::int32_t TargetCombo = 1001;
inline constexpr std::int32_t ReferenceCombo = 1002;
inline constexpr std::int32_t FilterCombo = 1003;
inline constexpr std::int32_t RunButton = 1004;
inline constexpr std::int32_t Title = 1005;
inline constexpr std::int32_t Subtitle = 1006;
inline constexpr std::int32_t Credit = 1007;
inline constexpr std::int32_t TargetLabel = 1008;
inline constexpr std::int32_t ReferenceLabel = 1009;
inline constexpr std::int32_t FilterLabel = 1010;
inline constexpr std::int32_t ConfigurationLabel = 1011;
inline constexpr std::int32_t PerformanceChart = 1012;
inline constexpr std::int32_t TimeChart = 1013;
inline constexpr std::int32_t StatusLine = 1014;
inline constexpr std::int32_t ComparisonLine = 1015;
inline constexpr std::int32_t HeaderBand = 1016;
inline constexpr std::int32_t SettingsCard = 1017;
inline constexpr std::int32_t FooterBand = 1018;
inline constexpr std::int32_t LanguageCombo = 1019;
inline constexpr std::int32_t CudaButton = 1020;
}  // namespace ControlId

struct ControlText {
    std::int32_t controlId = 0;
    TextPair text;

    friend bool operator==(const ControlText&, const ControlText&) = default;
};

// The nine texts a language switch re-applies, in their fixed order. ru is the text the
// dialog template gives the control, en the string-table entry with the control's id.
std::vector<ControlText> BuiltInControlTexts();

// The idle status line: control 1014 in the template, string-table entry 1014.
TextPair IdleStatusText();

// Texts that are the same in both languages and are never re-applied.
inline constexpr const wchar_t* kWindowCaption = L"Mivaro 1.25";
inline constexpr const wchar_t* kTitleText = L"Mivaro";
inline constexpr const wchar_t* kCreditText = L"FP16 GEMM \u00B7 cuBLAS \u00B7 DirectML";
// Items of the language combo, index = Language value.
inline constexpr std::array<const wchar_t*, 2> kLanguageItems = {L"Русский", L"English"};

// Shown in a message box when the window cannot be created; Russian only, because no
// language has been chosen at that point.
inline constexpr const wchar_t* kWindowCreationFailedText = L"Не удалось создать окно программы.";
inline constexpr const wchar_t* kMessageBoxCaption = L"Mivaro";

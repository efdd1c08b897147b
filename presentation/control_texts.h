#pragma once
// The window's control ids (those of the resource script) and the fixed texts of its controls
// in both languages.

#include <array>
#include <cstdint>
#include <vector>

#include "core/text_pair.h"
#include "resources/resource.h"

namespace ControlId {
inline constexpr std::int32_t TargetCombo = IDC_TARGET_COMBO;
inline constexpr std::int32_t ReferenceCombo = IDC_REFERENCE_COMBO;
inline constexpr std::int32_t FilterCombo = IDC_FILTER_COMBO;
inline constexpr std::int32_t RunButton = IDC_RUN_BUTTON;
inline constexpr std::int32_t Title = IDC_TITLE;
inline constexpr std::int32_t Subtitle = IDC_SUBTITLE;
inline constexpr std::int32_t Credit = IDC_CREDIT;
inline constexpr std::int32_t TargetLabel = IDC_TARGET_LABEL;
inline constexpr std::int32_t ReferenceLabel = IDC_REFERENCE_LABEL;
inline constexpr std::int32_t FilterLabel = IDC_FILTER_LABEL;
inline constexpr std::int32_t ConfigurationLabel = IDC_CONFIGURATION;
inline constexpr std::int32_t PerformanceChart = IDC_PERFORMANCE_CHART;
inline constexpr std::int32_t TimeChart = IDC_TIME_CHART;
inline constexpr std::int32_t StatusLine = IDC_STATUS;
inline constexpr std::int32_t ComparisonLine = IDC_COMPARISON;
inline constexpr std::int32_t HeaderBand = IDC_HEADER_BAND;
inline constexpr std::int32_t SettingsCard = IDC_SETTINGS_CARD;
inline constexpr std::int32_t FooterBand = IDC_FOOTER_BAND;
inline constexpr std::int32_t LanguageCombo = IDC_LANGUAGE_COMBO;
inline constexpr std::int32_t CudaButton = IDC_CUDA_BUTTON;
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

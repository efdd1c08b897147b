#include "ui/layout.h"

#include <algorithm>
#include <utility>

#include "presentation/number_format.h"
#include "resources/resource.h"

std::array<LayoutEntry, kLayoutEntryCount> MakeLayoutTable() {
    using enum AnchorMode;
    return {{
        {IDC_TITLE, Stretch, Fixed, {}},
        {IDC_SUBTITLE, Stretch, Fixed, {}},
        {IDC_LANGUAGE_COMBO, Move, Fixed, {}},
        {IDC_CREDIT, Move, Fixed, {}},
        {IDC_TARGET_LABEL, Stretch, Fixed, {}},
        {IDC_TARGET_COMBO, Stretch, Fixed, {}},
        {IDC_REFERENCE_LABEL, Move, Fixed, {}},
        {IDC_REFERENCE_COMBO, Move, Fixed, {}},
        {IDC_FILTER_LABEL, Move, Fixed, {}},
        {IDC_FILTER_COMBO, Move, Fixed, {}},
        {IDC_RUN_BUTTON, Move, Fixed, {}},
        {IDC_CONFIGURATION, Stretch, Fixed, {}},
        {IDC_CUDA_BUTTON, Move, Fixed, {}},
        {IDC_PERFORMANCE_CHART, Stretch, SplitFirst, {}},
        {IDC_TIME_CHART, Stretch, SplitSecond, {}},
        {IDC_STATUS, Stretch, Move, {}},
        {IDC_COMPARISON, Stretch, Move, {}},
        {IDC_HEADER_BAND, Stretch, Fixed, {}},
        {IDC_SETTINGS_CARD, Stretch, Fixed, {}},
        {IDC_FOOTER_BAND, Stretch, Move, {}},
    }};
}

void ApplyAnchor(AnchorMode mode, std::int32_t delta, std::int32_t& nearEdge, std::int32_t& farEdge) {
    const std::int32_t half = delta / 2;  // truncated toward zero, shared by both split modes
    switch (mode) {
        case AnchorMode::Fixed:
            break;
        case AnchorMode::Move:
            nearEdge += delta;
            farEdge += delta;
            break;
        case AnchorMode::Stretch:
            farEdge += delta;
            break;
        case AnchorMode::SplitFirst:
            farEdge += half;
            break;
        case AnchorMode::SplitSecond:
            nearEdge += half;
            farEdge += delta;
            break;
    }
}

std::int32_t LayoutDelta(std::int32_t currentSize, std::int32_t initialSize, std::int32_t dpi,
                         std::int32_t layoutDpi) {
    return currentSize - MulDivRound(initialSize, dpi, layoutDpi);
}

PixelRect PlaceControl(const LayoutEntry& entry, std::int32_t dpi, std::int32_t layoutDpi,
                        std::int32_t dx, std::int32_t dy) {
    PixelRect r{MulDivRound(entry.rect.left, dpi, layoutDpi), MulDivRound(entry.rect.top, dpi, layoutDpi),
                 MulDivRound(entry.rect.right, dpi, layoutDpi), MulDivRound(entry.rect.bottom, dpi, layoutDpi)};
    ApplyAnchor(entry.horizontal, dx, r.left, r.right);
    ApplyAnchor(entry.vertical, dy, r.top, r.bottom);
    return r;
}

std::int32_t ChartLimitedDelta(std::int32_t dy, std::int32_t firstChartHeight, std::int32_t secondChartHeight,
                               std::int32_t dpi) {
    // Each chart takes half of the change; an even limit keeps the halves equal.
    const std::int32_t spare = std::min(firstChartHeight, secondChartHeight) - ScaleForDpi(kMinimumChartHeight, dpi);
    return std::max(dy, -2 * std::max(spare, 0));
}

ControlPlacement PlaceControls(const std::array<LayoutEntry, kLayoutEntryCount>& layout, ClientSize designed,
                               ClientSize client, std::int32_t dpi, std::int32_t layoutDpi) {
    const auto chartHeight = [&](int controlId) {
        for (const LayoutEntry& entry : layout) {
            if (entry.controlId == controlId) {
                return MulDivRound(entry.rect.bottom, dpi, layoutDpi) - MulDivRound(entry.rect.top, dpi, layoutDpi);
            }
        }
        return 0;
    };
    const std::int32_t dx = LayoutDelta(client.width, designed.width, dpi, layoutDpi);
    const std::int32_t dy =
        ChartLimitedDelta(LayoutDelta(client.height, designed.height, dpi, layoutDpi),
                          chartHeight(IDC_PERFORMANCE_CHART), chartHeight(IDC_TIME_CHART), dpi);
    ControlPlacement placement;
    for (std::size_t i = 0; i < layout.size(); ++i) placement[i] = PlaceControl(layout[i], dpi, layoutDpi, dx, dy);
    return placement;
}

ClientSize MinimumClientSize(std::int32_t initialWidth, std::int32_t initialHeight, std::int32_t dpi,
                             std::int32_t layoutDpi) {
    return {std::max(MulDivRound(initialWidth, dpi, layoutDpi) - MulDivRound(120, dpi, 96), 1),
            std::max(MulDivRound(initialHeight, dpi, layoutDpi) - MulDivRound(78, dpi, 96), 1)};
}

FontMetrics DeriveFont(FontRole role, std::int32_t baseHeight, std::int32_t baseWeight, std::int32_t dpi,
                       std::int32_t layoutDpi) {
    struct Rule {
        std::int32_t numerator;
        bool bold;
    };
    static constexpr Rule kRules[kFontRoleCount] = {{14, false}, {15, true}, {12, false}, {25, true}, {17, true}};
    const Rule& rule = kRules[static_cast<std::size_t>(role)];
    const std::int32_t weight = rule.bold ? std::max(baseWeight, 600) : std::max(baseWeight, 0);
    return {MulDivRound(MulDivRound(baseHeight, dpi, layoutDpi), rule.numerator, 12), weight};
}

const std::array<FontAssignment, kFontAssignmentCount>& FontAssignments() {
    using enum FontRole;
    static constexpr std::array<FontAssignment, kFontAssignmentCount> kAssignments = {{
        {IDC_TITLE, Title},
        {IDC_SUBTITLE, Body},
        {IDC_CREDIT, Body},
        {IDC_STATUS, Body},
        {IDC_LANGUAGE_COMBO, Body},
        {IDC_TARGET_COMBO, Body},
        {IDC_REFERENCE_COMBO, Body},
        {IDC_FILTER_COMBO, Body},
        {IDC_RUN_BUTTON, Body},
        {IDC_CUDA_BUTTON, Body},
        {IDC_TARGET_LABEL, Small},
        {IDC_REFERENCE_LABEL, Small},
        {IDC_FILTER_LABEL, Small},
        {IDC_CONFIGURATION, Small},
        {IDC_COMPARISON, Small},
    }};
    return kAssignments;
}

std::int32_t ToolRightEdge(std::int32_t clientRight, std::int32_t textWidth, std::int32_t dpi) {
    return std::min(clientRight, MulDivRound(3, dpi, 96) + textWidth);
}

FrameMargins MarginsOf(const PixelRect& window, const PixelRect& visibleFrame) {
    return {visibleFrame.left - window.left, visibleFrame.top - window.top, window.right - visibleFrame.right,
            window.bottom - visibleFrame.bottom};
}

PixelRect FitIntoWorkArea(const PixelRect& window, const FrameMargins& margins, const PixelRect& workArea) {
    // One axis of the visible frame: no longer than the area, then moved inside it.
    const auto fit = [](std::int32_t nearEdge, std::int32_t farEdge, std::int32_t areaNear, std::int32_t areaFar) {
        const std::int32_t size = std::min(farEdge - nearEdge, areaFar - areaNear);
        nearEdge = std::max(std::min(nearEdge, areaFar - size), areaNear);
        return std::pair{nearEdge, nearEdge + size};
    };
    const auto [left, right] =
        fit(window.left + margins.left, window.right - margins.right, workArea.left, workArea.right);
    const auto [top, bottom] =
        fit(window.top + margins.top, window.bottom - margins.bottom, workArea.top, workArea.bottom);
    return {left - margins.left, top - margins.top, right + margins.right, bottom + margins.bottom};
}

ClientSize MinimumWindowSize(ClientSize minimumWindow, const FrameMargins& margins, const PixelRect& workArea) {
    return {std::min(minimumWindow.width, workArea.right - workArea.left + margins.left + margins.right),
            std::min(minimumWindow.height, workArea.bottom - workArea.top + margins.top + margins.bottom)};
}

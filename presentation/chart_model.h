#pragma once
// The performance and time charts as a list of drawing operations. The window executes the
// list in order on each paint; nothing here is cached between paints.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/text_pair.h"
#include "presentation/drawing.h"

enum class ChartKind : std::int32_t { Performance, Time };

// A rectangle filled with one colour, no outline.
struct ChartFill {
    PixelRect rect;
    RgbColour colour;

    friend bool operator==(const ChartFill&, const ChartFill&) = default;
};

// A rounded rectangle with a one-pixel outline; the corners are ellipses of the given size.
struct ChartRoundRect {
    PixelRect rect;
    std::int32_t cornerWidth = 0;
    std::int32_t cornerHeight = 0;
    RgbColour fill;
    RgbColour outline;

    friend bool operator==(const ChartRoundRect&, const ChartRoundRect&) = default;
};

// One line of text on a transparent background, vertically centred in rect, cut with an
// end ellipsis, without prefix processing.
struct ChartText {
    std::wstring text;
    ChartFont font = ChartFont::Body;
    RgbColour colour;
    PixelRect rect;
    TextAlign align = TextAlign::Left;

    friend bool operator==(const ChartText&, const ChartText&) = default;
};

using ChartOperation = std::variant<ChartFill, ChartRoundRect, ChartText>;

struct ChartBar {
    std::wstring label;
    double value = 0.0;
    bool hasValue = false;  // false: no bar, the value reads as a dash
    RgbColour colour;
    bool isCurrent = false;
};

struct ChartScale {
    double step = 0.0;
    double axisMaximum = 0.0;
    int decimals = 0;
};

struct ChartInput {
    ChartKind kind = ChartKind::Performance;
    PixelRect item;  // the control's rectangle
    int dpi = 96;
    Language language = Language::Russian;
    std::wstring title;      // the chart control's own text in the current language
    int referenceIndex = 0;  // reference-list selection; 0 is "No reference"
    int filterIndex = 0;     // "Show on charts" selection
    bool hasResult = false;
    SeriesTiming result;             // the median of the shown run, read when hasResult
    const GpuTarget* target = nullptr;  // the selected test target, if any
};

struct ChartModel {
    std::vector<ChartBar> bars;
    ChartScale scale;
    int rowHeight = 0;  // no grid and no rows are drawn when this is not positive
    std::vector<ChartOperation> operations;  // in drawing order
};

// Four equal axis intervals whose step is 1 to 10 times a power of ten, for the largest
// shown value (a chart with nothing to show gets its own default maximum).
ChartScale ComputeChartScale(double largestValue, ChartKind kind);

// Appends a caption strip at the running position y and moves y below it.
void DrawChartStrip(std::vector<ChartOperation>& operations, const PixelRect& item, int dpi, int& y,
                    std::wstring text, bool current);

ChartModel BuildChartModel(const ChartInput& input);

#include "presentation/chart_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "presentation/number_format.h"
#include "presentation/reference.h"
#include "presentation/target_name.h"

namespace {

const wchar_t* Pick(Language language, const wchar_t* ru, const wchar_t* en) {
    return language == Language::English ? en : ru;
}

// 10^e; exact (or correctly rounded for negative e) within the range the charts reach, so
// the scale does not depend on the C runtime's pow.
double PowerOfTen(int exponent) {
    if (exponent < -22 || exponent > 22) return std::pow(10.0, exponent);
    double power = 1.0;
    for (int i = 0; i < std::abs(exponent); ++i) power *= 10.0;
    return exponent < 0 ? 1.0 / power : power;
}

// floor(log10(x)), corrected where a C runtime's log10 is off by one near a power of ten.
int DecimalExponent(double x) {
    int exponent = static_cast<int>(std::floor(std::log10(x)));
    if (PowerOfTen(exponent) > x) {
        --exponent;
    } else if (PowerOfTen(exponent + 1) <= x) {
        ++exponent;
    }
    return exponent;
}

std::vector<ChartBar> MakeBars(const ChartInput& input) {
    const bool performance = input.kind == ChartKind::Performance;
    const Language language = input.language;
    std::vector<ChartBar> bars;
    if (const ReferenceMeasurement* reference = SelectedReference(input.referenceIndex)) {
        if (ReferenceShowsBefore(*reference, input.filterIndex)) {
            bars.push_back({Pick(language, L"До снятия ограничений", L"Before removing limits"),
                            performance ? reference->tflopsBefore : reference->msBefore, true,
                            chart_palette::kBeforeBar, false});
        }
        if (ReferenceShowsAfter(*reference, input.filterIndex)) {
            bars.push_back({Pick(language, L"После снятия ограничений", L"After removing limits"),
                            performance ? reference->tflopsAfter : reference->msAfter, true,
                            chart_palette::kAfterBar, false});
        }
    }
    bars.push_back({Pick(language, L"Результат Windows", L"Windows result"),
                    input.hasResult ? (performance ? input.result.tflops : input.result.msPerMultiplication)
                                    : 0.0,
                    input.hasResult, chart_palette::kCurrentBar, true});
    return bars;
}

}  // namespace

ChartScale ComputeChartScale(double largestValue, ChartKind kind) {
    double maximum = std::max(largestValue, 0.0);
    if (maximum == 0.0) maximum = kind == ChartKind::Performance ? 60.0 : 40.0;
    const double magnitude = PowerOfTen(DecimalExponent(maximum * 0.25));
    ChartScale scale;
    scale.step = std::ceil(maximum / (magnitude * 4.0)) * magnitude;
    scale.axisMaximum = scale.step * 4.0;
    scale.decimals = scale.step < 1.0 ? 1 : 0;
    return scale;
}

void DrawChartStrip(std::vector<ChartOperation>& operations, const PixelRect& item, int dpi, int& y,
                    std::wstring text, bool current) {
    const auto s = [dpi](int length) { return ScaleForDpi(length, dpi); };
    const PixelRect strip{item.left + s(16), y, item.right - s(16), y + s(22)};
    operations.emplace_back(ChartFill{strip, current ? chart_palette::kCurrentStrip : chart_palette::kReferenceStrip});
    operations.emplace_back(ChartText{std::move(text), ChartFont::Emphasis,
                                      current ? chart_palette::kCurrentText : chart_palette::kDarkText,
                                      {strip.left + s(7), strip.top, strip.right - s(7), strip.bottom},
                                      TextAlign::Left});
    y = strip.bottom;
}

ChartModel BuildChartModel(const ChartInput& input) {
    const auto s = [&input](int length) { return ScaleForDpi(length, input.dpi); };
    const PixelRect& rc = input.item;
    const Language language = input.language;
    ChartModel model;
    auto& ops = model.operations;

    ops.emplace_back(ChartFill{rc, chart_palette::kSurround});
    ops.emplace_back(ChartRoundRect{rc, s(15), s(15), chart_palette::kCard, chart_palette::kLine});
    ops.emplace_back(ChartText{input.title, ChartFont::Emphasis, chart_palette::kDarkText,
                               {rc.left + s(18), rc.top + s(10), rc.right - s(90), rc.top + s(37)},
                               TextAlign::Left});
    ops.emplace_back(ChartText{input.kind == ChartKind::Performance
                                   ? L"TFLOPS"
                                   : Pick(language, L"мс \u00B7 меньше \u2014 быстрее", L"ms \u00B7 lower is better"),
                               ChartFont::Small, chart_palette::kMutedText,
                               {rc.left + s(320), rc.top + s(10), rc.right - s(20), rc.top + s(37)},
                               TextAlign::Right});

    model.bars = MakeBars(input);
    double largest = 0.0;
    for (const ChartBar& bar : model.bars) {
        if (bar.hasValue) largest = std::max(largest, bar.value);
    }
    model.scale = ComputeChartScale(largest, input.kind);

    const int plotLeft = rc.left + s(228);
    const int plotRight = rc.right - s(104);
    const int plotTop = rc.top + s(41);
    const int plotBottom = rc.bottom - s(30);
    const int plotWidth = plotRight - plotLeft;
    const int count = static_cast<int>(model.bars.size());
    const int gap = count > 1 ? s(6) : 0;
    const int strips = count > 1 ? 2 : 1;
    model.rowHeight = (plotBottom - plotTop - strips * s(22) - gap) / count;
    const int rowHeight = model.rowHeight;
    if (rowHeight <= 0) return model;

    for (int i = 0; i <= 4; ++i) {
        const int x = plotLeft + MulDivRound(plotWidth, i, 4);
        ops.emplace_back(ChartFill{{x, plotTop, x + 1, plotBottom}, chart_palette::kLine});
        ops.emplace_back(ChartText{FormatDecimal(i * model.scale.step, model.scale.decimals, language),
                                   ChartFont::Small, chart_palette::kMutedText,
                                   {x - s(32), plotBottom + s(4), x + s(32), rc.bottom - s(4)}, TextAlign::Centre});
    }

    int y = plotTop;
    if (const ReferenceMeasurement* reference = SelectedReference(input.referenceIndex)) {
        DrawChartStrip(ops, rc, input.dpi, y,
                       Pick(language, L"Эталон \u00B7 ", L"Reference \u00B7 ") + std::wstring(reference->chartName),
                       false);
    }
    for (const ChartBar& bar : model.bars) {
        if (bar.isCurrent) {
            y += gap;
            std::wstring caption = Pick(language, L"Текущий замер", L"Current measurement");
            if (input.target != nullptr) {
                caption += L" \u00B7 " + FormatTargetName(*input.target, language) + L" \u00B7 " +
                           (input.target->backend == BackendKind::DirectMl ? L"DirectML" : L"cuBLAS");
            }
            DrawChartStrip(ops, rc, input.dpi, y, std::move(caption), true);
        }
        const RgbColour textColour = bar.isCurrent ? chart_palette::kCurrentText : chart_palette::kDarkText;
        ops.emplace_back(ChartText{bar.label, ChartFont::Body, textColour,
                                   {rc.left + s(18), y, plotLeft - s(10), y + rowHeight}, TextAlign::Left});
        ops.emplace_back(ChartText{bar.hasValue ? FormatDecimal(bar.value, 2, language) : L"\u2014",
                                   ChartFont::Figure, textColour,
                                   {plotRight + s(12), y, rc.right - s(20), y + rowHeight}, TextAlign::Right});
        const int barHeight = std::min(s(23), rowHeight - s(6));
        if (bar.hasValue && barHeight > 0) {
            const int length = static_cast<int>(plotWidth * bar.value / model.scale.axisMaximum);
            const int top = y + (rowHeight - barHeight) / 2;
            ops.emplace_back(ChartRoundRect{{plotLeft, top, plotLeft + std::max(length, 1), top + barHeight},
                                            s(7), s(7), bar.colour, bar.colour});
        }
        y += rowHeight;
    }
    return model;
}

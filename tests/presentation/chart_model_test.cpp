#include "presentation/chart_model.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// Readable failure messages for rectangles and colours.
void PrintTo(const PixelRect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
void PrintTo(const RgbColour& c, std::ostream* os) {
    *os << "RGB(" << int{c.red} << ", " << int{c.green} << ", " << int{c.blue} << ")";
}

namespace {

constexpr auto ru = Language::Russian;
constexpr auto en = Language::English;

std::vector<ChartText> Texts(const ChartModel& model) {
    std::vector<ChartText> texts;
    for (const auto& op : model.operations) {
        if (const auto* text = std::get_if<ChartText>(&op)) texts.push_back(*text);
    }
    return texts;
}

std::vector<ChartRoundRect> RoundRects(const ChartModel& model) {
    std::vector<ChartRoundRect> rects;
    for (const auto& op : model.operations) {
        if (const auto* rect = std::get_if<ChartRoundRect>(&op)) rects.push_back(*rect);
    }
    return rects;
}

// The five axis labels follow the five grid lines, each right after its line.
std::vector<std::wstring> AxisLabels(const ChartModel& model) {
    std::vector<std::wstring> labels;
    for (std::size_t i = 0; i + 1 < model.operations.size(); ++i) {
        const auto* fill = std::get_if<ChartFill>(&model.operations[i]);
        if (fill == nullptr || fill->rect.right - fill->rect.left != 1) continue;
        labels.push_back(std::get<ChartText>(model.operations[i + 1]).text);
    }
    return labels;
}

std::vector<int> GridXs(const ChartModel& model) {
    std::vector<int> xs;
    for (const auto& op : model.operations) {
        const auto* fill = std::get_if<ChartFill>(&op);
        if (fill != nullptr && fill->rect.right - fill->rect.left == 1) xs.push_back(fill->rect.left);
    }
    return xs;
}

GpuTarget PalitCard() {
    GpuTarget target;
    target.cudaOrdinal = 0;
    target.name = "NVIDIA GeForce RTX 4090";
    target.boardVendorId = 0x1569;
    return target;
}

// Chart rectangle at 96 DPI, offset so that every coordinate must be taken from it.
constexpr PixelRect kItem96{5, 7, 1171, 221};

ChartInput Input(ChartKind kind, int referenceIndex, int filterIndex, Language language) {
    ChartInput input;
    input.kind = kind;
    input.item = kItem96;
    input.dpi = 96;
    input.language = language;
    input.title = kind == ChartKind::Performance ? L"Performance" : L"Time per multiplication";
    input.referenceIndex = referenceIndex;
    input.filterIndex = filterIndex;
    return input;
}

TEST(ChartScale, StepIsAMultipleOfAPowerOfTen) {
    const auto check = [](double largest, ChartKind kind, double step, double axis, int decimals) {
        const ChartScale scale = ComputeChartScale(largest, kind);
        EXPECT_EQ(scale.step, step) << largest;
        EXPECT_EQ(scale.axisMaximum, axis) << largest;
        EXPECT_EQ(scale.decimals, decimals) << largest;
    };
    check(56.92, ChartKind::Performance, 20.0, 80.0, 0);
    check(32.66, ChartKind::Time, 9.0, 36.0, 0);
    check(170.0, ChartKind::Performance, 50.0, 200.0, 0);
    check(0.5, ChartKind::Time, 0.2, 0.8, 1);
    check(0.0, ChartKind::Performance, 20.0, 80.0, 0);  // default maximum 60
    check(0.0, ChartKind::Time, 10.0, 40.0, 0);         // default maximum 40
    check(40.0, ChartKind::Performance, 10.0, 40.0, 0);  // exact power of ten at the boundary
    check(4000.0, ChartKind::Performance, 1000.0, 4000.0, 0);
    check(0.04, ChartKind::Time, 0.01, 0.04, 1);
}

TEST(ChartModel, NoReferenceNoResult) {
    for (const ChartKind kind : {ChartKind::Performance, ChartKind::Time}) {
        ChartInput input = Input(kind, 0, 0, en);
        const GpuTarget target = PalitCard();
        input.target = &target;
        const ChartModel model = BuildChartModel(input);
        ASSERT_EQ(model.bars.size(), 1u);
        EXPECT_EQ(model.rowHeight, (191 - 48 - 22) / 1);
        EXPECT_EQ(AxisLabels(model), kind == ChartKind::Performance
                                         ? (std::vector<std::wstring>{L"0", L"20", L"40", L"60", L"80"})
                                         : (std::vector<std::wstring>{L"0", L"10", L"20", L"30", L"40"}));
        const auto texts = Texts(model);
        // Title, unit, five axis labels, the current strip, the row's label and value.
        ASSERT_EQ(texts.size(), 10u);
        EXPECT_EQ(texts[7].text, L"Current measurement \u00B7 Palit GeForce RTX 4090 \u00B7 cuBLAS");
        EXPECT_EQ(texts[7].rect, (PixelRect{28, 48, 1148, 70}));  // no gap without a reference
        EXPECT_EQ(texts[8].text, L"Windows result");
        EXPECT_EQ(texts[9].text, L"\u2014");
        EXPECT_EQ(texts[9].font, ChartFont::Figure);
        EXPECT_EQ(texts[9].colour, (RgbColour{8, 82, 118}));
        EXPECT_EQ(RoundRects(model).size(), 1u);  // only the card: no bar without a value
    }
}

TEST(ChartModel, CardTitleAndUnit) {
    const ChartModel performance = BuildChartModel(Input(ChartKind::Performance, 0, 0, ru));
    ASSERT_GE(performance.operations.size(), 4u);
    EXPECT_EQ(std::get<ChartFill>(performance.operations[0]), (ChartFill{kItem96, {248, 249, 249}}));
    EXPECT_EQ(std::get<ChartRoundRect>(performance.operations[1]),
              (ChartRoundRect{kItem96, 15, 15, {255, 255, 255}, {213, 221, 228}}));
    EXPECT_EQ(std::get<ChartText>(performance.operations[2]),
              (ChartText{L"Performance", ChartFont::Emphasis, {24, 33, 42}, {23, 17, 1081, 44}, TextAlign::Left}));
    EXPECT_EQ(std::get<ChartText>(performance.operations[3]),
              (ChartText{L"TFLOPS", ChartFont::Small, {78, 93, 107}, {325, 17, 1151, 44}, TextAlign::Right}));
    EXPECT_EQ(Texts(BuildChartModel(Input(ChartKind::Time, 0, 0, ru)))[1].text,
              L"мс \u00B7 меньше \u2014 быстрее");
    EXPECT_EQ(Texts(BuildChartModel(Input(ChartKind::Time, 0, 0, en)))[1].text, L"ms \u00B7 lower is better");
}

TEST(ChartModel, ReferenceRowWithBothMeasurementsAt96Dpi) {
    const ChartModel model = BuildChartModel(Input(ChartKind::Performance, 1, 0, ru));
    ASSERT_EQ(model.bars.size(), 3u);
    EXPECT_EQ(model.rowHeight, 31);
    EXPECT_EQ(GridXs(model), (std::vector<int>{233, 442, 650, 859, 1067}));
    EXPECT_EQ(AxisLabels(model), (std::vector<std::wstring>{L"0", L"20", L"40", L"60", L"80"}));

    const auto rects = RoundRects(model);
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[1], (ChartRoundRect{{233, 74, 583, 97}, 7, 7, {154, 171, 184}, {154, 171, 184}}));
    EXPECT_EQ(rects[2], (ChartRoundRect{{233, 105, 826, 128}, 7, 7, {74, 155, 193}, {74, 155, 193}}));

    const auto texts = Texts(model);
    ASSERT_EQ(texts.size(), 15u);
    EXPECT_EQ(texts[7], (ChartText{L"Эталон \u00B7 Palit GeForce RTX 4060", ChartFont::Emphasis, {24, 33, 42},
                                   {28, 48, 1148, 70}, TextAlign::Left}));
    EXPECT_EQ(texts[8], (ChartText{L"До снятия ограничений", ChartFont::Body, {24, 33, 42}, {23, 70, 223, 101},
                                   TextAlign::Left}));
    EXPECT_EQ(texts[9], (ChartText{L"33,66", ChartFont::Figure, {24, 33, 42}, {1079, 70, 1151, 101},
                                   TextAlign::Right}));
    EXPECT_EQ(texts[10].text, L"После снятия ограничений");
    EXPECT_EQ(texts[11].text, L"56,92");
    // The current strip follows a 6-pixel gap; without a selected target it has no name.
    EXPECT_EQ(texts[12], (ChartText{L"Текущий замер", ChartFont::Emphasis, {8, 82, 118}, {28, 138, 1148, 160},
                                    TextAlign::Left}));
    EXPECT_EQ(texts[13].rect, (PixelRect{23, 160, 223, 191}));
    EXPECT_EQ(texts[13].text, L"Результат Windows");
    EXPECT_EQ(texts[14].text, L"\u2014");

    const auto strips = [&] {
        std::vector<ChartFill> fills;
        for (const auto& op : model.operations) {
            const auto* fill = std::get_if<ChartFill>(&op);
            if (fill != nullptr && fill->rect.left == 21) fills.push_back(*fill);
        }
        return fills;
    }();
    EXPECT_EQ(strips, (std::vector<ChartFill>{{{21, 48, 1155, 70}, {239, 243, 245}},
                                              {{21, 138, 1155, 160}, {229, 243, 250}}}));
}

TEST(ChartModel, TimeChartOfTheSameRow) {
    const ChartModel model = BuildChartModel(Input(ChartKind::Time, 1, 0, en));
    EXPECT_EQ(AxisLabels(model), (std::vector<std::wstring>{L"0", L"9", L"18", L"27", L"36"}));
    const auto rects = RoundRects(model);
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[1].rect, (PixelRect{233, 74, 989, 97}));   // 834 * 32.66 / 36 = 756.6
    EXPECT_EQ(rects[2].rect, (PixelRect{233, 105, 680, 128}));  // 834 * 19.32 / 36 = 447.6
    EXPECT_EQ(Texts(model)[9].text, L"32.66");
}

TEST(ChartModel, ResultAgainstBothMeasurementsAt144Dpi) {
    ChartInput input = Input(ChartKind::Performance, 5, 0, en);
    input.item = {0, 0, 1749, 321};
    input.dpi = 144;
    input.hasResult = true;
    input.result = {6.66, 165.0};
    GpuTarget target = PalitCard();
    target.backend = BackendKind::DirectMl;
    input.target = &target;
    const ChartModel model = BuildChartModel(input);

    EXPECT_EQ(model.rowHeight, 46);  // (276 - 62 - 2 * 33 - 9) / 3
    EXPECT_EQ(GridXs(model), (std::vector<int>{342, 655, 968, 1280, 1593}));
    EXPECT_EQ(AxisLabels(model), (std::vector<std::wstring>{L"0", L"50", L"100", L"150", L"200"}));
    const auto rects = RoundRects(model);
    ASSERT_EQ(rects.size(), 4u);
    EXPECT_EQ(rects[0].cornerWidth, 23);
    EXPECT_EQ(rects[1], (ChartRoundRect{{342, 100, 1339, 135}, 11, 11, {154, 171, 184}, {154, 171, 184}}));
    EXPECT_EQ(rects[2].rect, (PixelRect{342, 146, 1405, 181}));
    EXPECT_EQ(rects[3], (ChartRoundRect{{342, 234, 1374, 269}, 11, 11, {11, 111, 157}, {11, 111, 157}}));

    const auto texts = Texts(model);
    ASSERT_EQ(texts.size(), 15u);
    EXPECT_EQ(texts[3].rect, (PixelRect{607, 282, 703, 315}));  // the "50" label, centred on x = 655
    EXPECT_EQ(texts[3].align, TextAlign::Centre);
    EXPECT_EQ(texts[12].text, L"Current measurement \u00B7 Palit GeForce RTX 4090 \u00B7 DirectML");
    EXPECT_EQ(texts[12].rect, (PixelRect{35, 196, 1714, 229}));
    EXPECT_EQ(texts[14], (ChartText{L"165.00", ChartFont::Figure, {8, 82, 118}, {1611, 229, 1719, 275},
                                    TextAlign::Right}));
}

TEST(ChartModel, SmallTimeGetsDecimalAxisLabels) {
    ChartInput input = Input(ChartKind::Time, 0, 0, ru);
    input.hasResult = true;
    input.result = {0.5, 2199.0};
    EXPECT_EQ(AxisLabels(BuildChartModel(input)),
              (std::vector<std::wstring>{L"0,0", L"0,2", L"0,4", L"0,6", L"0,8"}));
    input.language = en;
    const ChartModel model = BuildChartModel(input);
    EXPECT_EQ(AxisLabels(model), (std::vector<std::wstring>{L"0.0", L"0.2", L"0.4", L"0.6", L"0.8"}));
    EXPECT_EQ(Texts(model).back().text, L"0.50");
}

TEST(ChartModel, BarThatTruncatesToZeroIsOnePixelLong) {
    ChartInput input = Input(ChartKind::Performance, 5, 0, en);
    input.hasResult = true;
    input.result = {1e6, 0.001};
    const auto rects = RoundRects(BuildChartModel(input));
    ASSERT_EQ(rects.size(), 4u);
    EXPECT_EQ(rects[3].rect.right - rects[3].rect.left, 1);
}

TEST(ChartModel, FilterChoosesTheReferenceBars) {
    const ChartModel afterOnly = BuildChartModel(Input(ChartKind::Performance, 3, 2, en));
    ASSERT_EQ(afterOnly.bars.size(), 2u);
    EXPECT_EQ(afterOnly.bars[0].label, L"After removing limits");
    EXPECT_EQ(afterOnly.bars[0].value, 157.4);
    EXPECT_TRUE(afterOnly.bars[1].isCurrent);
    const ChartModel beforeOnly = BuildChartModel(Input(ChartKind::Time, 3, 1, en));
    ASSERT_EQ(beforeOnly.bars.size(), 2u);
    EXPECT_EQ(beforeOnly.bars[0].label, L"Before removing limits");
    EXPECT_EQ(beforeOnly.bars[0].value, 10.52);
    // A row without an after measurement ignores the filter.
    EXPECT_EQ(BuildChartModel(Input(ChartKind::Performance, 2, 2, en)).bars.size(), 2u);
}

TEST(ChartModel, TooSmallForARowShowsOnlyCardTitleAndUnit) {
    ChartInput input = Input(ChartKind::Performance, 0, 0, en);
    input.item = {0, 0, 600, 90};  // (60 - 41 - 22) / 1 < 0
    ChartModel model = BuildChartModel(input);
    EXPECT_EQ(model.rowHeight, -3);
    EXPECT_EQ(model.operations.size(), 4u);
    EXPECT_EQ(model.scale.step, 20.0);

    input.referenceIndex = 1;
    input.item = {0, 0, 600, 120};  // (90 - 41 - 44 - 6) / 3 truncates to 0
    model = BuildChartModel(input);
    EXPECT_EQ(model.rowHeight, 0);
    EXPECT_EQ(model.operations.size(), 4u);
}

TEST(ChartModel, RowTooLowForABarStillShowsItsTexts) {
    ChartInput input = Input(ChartKind::Performance, 0, 0, en);
    input.item = {0, 0, 600, 97};  // row height 4, bar height 4 - 6 < 0
    input.hasResult = true;
    input.result = {10.0, 100.0};
    const ChartModel model = BuildChartModel(input);
    EXPECT_EQ(model.rowHeight, 4);
    EXPECT_EQ(RoundRects(model).size(), 1u);
    EXPECT_EQ(Texts(model).back().text, L"100.00");
}

}  // namespace

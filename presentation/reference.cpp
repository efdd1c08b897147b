#include "presentation/reference.h"

#include "presentation/number_format.h"

namespace {

const wchar_t* Pick(Language language, const wchar_t* ru, const wchar_t* en) {
    return language == Language::English ? en : ru;
}

std::wstring Percentage(double percent, Language language) {
    return FormatSignedDecimal(percent, 1, language) + L"%";
}

}  // namespace

const ReferenceMeasurement* SelectedReference(int referenceIndex) {
    const int row = referenceIndex - 1;
    if (row < 0 || row >= static_cast<int>(kReferenceMeasurements.size())) return nullptr;
    return &kReferenceMeasurements[static_cast<std::size_t>(row)];
}

double ComparisonPercent(double tflops, double baselineTflops) {
    return (tflops / baselineTflops - 1.0) * 100.0;
}

bool ReferenceShowsBefore(const ReferenceMeasurement& reference, int filterIndex) {
    return !(reference.hasAfter && filterIndex == static_cast<int>(ChartFilter::AfterOnly));
}

bool ReferenceShowsAfter(const ReferenceMeasurement& reference, int filterIndex) {
    return reference.hasAfter && filterIndex != static_cast<int>(ChartFilter::BeforeOnly);
}

std::wstring BuildComparisonLine(int referenceIndex, int filterIndex, bool hasResult,
                                 double resultTflops, Language language) {
    const ReferenceMeasurement* reference = SelectedReference(referenceIndex);
    if (reference == nullptr) return {};
    const bool before = ReferenceShowsBefore(*reference, filterIndex);
    const bool after = ReferenceShowsAfter(*reference, filterIndex);

    std::wstring line = Pick(language, L"Эталон \u00B7 ", L"Reference \u00B7 ");
    line += reference->detail;
    if (hasResult) {
        if (before) {
            line += Pick(language, L"   |   к замеру до: ", L"   |   vs. before: ");
            line += Percentage(ComparisonPercent(resultTflops, reference->tflopsBefore), language);
        }
        if (after) {
            line += Pick(language, L"   |   к замеру после: ", L"   |   vs. after: ");
            line += Percentage(ComparisonPercent(resultTflops, reference->tflopsAfter), language);
        }
    } else if (before && after) {
        line += L"   |   ";
        line += Percentage(ComparisonPercent(reference->tflopsAfter, reference->tflopsBefore), language);
        line += Pick(language, L" между эталонными замерами", L" between reference measurements");
    }
    if (!reference->hasAfter) {
        line += Pick(language, L"   |   После снятия ограничений замер не проводился",
                     L"   |   No measurement after removing limits");
    }
    if (reference->msFromTflops) {
        line += Pick(language, L"   |   Время рассчитано по TFLOPS", L"   |   Latency calculated from TFLOPS");
    }
    return line;
}

#include "presentation/configuration.h"

#include "core/benchmark.h"
#include "presentation/number_format.h"
#include "presentation/run_shape.h"
#include "presentation/selection_lists.h"

namespace {

// The integrated-GPU label names its own counts; the Russian noun forms belong to them.
std::wstring IntegratedLabel(Language language) {
    const bool english = language == Language::English;
    const std::wstring size = FormatCount(BenchmarkPlan::matrixSize);
    return size + L" x " + size + L"   \u00B7   FP16   \u00B7   " + FormatCount(kIntegratedWarmupMultiplications) +
           (english ? L" warm-up multiplications   \u00B7   " : L" прогревочных умножения   \u00B7   ") +
           FormatCount(BenchmarkPlan::seriesCount) + (english ? L" series of " : L" серий по ") +
           FormatCount(kIntegratedMultiplicationsPerSeries) + (english ? L" multiplications" : L" умножения");
}

}  // namespace

bool RunAllowed(std::span<const GpuTarget> targets, int targetIndex, bool running) {
    const GpuTarget* target = SelectedTarget(targets, targetIndex);
    return !running && target != nullptr && target->directMlStatus == DirectMlStatus::Ready;
}

ConfigurationView DecideConfiguration(std::span<const GpuTarget> targets, int targetIndex, bool running,
                                      Language language, const std::wstring& defaultLabel) {
    const GpuTarget* target = SelectedTarget(targets, targetIndex);
    ConfigurationView view;
    view.targetListEnabled = !running && !targets.empty();
    view.runButtonEnabled = RunAllowed(targets, targetIndex, running);
    view.label = target != nullptr && target->integrated ? IntegratedLabel(language) : defaultLabel;
    return view;
}

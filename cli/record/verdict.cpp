#include "cli/record/verdict.h"

#include <algorithm>

namespace cli {

const char* VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok: return "ok";
        case Verdict::Slow: return "slow";
        case Verdict::Throttled: return "throttled";
        case Verdict::Failed: return "failed";
    }
    return "failed";
}

std::size_t ModelTable::IndexOf(const std::string& name, std::uint64_t memoryBytes) {
    const auto found = std::find_if(models_.begin(), models_.end(), [&](const Model& model) {
        return model.second == memoryBytes && model.first == name;
    });
    if (found != models_.end()) return static_cast<std::size_t>(found - models_.begin());
    models_.emplace_back(name, memoryBytes);
    return models_.size() - 1;
}

std::vector<ModelTimes> TimesByModel(std::span<const CardFacts> cards, std::size_t modelCount) {
    std::vector<std::vector<double>> times(modelCount);
    for (const CardFacts& card : cards) {
        if (card.end == CardEnd::Completed && card.model < modelCount) times[card.model].push_back(card.medianMs);
    }
    std::vector<ModelTimes> models(modelCount);
    for (std::size_t m = 0; m < modelCount; ++m) {
        std::vector<double>& t = times[m];
        if (t.empty()) continue;
        std::sort(t.begin(), t.end());
        const std::size_t n = t.size();
        models[m] = {n, t.front(), n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2, t.back()};
    }
    return models;
}

std::optional<CardVerdict> Judge(const CardFacts& card, const ModelTimes& model, double tolerancePercent) {
    if (card.end == CardEnd::Unfinished) return std::nullopt;
    CardVerdict verdict;
    if (card.end == CardEnd::Failed) {
        verdict.verdict = Verdict::Failed;
        return verdict;
    }
    verdict.modelMedianMs = model.medianMs;
    verdict.slow = card.medianMs > model.medianMs * (1.0 + tolerancePercent / 100.0);
    verdict.slowdownReasons = card.eventReasons & kSlowdownReasons;
    verdict.verdict = verdict.slow              ? Verdict::Slow
                      : verdict.slowdownReasons ? Verdict::Throttled
                                                : Verdict::Ok;
    return verdict;
}

double PercentAboveModel(double medianMs, double modelMedianMs) { return (medianMs / modelMedianMs - 1.0) * 100.0; }

}  // namespace cli

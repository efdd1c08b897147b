#include "cli/record/run_record.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace cli {

SeriesBoundary SeriesBoundaryAt(int progress) {
    return {progress > 0 ? progress : 0, progress < BenchmarkPlan::seriesCount ? progress + 1 : 0};
}

SeriesStatistics ComputeStatistics(const SeriesTiming (&series)[BenchmarkPlan::seriesCount],
                                   const SeriesTiming& median) {
    SeriesStatistics s;
    std::copy(std::begin(series), std::end(series), std::begin(s.series));
    s.median = median;
    const auto [fastest, slowest] = std::minmax_element(
        std::begin(series), std::end(series),
        [](const SeriesTiming& a, const SeriesTiming& b) { return a.msPerMultiplication < b.msPerMultiplication; });
    s.fastest = *fastest;
    s.slowest = *slowest;
    constexpr int n = BenchmarkPlan::seriesCount;
    double meanMs = 0.0, meanTflops = 0.0;
    for (const SeriesTiming& t : series) {
        meanMs += t.msPerMultiplication / n;
        meanTflops += t.tflops / n;
    }
    double squaresMs = 0.0, squaresTflops = 0.0;
    for (const SeriesTiming& t : series) {
        squaresMs += (t.msPerMultiplication - meanMs) * (t.msPerMultiplication - meanMs);
        squaresTflops += (t.tflops - meanTflops) * (t.tflops - meanTflops);
    }
    s.standardDeviation = {std::sqrt(squaresMs / (n - 1)), std::sqrt(squaresTflops / (n - 1))};
    return s;
}

std::uint64_t EventReasonsSeen(const ClockRecord& clocks) {
    std::uint64_t reasons = 0;
    for (const SeriesClocks& series : clocks.series) reasons |= series.eventReasons;
    return reasons;
}

CardFacts FactsOf(const CardRecord& card, std::size_t model) {
    CardFacts facts;
    facts.model = model;
    if (card.status == RunStatus::Completed && card.result) {
        facts.end = CardEnd::Completed;
        facts.medianMs = card.result->median.msPerMultiplication;
    } else if (card.status == RunStatus::Error) {
        facts.end = CardEnd::Failed;
    }
    facts.eventReasons = EventReasonsSeen(card.clocks);
    return facts;
}

void JudgeCards(RunRecord& run) {
    ModelTable models;
    std::vector<CardFacts> facts;
    for (const CardRecord& card : run.cards) {
        facts.push_back(FactsOf(card, models.IndexOf(card.target.name, card.target.dedicatedMemoryBytes)));
    }
    const std::vector<ModelTimes> times = TimesByModel(facts, models.size());
    for (std::size_t i = 0; i < run.cards.size(); ++i) {
        run.cards[i].verdict = Judge(facts[i], times[facts[i].model], run.tolerancePercent);
    }
}

}  // namespace cli

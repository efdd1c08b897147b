#pragma once
// Which cards stand out. A card is slow when its median time is more than the tolerance above
// the median of the cards of its model (name and memory), within one run or across a whole set
// of documents; throttled when the clocks were held back during its series; failed when its
// run or its check failed. Pure functions, shared by the run and 'summary'.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace cli {

enum class Verdict { Ok, Slow, Throttled, Failed };

// "ok", "slow", "throttled", "failed": the words of the documents.
const char* VerdictName(Verdict verdict);

// The NVML clock-event reasons that mean the card was held back: the software power cap, the
// hardware slowdown, the software and hardware thermal slowdowns and the power brake. Idle,
// application clock settings, sync boost and display clock settings do not count.
inline constexpr std::uint64_t kSlowdownReasons = 0x4 | 0x8 | 0x20 | 0x40 | 0x80;

enum class CardEnd { Completed, Failed, Unfinished };  // Unfinished: interrupted or never run

// One card as it is judged.
struct CardFacts {
    std::size_t model = 0;  // the index of its model in the caller's table
    CardEnd end = CardEnd::Unfinished;
    double medianMs = 0.0;           // Completed: the median time per multiplication
    std::uint64_t eventReasons = 0;  // every clock-event reason seen during its series
};

// The median times of a model's completed cards.
struct ModelTimes {
    std::size_t completed = 0;
    double minMs = 0.0;
    double medianMs = 0.0;  // of an even count, the mean of the two middle times
    double maxMs = 0.0;
};

struct CardVerdict {
    Verdict verdict = Verdict::Ok;  // failed, else slow, else throttled, else ok
    bool slow = false;
    std::uint64_t slowdownReasons = 0;  // the reasons seen that make it throttled
    double modelMedianMs = 0.0;         // what it was measured against; 0 for a failed card
};

// The models of a set of cards in order of first appearance: a card's model is its name and
// memory.
class ModelTable {
public:
    using Model = std::pair<std::string, std::uint64_t>;  // name, dedicated memory in bytes
    std::size_t IndexOf(const std::string& name, std::uint64_t memoryBytes);
    std::size_t size() const { return models_.size(); }
    const Model& operator[](std::size_t index) const { return models_[index]; }

private:
    std::vector<Model> models_;
};

// ModelTimes per model index, for models 0 to modelCount - 1.
std::vector<ModelTimes> TimesByModel(std::span<const CardFacts> cards, std::size_t modelCount);

// The card's verdict against its model's times; nullopt for an unfinished card.
std::optional<CardVerdict> Judge(const CardFacts& card, const ModelTimes& model, double tolerancePercent);

// How far the card's median time lies above its model's median, in percent (negative: below).
double PercentAboveModel(double medianMs, double modelMedianMs);

}  // namespace cli

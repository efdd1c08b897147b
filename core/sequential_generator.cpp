#include <random>

#include "core/benchmark.h"
#include "core/matrix_generation.h"
#include "core/polar.h"

namespace gemm {

namespace {

class SequentialNormalSource {
public:
    float Next() {
        if (hasKept_) {
            hasKept_ = false;
            return kept_;
        }
        float v1;
        float v2;
        float s;
        do {
            v1 = PolarCoordinate(UniformFromWord(static_cast<std::uint32_t>(engine_())));
            v2 = PolarCoordinate(UniformFromWord(static_cast<std::uint32_t>(engine_())));
            s = RadiusSquared(v1, v2);
        } while (!PolarAccepts(v1, v2, s));
        const float logarithm = PolarLogarithm(v1, v2, s);
        const float factor = PolarFactor(logarithm, s);
        kept_ = factor * v2;
        hasKept_ = true;
        return factor * v1;
    }

private:
    std::mt19937 engine_{kGeneratorSeed};
    float kept_ = 0.0f;
    bool hasKept_ = false;
};

void FillSequential(std::vector<std::uint16_t>& matrix, SequentialNormalSource& source,
                    const StopRequested& stopRequested) {
    for (std::size_t j = 0; j < matrix.size(); ++j) {
        if (j % kStopCheckInterval == 0 && stopRequested()) {
            throw Cancelled{};
        }
        matrix[j] = FloatToHalf(source.Next());
    }
}

}  // namespace

InputMatrices MakeInputMatricesSequential(const StopRequested& stopRequested) {
    InputMatrices inputs;
    inputs.a.resize(static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix));
    inputs.b.resize(static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix));
    SequentialNormalSource source;
    FillSequential(inputs.a, source, stopRequested);
    FillSequential(inputs.b, source, stopRequested);
    return inputs;
}

}  // namespace gemm

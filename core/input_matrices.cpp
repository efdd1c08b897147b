#include "core/input_matrices.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/benchmark.h"
#include "core/matrix_generation.h"

namespace gemm {

InputMatrices GenerateInputMatrices(HalfStream& stream, const StopRequested& stopRequested) {
    InputMatrices inputs;
    const auto elements = static_cast<std::size_t>(BenchmarkPlan::elementsPerMatrix);
    inputs.a.reserve(elements);
    inputs.b.reserve(elements);
    for (HalfMatrix* matrix : {&inputs.a, &inputs.b}) {
        for (std::size_t j = 0; j < elements; j += kStopCheckInterval) {
            if (stopRequested()) {
                throw Cancelled{};
            }
            stream.Append(*matrix, std::min(kStopCheckInterval, elements - j));
        }
    }
    return inputs;
}

InputMatrices MakeInputMatrices(std::stop_token stopToken) {
    return GenerateInputMatrices(*MakeBatchedStream(), [&stopToken] { return stopToken.stop_requested(); });
}

ElementChecks CheckReference(const InputMatrices& inputs, const std::uint16_t (&gpuValues)[3]) {
    constexpr std::size_t n = BenchmarkPlan::matrixSize;
    if (inputs.a.size() != n * n || inputs.b.size() != n * n) {
        throw std::invalid_argument("Input matrices have the wrong size");
    }
    const float relativeTolerance = 0.002f;
    const float absoluteTolerance = 0.02f;
    ElementChecks checks;
    bool allPassed = true;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto row = static_cast<std::size_t>(kCheckedElements[i].row);
        const auto col = static_cast<std::size_t>(kCheckedElements[i].col);
        float ref = 0.0f;
        for (std::size_t k = 0; k < n; ++k) {
            const float product = HalfToFloat(inputs.a[row * n + k]) * HalfToFloat(inputs.b[k * n + col]);
            ref = ref + product;
        }
        const float gpu = HalfToFloat(gpuValues[i]);
        const bool gpuFinite = (gpuValues[i] & 0x7C00u) != 0x7C00u;
        // Written so that a NaN on either side fails instead of slipping through.
        const float tolerance = std::fabs(ref) * relativeTolerance + absoluteTolerance;
        const bool withinTolerance = std::fabs(gpu - ref) <= tolerance;
        const bool passed = gpuFinite && withinTolerance;
        checks[i] = {kCheckedElements[i].row, kCheckedElements[i].col, gpuValues[i], gpu, ref,
                     std::fabs(gpu - ref), tolerance, passed};
        allPassed = allPassed && passed;
    }
    if (!allPassed) throw ReferenceCheckFailed(checks);
    return checks;
}

BenchmarkResult ValidatedResult(const SeriesTiming (&series)[BenchmarkPlan::seriesCount],
                                const InputMatrices& inputs, const std::uint16_t (&gpuValues)[3]) {
    const ElementChecks checks = CheckReference(inputs, gpuValues);
    BenchmarkResult result = MakeResult(series);
    std::copy(checks.begin(), checks.end(), result.checkedElements);
    return result;
}

}  // namespace gemm

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
    for (std::vector<std::uint16_t>* matrix : {&inputs.a, &inputs.b}) {
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

void CheckReference(const InputMatrices& inputs, const std::uint16_t (&gpuValues)[3]) {
    constexpr std::size_t n = BenchmarkPlan::matrixSize;
    if (inputs.a.size() != n * n || inputs.b.size() != n * n) {
        throw std::invalid_argument("Input matrices have the wrong size");
    }
    const float relativeTolerance = 0.002f;
    const float absoluteTolerance = 0.02f;
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
        const bool withinTolerance =
            std::fabs(gpu - ref) <= std::fabs(ref) * relativeTolerance + absoluteTolerance;
        if (!gpuFinite || !withinTolerance) {
            throw std::runtime_error("FP32 reference check failed");
        }
    }
}

}  // namespace gemm

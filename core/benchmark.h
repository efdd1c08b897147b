#pragma once
// The fixed benchmark plan, the result record and the contract every backend keeps.

#include <cstdint>
#include <functional>

struct BenchmarkPlan {
    static constexpr std::int32_t matrixSize = 8192;
    static constexpr std::int32_t warmupMultiplications = 20;
    static constexpr std::int32_t seriesCount = 5;
    static constexpr std::int32_t multiplicationsPerSeries = 50;
    static constexpr double flopsPerMultiplication = 1099511627776.0;  // 2 * 8192^3

    static constexpr std::int64_t elementsPerMatrix =
        std::int64_t{matrixSize} * std::int64_t{matrixSize};
    static constexpr std::int64_t bytesPerMatrix = elementsPerMatrix * 2;  // FP16
};

struct SeriesTiming {
    double msPerMultiplication = 0.0;
    double tflops = 0.0;
};

// One element of the product as the card computed it, against the FP32 reference.
struct ElementCheck {
    std::int32_t row = 0;
    std::int32_t col = 0;
    std::uint16_t gpuBits = 0;  // the FP16 value read back
    float gpu = 0.0f;
    float reference = 0.0f;
    float difference = 0.0f;  // |gpu - reference|
    float tolerance = 0.0f;   // the largest difference that passes
    bool passed = false;
};

struct BenchmarkResult {
    SeriesTiming series[BenchmarkPlan::seriesCount] = {};  // in measured order
    SeriesTiming median;
    ElementCheck checkedElements[3] = {};  // the validation's read-back values
};

namespace gemm {

// Thrown by a backend when a stop was requested. Deliberately not a std::exception, so
// that failure handlers never mistake a stop for an error.
class Cancelled {};

// Called with 0 right before the warm-up and with k after series k (1..5) was measured.
using ProgressCallback = std::function<void(int)>;

// Throws std::runtime_error("Invalid GPU timing") when the series time is not a finite
// positive number.
SeriesTiming ToSeriesTiming(double seriesMilliseconds, int multiplications);

BenchmarkResult MakeResult(const SeriesTiming (&series)[BenchmarkPlan::seriesCount]);

}  // namespace gemm

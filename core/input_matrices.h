#pragma once
// The two FP16 input matrices, generated bit-identically from a fixed seed, and the FP32
// check of three product elements against the values the card produced.

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <stop_token>
#include <vector>

#include "core/benchmark.h"
#include "core/half_matrix.h"

namespace gemm {

struct InputMatrices {
    HalfMatrix a;  // FP16 bit patterns, row-major, 8192 x 8192
    HalfMatrix b;
};

struct MatrixPosition {
    std::int32_t row;
    std::int32_t col;
};

inline constexpr MatrixPosition kCheckedElements[3] = {{0, 0}, {17, 456}, {8191, 8191}};

// Throws gemm::Cancelled when a stop is requested (checked every 1,048,576 elements).
InputMatrices MakeInputMatrices(std::stop_token stopToken);

using ElementChecks = std::array<ElementCheck, 3>;

// The check's failure: what() is "FP32 reference check failed"; the elements say why.
class ReferenceCheckFailed : public std::runtime_error {
public:
    explicit ReferenceCheckFailed(const ElementChecks& elements)
        : std::runtime_error("FP32 reference check failed"), elements_(elements) {}
    const ElementChecks& Elements() const { return elements_; }

private:
    ElementChecks elements_;
};

// Returns the three elements against their FP32 dot products. Throws ReferenceCheckFailed
// when a GPU value is not finite or lies outside the tolerance.
ElementChecks CheckReference(const InputMatrices& inputs, const std::uint16_t (&gpuValues)[3]);

// A 64-bit hash of A's and then B's FP16 bit patterns as little-endian bytes: XXH64 with
// seed 0, so any xxHash tool gives the same value for the two matrices written out in a row.
std::uint64_t HashInputMatrices(const InputMatrices& inputs);

// The end of every backend's run: checks the read-back values and returns the result of the
// series with the checked elements. Throws as CheckReference does.
BenchmarkResult ValidatedResult(const SeriesTiming (&series)[BenchmarkPlan::seriesCount],
                                const InputMatrices& inputs, const std::uint16_t (&gpuValues)[3]);

// XXH64 with seed 0 of the parts' bytes in a row.
std::uint64_t Xxh64(std::span<const std::span<const unsigned char>> parts);

std::uint16_t FloatToHalf(float value);
float HalfToFloat(std::uint16_t half);

}  // namespace gemm

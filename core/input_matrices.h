#pragma once
// The two FP16 input matrices, generated bit-identically from a fixed seed, and the FP32
// check of three product elements against the values the card produced.

#include <cstdint>
#include <stop_token>
#include <vector>

namespace gemm {

struct InputMatrices {
    std::vector<std::uint16_t> a;  // FP16 bit patterns, row-major, 8192 x 8192
    std::vector<std::uint16_t> b;
};

struct MatrixPosition {
    std::int32_t row;
    std::int32_t col;
};

inline constexpr MatrixPosition kCheckedElements[3] = {{0, 0}, {17, 456}, {8191, 8191}};

// Throws gemm::Cancelled when a stop is requested (checked every 1,048,576 elements).
InputMatrices MakeInputMatrices(std::stop_token stopToken);

// Throws std::runtime_error("FP32 reference check failed") when a GPU value is not finite
// or lies outside the tolerance of the FP32 dot product.
void CheckReference(const InputMatrices& inputs, const std::uint16_t (&gpuValues)[3]);

std::uint16_t FloatToHalf(float value);
float HalfToFloat(std::uint16_t half);

}  // namespace gemm

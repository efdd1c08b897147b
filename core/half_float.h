#pragma once
// Conversion of whole float arrays to FP16 bit patterns, the same rounding as
// gemm::FloatToHalf (declared in core/input_matrices.h).

#include <cstddef>
#include <cstdint>

namespace gemm {

void FloatsToHalves(const float* values, std::uint16_t* halves, std::size_t count);

}  // namespace gemm

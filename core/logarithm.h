#pragma once
// Single-precision natural logarithm of our own, correctly rounded (to nearest, ties to even)
// for every float from 2^-14 up to 8, which covers every value matrix generation takes the
// logarithm of. Being ours rather than the C runtime's, it gives the same bits everywhere.

namespace gemm {

float Logarithm(float x);

}  // namespace gemm

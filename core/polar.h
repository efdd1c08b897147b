#pragma once
// The polar method for normally distributed single-precision values, one pair at a time: the
// sequential reference generator, and the batched one for its rare rescaled pairs.

#include <cmath>
#include <cstdint>

#include "core/generation_kernels.h"
#include "core/logarithm.h"

namespace gemm {

// Uniform value in [0, 1) from one engine output; exact in single precision.
inline float UniformFromWord(std::uint32_t word) {
    return static_cast<float>(word >> 8) * 0x1p-24f;
}

// Maps a uniform value to [-1, 1); exact.
inline float PolarCoordinate(float uniform) {
    return (uniform + uniform) - 1.0f;
}

inline float RadiusSquared(float v1, float v2) {
    return v2 * v2 + v1 * v1;
}

inline bool PolarAccepts(float v1, float v2, float s) {
    return s < 1.0f && v1 != 0.0f && v2 != 0.0f;
}

// The rescaling branch of PolarLogarithm; rare enough to stay out of line.
float RescaledPolarLogarithm(float& v1, float& v2, float& s);

// ln of the radius squared of an accepted pair. A small pair is rescaled in place (v1, v2
// and s change) and the returned logarithm still belongs to the original radius squared.
inline float PolarLogarithm(float& v1, float& v2, float& s) {
    if (s > kSmallRadiusSquared) {
        return Logarithm(s);
    }
    return RescaledPolarLogarithm(v1, v2, s);
}

inline float PolarFactor(float logarithm, float s) {
    return std::sqrt((logarithm * -2.0f) / s);
}

}  // namespace gemm

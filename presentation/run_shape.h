#pragma once
// The run shape of an integrated GPU, as the texts describe it.

#include <cstdint>

inline constexpr std::int32_t kIntegratedWarmupMultiplications = 2;
inline constexpr std::int32_t kIntegratedMultiplicationsPerSeries = 4;

#pragma once
// The CUDA version this program is built against.

#include <cstdint>

// CUDA 13.5 in the CUDA encoding 1000 * major + 10 * minor. The runtime layer reports it as the
// runtime's version and serves it on drivers of the same major version or newer; discovery
// names the places searched and the toolkit offered for download after it.
inline constexpr std::int32_t kRequiredCudaVersion = 13050;

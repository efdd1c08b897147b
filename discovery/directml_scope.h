#pragma once
// The AMD and Intel adapters that DirectML can run on, as discovery lists them.

#include <vector>

#include "core/gpu_target.h"

// In DXGI enumeration order; throws std::runtime_error when DXGI itself fails.
std::vector<GpuTarget> FindDirectMlTargets();

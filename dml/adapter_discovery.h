#pragma once
// Lists the AMD and Intel adapters DXGI reports, each with whether the DirectML run can
// work on it, and the message shown when such an adapter is selected.

#include <optional>
#include <vector>

#include "core/gpu_target.h"
#include "core/text_pair.h"
#include "dml/platform.h"

namespace gemm {

inline constexpr std::uint32_t kVendorAmd = 0x1002;
inline constexpr std::uint32_t kVendorIntel = 0x8086;

// Entries in DXGI enumeration order. Throws std::runtime_error only when DXGI itself fails;
// a failing probe only sets the entry's status.
std::vector<GpuTarget> FindDirectMlAdapters(DmlPlatform& platform);

// The status-area message for a selected DirectML target; none for a ready one (the window
// then shows its idle text).
std::optional<TextPair> DirectMlSelectionMessage(DirectMlStatus status);

}  // namespace gemm

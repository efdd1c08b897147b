// Device names from drivers: UTF-8 bytes (CUDA, NVML) and wide code units (DXGI), converted
// both ways, and the display name built from them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/utf8.h"
#include "presentation/target_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Malformed input becomes U+FFFD, so what comes out is valid and converts back unchanged.
    const std::wstring wide = Utf8ToWide(bytes);
    const std::string utf8 = WideToUtf8(wide);
    if (Utf8ToWide(utf8) != wide) std::abort();

    std::wstring units(size / sizeof(wchar_t), L'\0');
    if (!units.empty()) std::memcpy(units.data(), data, units.size() * sizeof(wchar_t));
    const std::string fromUnits = WideToUtf8(units);
    if (WideToUtf8(Utf8ToWide(fromUnits)) != fromUnits) std::abort();

    GpuTarget target;
    target.name = std::string(bytes);
    target.boardVendorId = size >= 2 ? data[0] | (std::uint32_t{data[1]} << 8) : 0;
    FormatTargetName(target, Language::English);
    FormatTargetName(target, Language::Russian);
    return 0;
}

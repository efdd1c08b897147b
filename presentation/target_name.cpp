#include "presentation/target_name.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "core/utf8.h"

namespace {

struct BoardVendor {
    std::uint32_t id;
    std::wstring_view word;
};

// PCI subsystem vendor ids of board makers and the word written in front of the name.
constexpr std::array<BoardVendor, 9> kBoardVendors = {{
    {0x1002, L"AMD"},
    {0x1043, L"ASUS"},
    {0x10DE, L"NVIDIA"},
    {0x1458, L"Gigabyte"},
    {0x1462, L"MSI"},
    {0x1569, L"Palit"},
    {0x19DA, L"ZOTAC"},
    {0x3842, L"EVGA"},
    {0x8086, L"Intel"},
}};

constexpr std::wstring_view kChipMakerPrefix = L"NVIDIA ";

// "%04X": at least four upper-case hexadecimal digits.
std::wstring Hex4(std::uint32_t value) {
    constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring out;
    do {
        out.insert(out.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (out.size() < 4) out.insert(out.begin(), 4 - out.size(), L'0');
    return out;
}

}  // namespace

std::wstring FormatTargetName(const GpuTarget& target, Language language) {
    const bool english = language == Language::English;
    std::wstring name = Utf8ToWide(target.name);
    if (target.boardVendorId == 0) {
        return name + (english ? L" \u00B7 board vendor unknown" : L" \u00B7 вендор платы неизвестен");
    }
    for (const BoardVendor& vendor : kBoardVendors) {
        if (vendor.id != target.boardVendorId) continue;
        if (name.starts_with(vendor.word)) return name;
        if (name.starts_with(kChipMakerPrefix)) name.erase(0, kChipMakerPrefix.size());
        return std::wstring(vendor.word) + L' ' + name;
    }
    return name + (english ? L" \u00B7 PCI vendor " : L" \u00B7 вендор PCI ") + Hex4(target.boardVendorId);
}

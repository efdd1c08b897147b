#include "discovery/pci_inventory.h"

#include <string>
#include <string_view>

namespace {

constexpr std::u16string_view kNvidiaPrefix = u"PCI\\VEN_10DE&";
constexpr std::u16string_view kDisplayClass = u"&CC_03";

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

bool IsNvidiaDisplayId(const std::u16string& id) {
    return id.size() >= kNvidiaPrefix.size() && id.starts_with(kNvidiaPrefix) &&
           id.find(kDisplayClass) != std::u16string::npos;
}

}  // namespace

bool IdListHasNvidiaDisplayId(std::span<const std::byte> multiString) {
    std::u16string id;
    const std::size_t units = multiString.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(std::to_integer<unsigned>(multiString[2 * i]) |
                                                (std::to_integer<unsigned>(multiString[2 * i + 1]) << 8));
        if (unit != u'\0') {
            id.push_back(AsciiUpper(unit));
            continue;
        }
        if (id.empty()) {
            return false;  // the empty string ends the list
        }
        if (IsNvidiaDisplayId(id)) {
            return true;
        }
        id.clear();
    }
    // An unterminated last id still counts.
    return IsNvidiaDisplayId(id);
}


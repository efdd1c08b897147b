// Registry multi-strings of PCI ids (raw bytes of any length) from the device inventory.

#include <cstddef>
#include <cstdint>
#include <span>

#include "discovery/pci_inventory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IdListHasNvidiaDisplayId(std::as_bytes(std::span(data, size)));
    return 0;
}

#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "discovery/pci_inventory.h"

namespace {

std::string ReadFirstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// A sysfs number such as "0x10de" or "0x030000"; nullopt when it is not one.
std::optional<unsigned long> ParseHex(const std::string& text) {
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text, &used, 16);
        return used > 0 ? std::optional<unsigned long>(value) : std::nullopt;
    } catch (const std::logic_error&) {
        return std::nullopt;
    }
}

}  // namespace

PciDisplayScan ScanSysfsPciDevices(const std::filesystem::path& devicesRoot) {
    PciDisplayScan scan;
    std::error_code error;
    std::filesystem::directory_iterator devices(devicesRoot, error);
    if (error) {
        return scan;
    }
    for (auto it = devices; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        const std::filesystem::path device = it->path();
        const auto vendor = ParseHex(ReadFirstLine(device / "vendor"));
        const auto deviceClass = ParseHex(ReadFirstLine(device / "class"));
        if (vendor != 0x10deUL || !deviceClass || ((*deviceClass >> 16) & 0xff) != 0x03) {
            continue;
        }
        scan.nvidiaPresent = true;
        std::error_code linkError;
        const auto driver = std::filesystem::read_symlink(device / "driver", linkError);
        if (!linkError && driver.filename() == "nvidia") {
            scan.nvidiaDriverBound = true;
            break;
        }
    }
    return scan;
}

PciDisplayScan ScanPciDisplayAdapters() { return ScanSysfsPciDevices("/sys/bus/pci/devices"); }

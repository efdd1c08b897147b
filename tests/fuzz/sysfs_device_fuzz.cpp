// One PCI device directory of sysfs with anything in its vendor and class files and any
// driver name; the input holds the three, separated by NUL bytes.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "discovery/pci_inventory.h"

namespace {

namespace fs = std::filesystem;

std::string_view NextField(std::string_view& rest) {
    const std::size_t end = rest.find('\0');
    const std::string_view field = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return field;
}

void Write(const fs::path& file, std::string_view contents) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One tree for the whole run, removed again when the fuzzer exits.
    static const struct Tree {
        fs::path root =
            fs::temp_directory_path() / ("mivaro-fuzz-sysfs-" + std::to_string(getpid()));
        Tree() { fs::create_directories(root / "devices" / "0000:01:00.0"); }
        ~Tree() { fs::remove_all(root); }
    } tree;
    const fs::path& root = tree.root;
    const fs::path device = root / "devices" / "0000:01:00.0";

    std::string_view rest(reinterpret_cast<const char*>(data), size);
    Write(device / "vendor", NextField(rest));
    Write(device / "class", NextField(rest));
    const std::string_view driver = NextField(rest);
    fs::remove(device / "driver");
    if (!driver.empty() && driver.find('/') == std::string_view::npos) {
        std::error_code ignored;  // "." and ".." make no link, like any name the kernel refuses
        fs::create_directory_symlink(root / "drivers" / driver, device / "driver", ignored);
    }

    const PciDisplayScan scan = ScanSysfsPciDevices(root / "devices");
    if (scan.nvidiaDriverBound && !scan.nvidiaPresent) std::abort();
    return 0;
}

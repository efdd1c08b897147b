#pragma once
// Which NVIDIA display adapters sit on the PCI bus, and whether NVIDIA's display driver is
// bound to one of them. Asked of the operating system's device inventory, independently of
// any NVIDIA software.

#include <cstddef>
#include <filesystem>
#include <span>

struct PciDisplayScan {
    bool nvidiaPresent = false;      // a present PCI device is an NVIDIA display-class device
    bool nvidiaDriverBound = false;  // NVIDIA's display driver is bound to one of them

    friend bool operator==(const PciDisplayScan&, const PciDisplayScan&) = default;
};

// True when a NUL-separated list of UTF-16LE ids (a registry multi-string as raw bytes)
// holds an id that, upper-cased, begins with "PCI\VEN_10DE&" and contains "&CC_03".
// The walk ends at the first empty string or at the end of the bytes; odd sizes, missing
// terminators and empty lists are fine.
bool IdListHasNvidiaDisplayId(std::span<const std::byte> multiString);

// The scan of this machine: SetupAPI on Windows, sysfs elsewhere.
PciDisplayScan ScanPciDisplayAdapters();

#if !defined(_WIN32)
// The sysfs form of the scan over the device directories below devicesRoot (normally
// /sys/bus/pci/devices): vendor 0x10de with base class 0x03; bound when the device's driver
// link names "nvidia". A missing or unreadable tree gives the all-false result.
PciDisplayScan ScanSysfsPciDevices(const std::filesystem::path& devicesRoot);
#endif

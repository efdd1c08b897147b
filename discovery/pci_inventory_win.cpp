#include "discovery/pci_inventory_win.h"

#include <cstddef>
#include <span>
#include <vector>

#include "discovery/pci_inventory.h"

namespace {

// Owns the device-information set of the scan.
class DeviceInfoSet {
public:
    DeviceInfoSet()
        : set_(SetupDiGetClassDevsW(nullptr, L"PCI", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES)) {}
    ~DeviceInfoSet() {
        if (set_ != INVALID_HANDLE_VALUE) {
            SetupDiDestroyDeviceInfoList(set_);
        }
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;

    bool IsOpen() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO Get() const { return set_; }

private:
    HDEVINFO set_;
};

bool HasNvidiaDisplayDriver(HDEVINFO deviceSet, SP_DEVINFO_DATA& device) {
    // 64 units are read; a longer name fails the read and counts as not bound. The unit
    // past them stays NUL, so the name is terminated even when the registry's is not.
    constexpr DWORD kServiceUnits = 64;
    wchar_t service[kServiceUnits + 1] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(deviceSet, &device, SPDRP_SERVICE, &type,
                                           reinterpret_cast<BYTE*>(service),
                                           kServiceUnits * sizeof(wchar_t), nullptr)) {
        return false;
    }
    return IsNvidiaDisplayService(type, service);
}

}  // namespace

bool IsNvidiaDisplayService(DWORD registryType, const wchar_t* serviceName) {
    return registryType == REG_SZ &&
           CompareStringOrdinal(serviceName, -1, L"nvlddmkm", -1, TRUE) == CSTR_EQUAL;
}

bool IsNvidiaDisplayDevice(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD size = 0;
    if (SetupDiGetDeviceRegistryPropertyW(deviceSet, &device, property, nullptr, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return false;
    }
    // Two extra NUL units end the list whatever the property holds.
    std::vector<std::byte> buffer((size & ~DWORD{1}) + 4);
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(deviceSet, &device, property, &type,
                                           reinterpret_cast<BYTE*>(buffer.data()), size, nullptr) ||
        type != REG_MULTI_SZ) {
        return false;
    }
    CharUpperBuffW(reinterpret_cast<wchar_t*>(buffer.data()), size / 2);
    return IdListHasNvidiaDisplayId(buffer);
}

PciDisplayScan ScanPciDisplayAdapters() {
    PciDisplayScan scan;
    DeviceInfoSet devices;
    if (!devices.IsOpen()) {
        return scan;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        if (!SetupDiEnumDeviceInfo(devices.Get(), index, &device)) {
            break;
        }
        if (!IsNvidiaDisplayDevice(devices.Get(), device, SPDRP_HARDWAREID) &&
            !IsNvidiaDisplayDevice(devices.Get(), device, SPDRP_COMPATIBLEIDS)) {
            continue;
        }
        scan.nvidiaPresent = true;
        if (HasNvidiaDisplayDriver(devices.Get(), device)) {
            scan.nvidiaDriverBound = true;
            break;
        }
    }
    return scan;
}

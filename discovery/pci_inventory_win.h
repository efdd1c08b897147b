#pragma once
// The SetupAPI form of the PCI scan.

#include <windows.h>

#include <setupapi.h>

// True when the device's hardware ids (SPDRP_HARDWAREID) or compatible ids
// (SPDRP_COMPATIBLEIDS), whichever property is asked for, hold an NVIDIA display-class id.
bool IsNvidiaDisplayDevice(HDEVINFO deviceSet, SP_DEVINFO_DATA& device, DWORD property);

// True for the NVIDIA display driver's service name ("nvlddmkm", in any case) held as REG_SZ.
bool IsNvidiaDisplayService(DWORD registryType, const wchar_t* serviceName);

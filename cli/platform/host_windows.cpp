#include <windows.h>

#include "cli/platform/host.h"
#include "core/utf8.h"

namespace cli {
namespace {

// RtlGetVersion reports the real version; GetVersionEx lies to programs without a manifest.
std::string WindowsVersion() {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");  // always loaded; no reference taken
    if (ntdll == nullptr) return {};
    const auto rtlGetVersion =
        reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return {};
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
}

std::string RegistryText(const wchar_t* key, const wchar_t* value) {
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return {};
    }
    text[255] = L'\0';
    return WideToUtf8(text);
}

std::string HostName() {
    DWORD length = 0;
    GetComputerNameExW(ComputerNameDnsHostname, nullptr, &length);  // asks for the length
    std::wstring name(length, L'\0');
    if (length == 0 || !GetComputerNameExW(ComputerNameDnsHostname, name.data(), &length)) return {};
    name.resize(length);
    return WideToUtf8(name);
}

}  // namespace

HostInfo ReadHostInfo() {
    HostInfo host;
    host.name = HostName();
    host.osName = RegistryText(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName");
    if (host.osName.empty()) host.osName = "Windows";
    host.osVersion = WindowsVersion();
    host.cpuModel = RegistryText(L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"ProcessorNameString");
    return host;
}

}  // namespace cli

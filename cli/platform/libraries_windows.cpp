#include "cli/platform/libraries.h"

#include <vector>

#include <windows.h>

#include "core/system_library.h"
#include "core/utf8.h"

namespace cli {
namespace {

std::string FileVersion(const std::wstring& path) {
    static auto* const infoSizeOf =
        system_library::Find<decltype(GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
    static auto* const infoOf =
        system_library::Find<decltype(GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
    static auto* const queryValue = system_library::Find<decltype(VerQueryValueW)>(L"version.dll", "VerQueryValueW");
    if (infoSizeOf == nullptr || infoOf == nullptr || queryValue == nullptr) return {};
    DWORD ignored = 0;
    const DWORD size = infoSizeOf(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<unsigned char> data(size);
    if (!infoOf(path.c_str(), 0, size, data.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!queryValue(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr ||
        infoSize < sizeof(VS_FIXEDFILEINFO)) {
        return {};
    }
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) +
           "." + std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

}  // namespace

DirectMlLibrary SystemDirectMlLibrary() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    const std::wstring path = std::wstring(system, length) + L"\\DirectML.dll";
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    return {WideToUtf8(path), FileVersion(path)};
}

}  // namespace cli

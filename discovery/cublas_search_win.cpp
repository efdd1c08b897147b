// The places this Windows machine offers for cuBLAS: the program's path, the toolkit
// variables and the toolkit root's listing.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "discovery/cuda_components.h"

namespace {

constexpr DWORD kLongPathUnits = 32768;

std::wstring ProgramPath() {
    std::wstring buffer(kLongPathUnits, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kLongPathUnits);
    if (length == 0 || length >= kLongPathUnits) {
        return {};
    }
    buffer.resize(length);
    return buffer;
}

// Unset, empty, or changed between the two reads: empty.
std::wstring Variable(const std::wstring& name) {
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), size);
    if (length == 0 || length >= size) {
        return {};
    }
    value.resize(length);
    return value;
}

// Entry names in the order the file system gives them; an error ends the listing.
std::vector<std::wstring> List(const std::wstring& directory) {
    std::vector<std::wstring> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        names.push_back(it->path().filename().wstring());
    }
    return names;
}

}  // namespace

std::vector<std::filesystem::path> FindCublasDirectories() {
    CublasSearchInputs<wchar_t> inputs{ProgramPath(), Variable, List, {}, {}, {}};
    std::vector<std::filesystem::path> directories;
    for (const auto& directory : FindCublasDirectories(inputs)) {
        directories.emplace_back(directory);
    }
    return directories;
}

// MIVARO_CUBLAS is a Linux convention; Windows searches as the window always has.
std::optional<std::filesystem::path> CublasOverride() { return std::nullopt; }

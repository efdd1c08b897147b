#pragma once
// Helpers of the tests that run on the real Direct3D 12 / DirectML stack under Wine
// (provisioned by scripts/provision-directml-stack.sh).

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "tests/wine_only.h"

namespace realstack {

// The cached DirectML.dll (a Unix path, reached through Wine's Z: drive); empty when the
// stack was not provisioned.
inline std::filesystem::path CachedDirectMl() {
    const char* path = std::getenv("MIVARO_DIRECTML_DLL");
    if (path == nullptr || *path == '\0') return {};
    std::string windowsPath = std::string("Z:") + path;
    for (char& c : windowsPath) {
        if (c == '/') c = '\\';
    }
    return std::filesystem::path(windowsPath);
}

inline std::filesystem::path SystemDirectMl() {
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    return std::filesystem::path(directory) / L"DirectML.dll";
}

// Puts DirectML.dll into the system directory, or takes it away: only Wine's.
inline void InstallDirectMl(bool present) {
    if (!winetest::RunningUnderWine()) {
        throw std::logic_error("refusing to change DirectML.dll of a real system directory");
    }
    const std::filesystem::path target = SystemDirectMl();
    if (present) {
        std::filesystem::copy_file(CachedDirectMl(), target,
                                   std::filesystem::copy_options::overwrite_existing);
    } else {
        std::filesystem::remove(target);
    }
}

}  // namespace realstack

// Skips the test, saying why, outside Wine or where the provisioning script found no usable
// stack (it names the missing piece, such as the Vulkan loader).
#define REQUIRE_REAL_STACK()                                                                  \
    do {                                                                                      \
        REQUIRE_WINE("it puts DirectML.dll into the system directory");                      \
        const char* missing = std::getenv("MIVARO_DIRECTML_STACK_UNAVAILABLE");               \
        const auto dll = realstack::CachedDirectMl();                                         \
        if (missing != nullptr || dll.empty() || !std::filesystem::exists(dll)) {             \
            GTEST_SKIP() << "the real Direct3D 12 / DirectML stack is unavailable: "          \
                         << (missing != nullptr ? missing : "not provisioned for this run"); \
        }                                                                                     \
    } while (false)

#pragma once
// Tests that change the system directory, or that describe the machine Wine presents, run
// only under Wine: copied to a real PC, they refuse instead of touching or judging it.

#include <windows.h>

namespace winetest {

// Wine's ntdll exports wine_get_version; Windows' does not.
inline bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace winetest

// Skips the test, saying why, anywhere but under Wine.
#define REQUIRE_WINE(why)                                                     \
    do {                                                                      \
        if (!winetest::RunningUnderWine()) {                                  \
            GTEST_SKIP() << "runs only under Wine, refused here: " << (why); \
        }                                                                     \
    } while (false)

// Drives a running Mivaro window from another process, for the run and screenshot scripts.
//   mivaro-window-driver wait [seconds]   waits for the shown window, prints "left top width height"
//   mivaro-window-driver language 0|1     selects Russian (0) or English (1)
//   mivaro-window-driver reference N      selects reference-list item N (0: no reference)
//   mivaro-window-driver run [seconds]    presses the run button and waits for the run's end
//   mivaro-window-driver close            asks the window to close
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "resources/resource.h"

namespace {

HWND FindMainWindow() { return FindWindowW(L"#32770", L"Mivaro 1.25"); }

int Wait(int seconds) {
    for (int elapsed = 0; elapsed < seconds * 10; ++elapsed) {
        HWND window = FindMainWindow();
        if (window != nullptr && IsWindowVisible(window)) {
            Sleep(700);  // let the first paint reach the screen
            RECT rect{};
            GetWindowRect(window, &rect);
            std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
            return 0;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "The Mivaro window did not appear within %d s\n", seconds);
    return 1;
}

// The run button is disabled while a run works.
int Run(HWND window, int seconds) {
    HWND button = GetDlgItem(window, IDC_RUN_BUTTON);
    if (button == nullptr || !IsWindowEnabled(button)) {
        std::fprintf(stderr, "The run button is not there or not enabled\n");
        return 1;
    }
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_RUN_BUTTON, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    for (int elapsed = 0; elapsed < seconds * 10; ++elapsed) {
        Sleep(100);
        if (IsWindowEnabled(button)) {
            Sleep(700);  // let the result reach the screen
            return 0;
        }
    }
    std::fprintf(stderr, "The run did not end within %d s\n", seconds);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wcscmp(argv[1], L"wait") == 0) {
        return Wait(argc >= 3 ? _wtoi(argv[2]) : 60);
    }
    HWND window = FindMainWindow();
    if (window == nullptr) {
        std::fprintf(stderr, "No Mivaro window\n");
        return 1;
    }
    const bool language = argc == 3 && std::wcscmp(argv[1], L"language") == 0;
    if (language || (argc == 3 && std::wcscmp(argv[1], L"reference") == 0)) {
        const int id = language ? IDC_LANGUAGE_COMBO : IDC_REFERENCE_COMBO;
        HWND combo = GetDlgItem(window, id);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(_wtoi(argv[2])), 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        Sleep(500);
        return 0;
    }
    if (argc >= 2 && std::wcscmp(argv[1], L"run") == 0) {
        return Run(window, argc >= 3 ? _wtoi(argv[2]) : 60);
    }
    if (argc == 2 && std::wcscmp(argv[1], L"close") == 0) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr,
                 "usage: mivaro-window-driver wait [seconds] | language 0|1 | reference N | run [seconds] | close\n");
    return 2;
}

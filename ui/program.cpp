#include "ui/program.h"

#include <commctrl.h>

#include "discovery/cuda_status_dialog.h"
#include "presentation/control_texts.h"
#include "resources/resource.h"

void InitialiseProcess() {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
}

HWND CreateMainWindow(App& app, HINSTANCE instance) {
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, App::DialogProc,
                                     reinterpret_cast<LPARAM>(&app));
    return IsWindow(dialog) ? dialog : nullptr;
}

void SetWindowIcons(HWND window, HINSTANCE instance) {
    const UINT dpi = GetDpiForWindow(window);
    const struct {
        WPARAM kind;
        int width;
        int height;
    } icons[] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
    for (const auto& icon : icons) {
        // Shared icons belong to the system's cache; they are never destroyed by the program.
        HANDLE image = LoadImageW(instance, MAKEINTRESOURCEW(IDI_MIVARO), IMAGE_ICON,
                                  GetSystemMetricsForDpi(icon.width, dpi), GetSystemMetricsForDpi(icon.height, dpi),
                                  LR_SHARED);
        if (image != nullptr) {
            SendMessageW(window, WM_SETICON, icon.kind, reinterpret_cast<LPARAM>(image));
        }
    }
}

void ShowMainWindow(App& app, int showCommand) {
    ShowWindow(app.hwnd, showCommand);
    UpdateWindow(app.hwnd);
    if (ShouldOpenCudaDialogAtStartup(app.nvidiaPresent, app.cudaState, app.targets)) {
        app.ShowCudaStatusDialog();
    }
}

int RunMessageLoop(HWND dialog) {
    MSG message{};
    BOOL got = 0;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return got == -1 ? 1 : static_cast<int>(message.wParam);
}

int RunProgram(HINSTANCE instance, int showCommand, PlatformServices& services) {
    InitialiseProcess();
    App app(services);
    HWND dialog = CreateMainWindow(app, instance);
    if (dialog == nullptr) {
        MessageBoxW(nullptr, kWindowCreationFailedText, kMessageBoxCaption, MB_ICONERROR);
        return 1;
    }
    SetWindowIcons(dialog, instance);
    ShowMainWindow(app, showCommand);
    return RunMessageLoop(dialog);
}

#include "ui/program.h"

#include <commctrl.h>
#include <objbase.h>

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

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

ComApartment::~ComApartment() {
    if (initialised_) CoUninitialize();
}

void ReportStartupFailure() {
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    MessageBoxW(nullptr, kWindowCreationFailedText, kMessageBoxCaption, MB_ICONERROR);
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
    const ComApartment com;
    App app(services);
    HWND dialog = CreateMainWindow(app, instance);
    if (dialog == nullptr) {
        ReportStartupFailure();
        return 1;
    }
    app.LoadWindowIcons();
    ShowMainWindow(app, showCommand);
    return RunMessageLoop(dialog);
}

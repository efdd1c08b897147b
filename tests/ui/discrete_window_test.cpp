// The real main window over the system's own discovery, on Wine's AMD adapter over lavapipe
// presented as a discrete GPU (tests/dml/discrete_layer): the card is ready and the
// configuration label gives the discrete run counts.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "cuda/cuda_devices.h"
#include "discovery/cuda_components.h"
#include "discovery/directml_scope.h"
#include "discovery/pci_inventory.h"
#include "resources/resource.h"
#include "tests/dml/real_stack.h"
#include "tests/ui/scripted_services.h"
#include "ui/app.h"
#include "ui/program.h"

namespace {

std::wstring Text(HWND dialog, int id) {
    wchar_t buffer[512];
    GetDlgItemTextW(dialog, id, buffer, 512);
    return buffer;
}

void Pump() {
    for (int i = 0; i < 20; ++i) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

TEST(DiscreteWindow, ShowsTheReadyDiscreteCardWithTheDiscreteConfiguration) {
    REQUIRE_REAL_STACK();
    realstack::InstallDirectMl(true);
    InitialiseProcess();
    ScriptedServices services;  // the system's discovery; nothing is run
    services.sources = {
        [] { return ScanPciDisplayAdapters(); },
        [](const PciDisplayScan& scan) { return DetectCudaComponents(scan); },
        [](int deviceCount) { return gemm::EnumerateCudaDevices(deviceCount); },
        [] { return FindDirectMlTargets(); },
    };
    auto app = std::make_unique<App>(services);
    const HWND dialog = CreateMainWindow(*app, GetModuleHandleW(nullptr));
    realstack::InstallDirectMl(false);
    ASSERT_NE(dialog, nullptr);
    ShowMainWindow(*app, SW_SHOWNOACTIVATE);  // leaves the focus to other window tests
    Pump();

    ASSERT_EQ(SendDlgItemMessageW(dialog, IDC_TARGET_COMBO, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_TARGET_COMBO, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Text(dialog, IDC_TARGET_COMBO).rfind(L"Radeon RX 6800/6800 XT / 6900 XT \u00B7 ", 0), 0u) << Text(dialog, IDC_TARGET_COMBO);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_RUN_BUTTON)));
    EXPECT_EQ(Text(dialog, IDC_STATUS), L"Готово к запуску");
    EXPECT_EQ(Text(dialog, IDC_CONFIGURATION),
              L"8192 x 8192   \u00B7   FP16   \u00B7   20 прогревочных операций   \u00B7   5 серий по 50 умножений");
    EXPECT_TRUE(services.taskDialogs.empty());

    DestroyWindow(dialog);
    Pump();
    app.reset();
}

}  // namespace

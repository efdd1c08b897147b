// The real main window under scripted discovery and backends: start-up, runs, language,
// selections, layout and painting.
#include <windows.h>
#include <commctrl.h>
#include <dwmapi.h>
#include <objbase.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "dml/directml_run.h"
#include "presentation/chart_model.h"
#include "presentation/control_texts.h"
#include "resources/resource.h"
#include "tests/ui/scripted_services.h"
#include "ui/app.h"
#include "ui/program.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::uint64_t kGiB = 1ull << 30;

GpuTarget CudaTarget(int ordinal, const char* name, std::uint64_t memory, std::uint32_t board) {
    GpuTarget target;
    target.cudaOrdinal = ordinal;
    target.name = name;
    target.dedicatedMemoryBytes = memory;
    target.boardVendorId = board;
    return target;
}

GpuTarget DirectMlTarget(const char* name, std::uint32_t board, DirectMlStatus status, bool integrated,
                         std::uint32_t luidLow) {
    GpuTarget target;
    target.name = name;
    target.boardVendorId = board;
    target.backend = BackendKind::DirectMl;
    target.adapterLuid = {luidLow, 0};
    target.dedicatedMemoryBytes = integrated ? 128ull << 20 : 16 * kGiB;
    target.sharedMemoryBytes = 8 * kGiB;
    target.directMlStatus = status;
    target.integrated = integrated;
    return target;
}

CudaComponentsState UsableCuda(int devices) {
    CudaComponentsState state;
    state.requiredVersion = kRequiredCudaVersion;
    state.runtimeVersion = 13050;
    state.driverVersion = 13050;
    state.cublasMajor = 13;
    state.cublasMinor = 1;
    state.deviceCount = devices;
    state.driverStatus = DriverStatus::Installed;
    return state;
}

CudaComponentsState CublasMissing() {
    CudaComponentsState state = UsableCuda(1);
    state.cublasMajor = 0;
    state.cublasMinor = 0;
    state.cublasMissing = true;
    return state;
}

TargetSources Sources(bool nvidia, CudaComponentsState cuda, std::vector<GpuTarget> cudaTargets,
                      std::vector<GpuTarget> directMl) {
    TargetSources sources;
    sources.scanPci = [nvidia] { return PciDisplayScan{nvidia, nvidia}; };
    sources.detectCuda = [cuda](const PciDisplayScan&) { return cuda; };
    sources.enumerateCuda = [cudaTargets](int) { return cudaTargets; };
    sources.findDirectMl = [directMl] { return directMl; };
    return sources;
}

BenchmarkResult ResultOf(double tflops) {
    BenchmarkResult result;
    for (auto& series : result.series) {
        series = {1099.511627776 / tflops, tflops};
    }
    result.median = result.series[0];
    return result;
}

// A backend that reports the warm-up and five series, each after one step of the gate.
ScriptedServices::Backend SteppedBackend(StepGate& gate, double tflops) {
    return [&gate, tflops](std::stop_token stop, const gemm::ProgressCallback& progress) {
        for (int k = 0; k <= 5; ++k) {
            gate.Pass(stop);
            progress(k);
        }
        gate.Pass(stop);
        return ResultOf(tflops);
    };
}

struct Snapshot {
    std::vector<std::wstring> texts;
    std::vector<std::vector<std::wstring>> items;
    std::vector<int> selections;
    std::vector<bool> enabled;
    std::wstring tooltipTitle;
    std::vector<std::wstring> tooltipTexts;

    friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitialiseProcess(); }

    void Open() {
        app = std::make_unique<App>(services);
        hwnd = CreateMainWindow(*app, GetModuleHandleW(nullptr));
        ASSERT_NE(hwnd, nullptr);
        ShowMainWindow(*app, SW_SHOWNORMAL);
        Pump();
    }

    void TearDown() override {
        if (hwnd != nullptr && IsWindow(hwnd)) DestroyWindow(hwnd);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        app.reset();
    }

    // Dispatches the queue until the condition holds; false after the time limit.
    bool PumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (true) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (!IsDialogMessageW(hwnd, &message)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
            }
            if (done()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            Sleep(2);
        }
    }
    void Pump() {
        for (int i = 0; i < 3; ++i) {
            PumpUntil([] { return false; }, 20);
        }
    }

    HWND Control(int id) const { return GetDlgItem(hwnd, id); }
    std::wstring Text(int id) const {
        wchar_t buffer[2048];
        GetDlgItemTextW(hwnd, id, buffer, 2048);
        return buffer;
    }
    std::vector<std::wstring> Items(int id) const {
        std::vector<std::wstring> items;
        const auto count = SendDlgItemMessageW(hwnd, id, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t buffer[512];
            SendDlgItemMessageW(hwnd, id, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
            items.emplace_back(buffer);
        }
        return items;
    }
    int Selection(int id) const { return static_cast<int>(SendDlgItemMessageW(hwnd, id, CB_GETCURSEL, 0, 0)); }
    bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    void Command(int id, int code) {
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Control(id)));
    }
    void Select(int id, int index) {
        SendDlgItemMessageW(hwnd, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        Command(id, CBN_SELCHANGE);
    }
    void SetLanguage(Language language) { Select(IDC_LANGUAGE_COMBO, static_cast<int>(language)); }
    void ClickRun() { Command(IDC_RUN_BUTTON, BN_CLICKED); }
    bool StatusBecomes(const std::wstring& text) {
        return PumpUntil([&] { return Text(IDC_STATUS) == text; });
    }

    RECT ClientRectOf(int id) const {
        RECT rect{};
        GetWindowRect(Control(id), &rect);
        MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    // The frame the user sees: without the invisible resize borders where the system has them.
    RECT VisibleFrame() const {
        RECT frame{};
        if (FAILED(DwmGetWindowAttribute(hwnd, DWMWA_EXTENDED_FRAME_BOUNDS, &frame, sizeof(frame)))) {
            GetWindowRect(hwnd, &frame);
        }
        return frame;
    }
    RECT WorkArea() const {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
        return monitor.rcWork;
    }

    // The whole window lies inside the work area; every shown control inside the client area,
    // none over another; the charts keep a readable height.
    void ExpectInsideTheWorkAreaWithEveryControlVisible() const {
        const RECT frame = VisibleFrame();
        const RECT work = WorkArea();
        EXPECT_TRUE(frame.left >= work.left && frame.top >= work.top && frame.right <= work.right &&
                    frame.bottom <= work.bottom)
            << frame.left << "," << frame.top << "," << frame.right << "," << frame.bottom << " in " << work.right
            << " x " << work.bottom;
        RECT client{};
        GetClientRect(hwnd, &client);
        std::vector<std::pair<int, RECT>> shown;
        for (const LayoutEntry& entry : app->layout) {
            const int id = entry.controlId;
            if (id == IDC_HEADER_BAND || id == IDC_SETTINGS_CARD || id == IDC_FOOTER_BAND) continue;
            if (!IsWindowVisible(Control(id))) continue;
            const RECT r = ClientRectOf(id);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom &&
                        r.left < r.right && r.top < r.bottom)
                << id << " at " << r.left << "," << r.top << "," << r.right << "," << r.bottom << " in "
                << client.right << " x " << client.bottom;
            for (const auto& [other, o] : shown) {
                EXPECT_FALSE(r.left < o.right && o.left < r.right && r.top < o.bottom && o.top < r.bottom)
                    << id << " over " << other;
            }
            shown.emplace_back(id, r);
        }
        for (int chart : {IDC_PERFORMANCE_CHART, IDC_TIME_CHART}) {
            const RECT r = ClientRectOf(chart);
            EXPECT_GE(r.bottom - r.top, MulDiv(kMinimumChartHeight, app->dpi, 96)) << chart;
        }
    }

    // A move onto a monitor of another DPI, with the rectangle the system suggests for it.
    void ChangeDpi(int newDpi) {
        RECT window{};
        GetWindowRect(hwnd, &window);
        RECT suggested{window.left, window.top, window.left + MulDiv(window.right - window.left, newDpi, app->dpi),
                       window.top + MulDiv(window.bottom - window.top, newDpi, app->dpi)};
        SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), reinterpret_cast<LPARAM>(&suggested));
    }

    // The colour on screen at a client point of the dialog.
    COLORREF PixelAt(int x, int y) {
        Pump();
        GdiFlush();
        POINT point{x, y};
        ClientToScreen(hwnd, &point);
        HDC screen = GetDC(nullptr);
        const COLORREF colour = GetPixel(screen, point.x, point.y);
        ReleaseDC(nullptr, screen);
        return colour;
    }
    COLORREF PixelInControl(int id, int x, int y) {
        const RECT rect = ClientRectOf(id);
        return PixelAt(rect.left + x, rect.top + y);
    }

    std::wstring TooltipText(int id) const {
        std::wstring buffer(4096, L'\0');
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = Control(id);
        tool.uId = static_cast<UINT_PTR>(id);
        tool.lpszText = buffer.data();
        SendMessageW(app->tooltip, TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&tool));
        return buffer.c_str();
    }
    // The tooltip cannot be asked for its title everywhere, so the title it is given is watched.
    static LRESULT CALLBACK WatchTitle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
        if (message == TTM_SETTITLEW) {
            *reinterpret_cast<std::wstring*>(data) =
                std::to_wstring(wParam) + L" " + reinterpret_cast<const wchar_t*>(lParam);
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }
    void WatchTooltipTitle() {
        ASSERT_TRUE(SetWindowSubclass(app->tooltip, WatchTitle, 1, reinterpret_cast<DWORD_PTR>(&tooltipTitle)));
    }
    std::wstring TooltipTitle() const { return tooltipTitle; }

    Snapshot Take() const {
        Snapshot snapshot;
        for (int id = IDC_TARGET_COMBO; id <= IDC_CUDA_BUTTON; ++id) {
            snapshot.texts.push_back(Text(id));
            snapshot.enabled.push_back(Enabled(id));
        }
        for (int id : {IDC_TARGET_COMBO, IDC_REFERENCE_COMBO, IDC_FILTER_COMBO, IDC_LANGUAGE_COMBO}) {
            snapshot.items.push_back(Items(id));
            snapshot.selections.push_back(Selection(id));
        }
        snapshot.tooltipTitle = TooltipTitle();
        snapshot.tooltipTexts = {TooltipText(IDC_TITLE), TooltipText(IDC_SUBTITLE)};
        return snapshot;
    }

    ScriptedServices services;
    std::wstring tooltipTitle;
    std::unique_ptr<App> app;
    HWND hwnd = nullptr;
};

const wchar_t kRussianIntegratedLabel[] =
    L"8192 x 8192   \u00B7   FP16   \u00B7   2 прогревочных умножения   \u00B7   5 серий по 4 умножения";
const wchar_t kRussianDefaultLabel[] =
    L"8192 x 8192   \u00B7   FP16   \u00B7   20 прогревочных операций   \u00B7   5 серий по 50 умножений";

TEST_F(WindowTest, StartsWithoutAnyCard) {
    services.sources = Sources(false, {}, {}, {});
    Open();
    wchar_t caption[64];
    GetWindowTextW(hwnd, caption, 64);
    EXPECT_STREQ(caption, L"Mivaro 1.25");
    EXPECT_EQ(Text(IDC_TITLE), L"Mivaro");
    EXPECT_THAT(Items(IDC_TARGET_COMBO), ElementsAre(L"Совместимые видеокарты не найдены"));
    EXPECT_EQ(Selection(IDC_TARGET_COMBO), 0);
    EXPECT_FALSE(Enabled(IDC_TARGET_COMBO));
    EXPECT_FALSE(Enabled(IDC_RUN_BUTTON));
    EXPECT_EQ(Text(IDC_STATUS), L"Требуется NVIDIA с CUDA или AMD/Intel с DirectML и FP16.");
    EXPECT_EQ(Text(IDC_CONFIGURATION), kRussianDefaultLabel);
    EXPECT_FALSE(IsWindowVisible(Control(IDC_CUDA_BUTTON)));
    EXPECT_TRUE(services.taskDialogs.empty());
    // Initial selections: first reference row, both measurements, Russian.
    EXPECT_EQ(Selection(IDC_REFERENCE_COMBO), 1);
    EXPECT_EQ(Selection(IDC_FILTER_COMBO), 0);
    EXPECT_TRUE(Enabled(IDC_FILTER_COMBO));
    EXPECT_THAT(Items(IDC_LANGUAGE_COMBO), ElementsAre(L"Русский", L"English"));
    EXPECT_EQ(Selection(IDC_LANGUAGE_COMBO), 0);

    SetLanguage(Language::English);
    EXPECT_THAT(Items(IDC_TARGET_COMBO), ElementsAre(L"No compatible graphics cards found"));
    EXPECT_EQ(Text(IDC_STATUS), L"A CUDA-capable NVIDIA GPU or an AMD/Intel GPU with DirectML FP16 support is required.");
    // Nothing to run: the button does nothing even when its command arrives.
    ClickRun();
    EXPECT_TRUE(services.Calls().empty());
    EXPECT_FALSE(app->running);
}

TEST_F(WindowTest, ControlsFollowTheTemplateInOrderStyleAndClass) {
    services.sources = Sources(true, UsableCuda(0), {}, {});
    Open();
    struct Expected {
        int id;
        const wchar_t* className;
        LONG style;
    };
    // Set-up makes the charts owner-drawn and lets the two tool labels notify.
    const Expected expected[] = {
        {IDC_HEADER_BAND, L"Button", 0x40000007},        {IDC_SETTINGS_CARD, L"Button", 0x40000007},
        {IDC_FOOTER_BAND, L"Button", 0x40000007},        {IDC_TITLE, L"Static", 0x50024380},
        {IDC_LANGUAGE_COMBO, L"ComboBox", 0x50210203},   {IDC_SUBTITLE, L"Static", 0x50024380},
        {IDC_CREDIT, L"Static", 0x50024282},             {IDC_TARGET_LABEL, L"Static", 0x50024280},
        {IDC_TARGET_COMBO, L"ComboBox", 0x50210203},     {IDC_REFERENCE_LABEL, L"Static", 0x50024280},
        {IDC_REFERENCE_COMBO, L"ComboBox", 0x50210203},  {IDC_FILTER_LABEL, L"Static", 0x50024280},
        {IDC_FILTER_COMBO, L"ComboBox", 0x50210203},     {IDC_RUN_BUTTON, L"Button", 0x5001000B},
        {IDC_CONFIGURATION, L"Static", 0x50024280},      {IDC_CUDA_BUTTON, L"Button", 0x5001000B},
        {IDC_PERFORMANCE_CHART, L"Static", 0x5002028D},  {IDC_TIME_CHART, L"Static", 0x5002028D},
        {IDC_STATUS, L"Static", 0x50024280},             {IDC_COMPARISON, L"Static", 0x50024280},
    };
    HWND child = GetWindow(hwnd, GW_CHILD);
    for (const Expected& control : expected) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), control.id);
        wchar_t className[64];
        GetClassNameW(child, className, 64);
        EXPECT_EQ(_wcsicmp(className, control.className), 0) << control.id;
        // Without a card the target list and the run button are disabled; a combo box hands
        // its WS_VSCROLL on to its list.
        const LONG ignored = WS_DISABLED | (control.className[0] == L'C' ? WS_VSCROLL : 0);
        EXPECT_EQ(GetWindowLongW(child, GWL_STYLE) & ~ignored, control.style & ~ignored) << control.id;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_EXSTYLE) & 0x00050000, 0x00050000);
    // The dialog manager adds DS_3DLOOK; showing adds WS_VISIBLE.
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK), static_cast<LONG>(0x82CF0840));
}

TEST_F(WindowTest, StartsWithTwoCudaDevicesAndAnIntegratedIntelGpu) {
    services.sources = Sources(true, UsableCuda(2),
                               {CudaTarget(0, "NVIDIA GeForce RTX 4090", 25757220864ull, 0x1043),
                                CudaTarget(1, "NVIDIA GeForce RTX 4060", 8 * kGiB, 0)},
                               {DirectMlTarget("Intel(R) UHD Graphics", 0x8086, DirectMlStatus::Ready, true, 7)});
    Open();
    const auto items = Items(IDC_TARGET_COMBO);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], L"ASUS GeForce RTX 4090 \u00B7 cuBLAS \u00B7 24,0 ГиБ");
    EXPECT_EQ(Selection(IDC_TARGET_COMBO), 0);
    EXPECT_TRUE(Enabled(IDC_TARGET_COMBO));
    EXPECT_TRUE(Enabled(IDC_RUN_BUTTON));
    EXPECT_EQ(Text(IDC_STATUS), L"Готово к запуску");
    EXPECT_EQ(Text(IDC_CUDA_BUTTON), L"CUDA 13.5\u2026");
    EXPECT_TRUE(services.taskDialogs.empty());

    Select(IDC_TARGET_COMBO, 2);
    EXPECT_EQ(Text(IDC_CONFIGURATION), kRussianIntegratedLabel);
    Select(IDC_TARGET_COMBO, 1);
    EXPECT_EQ(Text(IDC_CONFIGURATION), kRussianDefaultLabel);

    SetLanguage(Language::English);
    EXPECT_EQ(Items(IDC_TARGET_COMBO)[0], L"ASUS GeForce RTX 4090 \u00B7 cuBLAS \u00B7 24.0 GiB");
    EXPECT_EQ(Text(IDC_CUDA_BUTTON), L"CUDA 13.5\u2026");  // the language switch keeps the version caption

    // The CUDA components button opens the status dialog with Close only.
    Command(IDC_CUDA_BUTTON, BN_CLICKED);
    ASSERT_EQ(services.taskDialogs.size(), 1u);
    EXPECT_EQ(services.taskDialogs[0].mainInstruction, L"CUDA status");
    EXPECT_FALSE(services.taskDialogs[0].warningIcon);
    EXPECT_THAT(services.taskDialogs[0].buttons, ElementsAre(std::pair<int, std::wstring>{2, L"Close"}));
    EXPECT_TRUE(services.openedPages.empty());
}

TEST_F(WindowTest, MissingCublasWithAReadyAmdCardStaysQuiet) {
    services.sources = Sources(true, CublasMissing(), {},
                               {DirectMlTarget("AMD Radeon RX 7800 XT", 0x1002, DirectMlStatus::Ready, false, 9)});
    Open();
    EXPECT_EQ(Items(IDC_TARGET_COMBO).size(), 1u);
    EXPECT_EQ(Selection(IDC_TARGET_COMBO), 0);
    EXPECT_EQ(Text(IDC_STATUS), L"Готово к запуску");
    EXPECT_TRUE(services.taskDialogs.empty());
    EXPECT_TRUE(IsWindowVisible(Control(IDC_CUDA_BUTTON)));
    EXPECT_EQ(Text(IDC_CUDA_BUTTON), L"Компоненты CUDA...");
}

TEST_F(WindowTest, MissingCublasAloneExplainsItselfAfterTheWindowIsShown) {
    services.sources = Sources(true, CublasMissing(), {}, {});
    services.pressedButton = 101;
    Open();
    EXPECT_EQ(Text(IDC_STATUS), L"Нужны библиотеки CUDA. Подробнее в «Компоненты CUDA».");
    ASSERT_EQ(services.taskDialogs.size(), 1u);
    const RecordedTaskDialog& dialog = services.taskDialogs[0];
    EXPECT_TRUE(dialog.ownerVisible);
    EXPECT_EQ(dialog.title, L"Mivaro");
    EXPECT_EQ(dialog.mainInstruction, L"Для теста нужны компоненты CUDA");
    EXPECT_TRUE(dialog.warningIcon);
    EXPECT_EQ(dialog.flags, static_cast<TASKDIALOG_FLAGS>(0x1008));
    EXPECT_EQ(dialog.defaultButton, 2);
    EXPECT_THAT(dialog.buttons, ElementsAre(std::pair<int, std::wstring>{101, L"Загрузить CUDA Toolkit"},
                                            std::pair<int, std::wstring>{2, L"Закрыть"}));
    EXPECT_THAT(dialog.content, HasSubstr(L"Загрузите CUDA Toolkit версии 13.5 для Windows x64."));
    ASSERT_EQ(services.openedPages.size(), 1u);
    EXPECT_THAT(services.openedPages[0], HasSubstr(L"/cuda-13-5-0-download-archive?target_os=Windows&target_arch=x86_64"));
}

TEST_F(WindowTest, ABrowserThatDoesNotOpenLeavesTheAddressInAMessageBox) {
    CudaComponentsState state = CublasMissing();
    state.driverStatus = DriverStatus::NeedsUpdate;
    services.sources = Sources(true, state, {},
                               {DirectMlTarget("AMD Radeon RX 7800 XT", 0x1002, DirectMlStatus::Ready, false, 9)});
    Open();
    SetLanguage(Language::English);
    services.pressedButton = 100;
    services.browserOpens = false;
    // The message box is modal: another thread reads it and closes it.
    std::wstring shownText;
    std::jthread closer([&shownText](std::stop_token stop) {
        while (!stop.stop_requested()) {
            if (HWND box = FindWindowW(L"#32770", L"Open the NVIDIA page in a browser")) {
                wchar_t text[512] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 512);  // the message box's text control
                shownText = text;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(20);
        }
    });
    Command(IDC_CUDA_BUTTON, BN_CLICKED);
    closer.join();
    ASSERT_EQ(services.taskDialogs.size(), 1u);
    EXPECT_THAT(services.taskDialogs[0].buttons,
                ElementsAre(std::pair<int, std::wstring>{100, L"Download NVIDIA driver"},
                            std::pair<int, std::wstring>{101, L"Download CUDA Toolkit"},
                            std::pair<int, std::wstring>{2, L"Close"}));
    ASSERT_EQ(services.openedPages.size(), 1u);
    EXPECT_THAT(services.openedPages[0], HasSubstr(L"/en-us/drivers/"));
    EXPECT_EQ(shownText, services.openedPages[0]);
}

TEST_F(WindowTest, OnlyUnreadyDirectMlCardsShowTheirMessages) {
    services.sources =
        Sources(false, {}, {},
                {DirectMlTarget("AMD Radeon RX 580", 0x1002, DirectMlStatus::NoFp16, false, 3),
                 DirectMlTarget("Intel(R) HD Graphics", 0x8086, DirectMlStatus::NoDirectMl, true, 4)});
    Open();
    EXPECT_EQ(Selection(IDC_TARGET_COMBO), 0);
    EXPECT_EQ(Text(IDC_STATUS), L"На этой видеокарте DirectML не поддерживает тензоры FP16.");
    EXPECT_TRUE(Enabled(IDC_TARGET_COMBO));
    EXPECT_FALSE(Enabled(IDC_RUN_BUTTON));
    EXPECT_TRUE(services.taskDialogs.empty());
    ClickRun();  // refused: the card is not ready
    EXPECT_FALSE(app->running);
    EXPECT_TRUE(services.Calls().empty());
    EXPECT_EQ(Text(IDC_STATUS), L"На этой видеокарте DirectML не поддерживает тензоры FP16.");

    Select(IDC_TARGET_COMBO, 1);
    EXPECT_EQ(Text(IDC_STATUS), L"DirectML недоступен. Проверьте обновления Windows и драйвер видеокарты.");
    EXPECT_EQ(Text(IDC_CONFIGURATION), kRussianIntegratedLabel);
}

class RunTest : public WindowTest {
protected:
    void OpenWithCards() {
        services.sources = Sources(true, UsableCuda(1), {CudaTarget(0, "NVIDIA GeForce RTX 4080 SUPER", 16 * kGiB, 0x1043)},
                                   {DirectMlTarget("AMD Radeon RX 7800 XT", 0x1002, DirectMlStatus::Ready, false, 11)});
        Open();
    }
    StepGate gate;
};

TEST_F(RunTest, AWholeRunReportsEachStepAndShowsItsResult) {
    services.backend = SteppedBackend(gate, 120.0);
    OpenWithCards();
    SetLanguage(Language::English);
    Select(IDC_REFERENCE_COMBO, 3);  // ASUS GeForce RTX 4080 SUPER
    Select(IDC_TARGET_COMBO, 1);     // the AMD card, through DirectML

    ClickRun();
    EXPECT_TRUE(app->running);
    EXPECT_EQ(Text(IDC_STATUS), L"Preparing matrices\u2026");
    EXPECT_FALSE(Enabled(IDC_RUN_BUTTON));
    EXPECT_FALSE(Enabled(IDC_TARGET_COMBO));
    EXPECT_TRUE(Enabled(IDC_REFERENCE_COMBO));
    gate.Allow();
    EXPECT_TRUE(StatusBecomes(L"Warming up the GPU\u2026"));
    for (int k = 1; k <= 5; ++k) {
        gate.Allow();
        EXPECT_TRUE(StatusBecomes(L"Measured " + std::to_wstring(k) + L" of 5 series"));
        EXPECT_FALSE(Enabled(IDC_RUN_BUTTON));
    }
    gate.Allow();
    EXPECT_TRUE(StatusBecomes(L"Benchmark complete. Numerical validation passed."));
    EXPECT_FALSE(app->running);
    EXPECT_TRUE(app->hasResult);
    EXPECT_FALSE(app->worker.joinable());
    EXPECT_TRUE(Enabled(IDC_RUN_BUTTON));
    EXPECT_TRUE(Enabled(IDC_TARGET_COMBO));
    EXPECT_EQ(Text(IDC_COMPARISON),
              L"Reference \u00B7 RTX 4080 SUPER \u00B7 Windows \u00B7 CUDA 13.4   |   vs. before: +14.9%   |   vs. after: -23.8%");
    const auto calls = services.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].backend, BackendKind::DirectMl);
    EXPECT_EQ(calls[0].adapterLuid, (AdapterLuid{11, 0}));

    // A reference change keeps the result; a target change discards it.
    SetLanguage(Language::Russian);
    EXPECT_EQ(Text(IDC_COMPARISON),
              L"Эталон \u00B7 RTX 4080 SUPER \u00B7 Windows \u00B7 CUDA 13.4   |   к замеру до: +14,9%   |   к замеру после: -23,8%");
    Select(IDC_FILTER_COMBO, 2);
    EXPECT_EQ(Text(IDC_COMPARISON), L"Эталон \u00B7 RTX 4080 SUPER \u00B7 Windows \u00B7 CUDA 13.4   |   к замеру после: -23,8%");
    Select(IDC_TARGET_COMBO, 0);
    EXPECT_FALSE(app->hasResult);
    EXPECT_EQ(Text(IDC_COMPARISON), L"Эталон \u00B7 RTX 4080 SUPER \u00B7 Windows \u00B7 CUDA 13.4");

    // A second run reuses the worker slot and goes to the CUDA card.
    ClickRun();
    gate.Allow(7);
    EXPECT_TRUE(StatusBecomes(L"Тест завершён. Численная проверка пройдена."));
    ASSERT_EQ(services.Calls().size(), 2u);
    EXPECT_EQ(services.Calls()[1].backend, BackendKind::Cuda);
    EXPECT_EQ(services.Calls()[1].cudaOrdinal, 0);
}

TEST_F(RunTest, AFailingRunShowsTheErrorAndNoResult) {
    services.backend = [](std::stop_token, const gemm::ProgressCallback& progress) -> BenchmarkResult {
        progress(0);
        throw std::runtime_error("Invalid GPU timing");
    };
    OpenWithCards();
    SetLanguage(Language::English);
    ClickRun();
    EXPECT_TRUE(StatusBecomes(L"Benchmark error: Invalid GPU timing"));
    EXPECT_FALSE(app->hasResult);
    EXPECT_TRUE(Enabled(IDC_RUN_BUTTON));
    EXPECT_EQ(Text(IDC_COMPARISON),
              L"Reference \u00B7 RTX 4060 \u00B7 Gentoo \u00B7 PyTorch 2.12.1 / CUDA 13.0   |   +69.1% between reference measurements");
    SetLanguage(Language::Russian);
    EXPECT_EQ(Text(IDC_STATUS), L"Ошибка теста: Invalid GPU timing");

    services.backend = [](std::stop_token, const gemm::ProgressCallback&) -> BenchmarkResult {
        throw std::runtime_error("");
    };
    ClickRun();
    EXPECT_TRUE(StatusBecomes(L"Ошибка теста: "));

    // A card whose earlier run left its objects behind: the refusal is the whole message.
    services.backend = [](std::stop_token, const gemm::ProgressCallback&) -> BenchmarkResult {
        throw gemm::AdapterNeedsRestart();
    };
    ClickRun();
    EXPECT_TRUE(StatusBecomes(gemm::AdapterNeedsRestartMessage().ru));
    SetLanguage(Language::English);
    EXPECT_EQ(Text(IDC_STATUS), L"An earlier run on this graphics card could not be finished. Restart the program to "
                                L"test it again.");
}

TEST_F(RunTest, StartIsRefusedWhileARunIsInProgress) {
    services.backend = SteppedBackend(gate, 50.0);
    OpenWithCards();
    ClickRun();
    ClickRun();
    ClickRun();
    gate.Allow(7);
    EXPECT_TRUE(PumpUntil([&] { return !app->running; }));
    EXPECT_EQ(services.Calls().size(), 1u);
    // Notifications other than a click are not the run button's business.
    Command(IDC_RUN_BUTTON, BN_DOUBLECLICKED);
    EXPECT_FALSE(app->running);
    EXPECT_EQ(services.Calls().size(), 1u);
}

class CloseDuringRunTest : public RunTest, public ::testing::WithParamInterface<int> {};

TEST_P(CloseDuringRunTest, StopsAndJoinsTheWorkerAndEndsTheLoopWithZero) {
    services.backend = SteppedBackend(gate, 50.0);
    OpenWithCards();
    ClickRun();
    gate.Allow();
    EXPECT_TRUE(StatusBecomes(L"Прогрев видеокарты\u2026"));
    switch (GetParam()) {
        case 0:
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            break;
        case 1:  // Escape, turned into IDCANCEL by the dialog manager
            PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        default:  // the close box
            PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
    const auto start = std::chrono::steady_clock::now();
    const int exitCode = RunMessageLoop(hwnd);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(exitCode, 0);
    // Hiding a window under Wine without a window manager waits 2 s for the withdrawal.
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(gate.StopSeen());
    EXPECT_FALSE(app->worker.joinable());
    EXPECT_EQ(app->published.status.en, L"Benchmark stopped");
}

INSTANTIATE_TEST_SUITE_P(CloseKinds, CloseDuringRunTest, ::testing::Values(0, 1, 2));

// Real input through the system's queue, which follows the focus rules that posted messages bypass.
void ClickAt(POINT screen) {
    INPUT inputs[3] = {};
    inputs[0].type = inputs[1].type = inputs[2].type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 across the primary screen.
    inputs[0].mi.dx = MulDiv(screen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    inputs[0].mi.dy = MulDiv(screen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}
void PressKey(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

TEST_F(RunTest, KeyboardKeepsWorkingThroughARunStartedByAMouseClick) {
    services.backend = SteppedBackend(gate, 50.0);
    OpenWithCards();
    ASSERT_TRUE(SetForegroundWindow(hwnd));
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == hwnd; }));
    const RECT run = ClientRectOf(IDC_RUN_BUTTON);
    POINT centre{(run.left + run.right) / 2, (run.top + run.bottom) / 2};
    ClientToScreen(hwnd, &centre);
    auto focusedId = [] { return GetFocus() != nullptr ? GetDlgCtrlID(GetFocus()) : 0; };

    // The clicked run button is disabled by the run: the focus moves on to an enabled control
    // and comes back when the run ends.
    ClickAt(centre);
    ASSERT_TRUE(PumpUntil([&] { return app->running; }));
    const int parked = focusedId();
    EXPECT_NE(parked, 0);
    EXPECT_NE(parked, IDC_RUN_BUTTON);
    EXPECT_TRUE(Enabled(parked)) << parked;
    gate.Allow(7);
    ASSERT_TRUE(PumpUntil([&] { return !app->running; }));
    EXPECT_EQ(focusedId(), IDC_RUN_BUTTON);

    // During the next run Tab moves through enabled controls, and Escape closes the program.
    // (Away from the first click, which a quick second one would make a double click.)
    ClickAt({centre.x - 2 * GetSystemMetrics(SM_CXDOUBLECLK), centre.y});
    ASSERT_TRUE(PumpUntil([&] { return app->running; }));
    PressKey(VK_TAB);
    EXPECT_TRUE(PumpUntil([&] { return focusedId() != parked; }));
    EXPECT_NE(focusedId(), 0);
    EXPECT_TRUE(Enabled(focusedId())) << focusedId();
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_TRUE(gate.StopSeen());
}

// Without an NVIDIA card the CUDA components button is hidden, so the focus that a clicked run
// button hands on wraps around to the language list.
class BackgroundRunTest : public RunTest {
protected:
    void StartRunWithAClick() {
        services.backend = SteppedBackend(gate, 50.0);
        services.sources = Sources(false, {}, {},
                                   {DirectMlTarget("AMD Radeon RX 7800 XT", 0x1002, DirectMlStatus::Ready, false, 11)});
        Open();
        ASSERT_TRUE(SetForegroundWindow(hwnd));
        ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == hwnd; }));
        const RECT run = ClientRectOf(IDC_RUN_BUTTON);
        ClickAt(ScreenPoint((run.left + run.right) / 2, (run.top + run.bottom) / 2));
        ASSERT_TRUE(PumpUntil([&] { return app->running; }));
        ASSERT_EQ(GetFocus(), Control(IDC_LANGUAGE_COMBO));
    }
    POINT ScreenPoint(int x, int y) const {
        POINT point{x, y};
        ClientToScreen(hwnd, &point);
        return point;
    }
};

TEST_F(BackgroundRunTest, TheRunButtonGetsTheFocusBackWhenTheWindowIsNextActivated) {
    StartRunWithAClick();
    // The user switches to another program's window while the run goes on.
    HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(SetForegroundWindow(other));
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == other; }));
    gate.Allow(7);
    ASSERT_TRUE(PumpUntil([&] { return !app->running; }));
    EXPECT_NE(GetFocus(), Control(IDC_RUN_BUTTON));  // nothing is taken from the active window

    // Back with a click on the window's own surface, between the two charts.
    const RECT first = ClientRectOf(IDC_PERFORMANCE_CHART);
    const RECT second = ClientRectOf(IDC_TIME_CHART);
    ClickAt(ScreenPoint((first.left + first.right) / 2, (first.bottom + second.top) / 2));
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == hwnd && GetFocus() == Control(IDC_RUN_BUTTON); }));
    DestroyWindow(other);
}

TEST_F(BackgroundRunTest, AListTheUserOpenedStaysOpenWhenTheRunEnds) {
    StartRunWithAClick();
    PressKey(VK_F4);  // opens the list of the language combo box, which has the focus
    HWND language = Control(IDC_LANGUAGE_COMBO);
    ASSERT_TRUE(PumpUntil([&] { return SendMessageW(language, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }));
    gate.Allow(7);
    ASSERT_TRUE(PumpUntil([&] { return !app->running; }));
    Pump();
    EXPECT_TRUE(SendMessageW(language, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(GetFocus(), language);
    PressKey(VK_ESCAPE);  // closes the list, not the window
    EXPECT_TRUE(PumpUntil([&] { return SendMessageW(language, CB_GETDROPPEDSTATE, 0, 0) == FALSE; }));
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowTest, TheProgramGivesTheShellAComApartmentAndTheWindowIconsOfTheirOwnSize) {
    CudaComponentsState state = CublasMissing();
    services.sources = Sources(true, state, {}, {});
    services.pressedButton = 101;  // opens the CUDA page at start-up
    struct Seen {
        APTTYPE apartment = APTTYPE_CURRENT;
        SIZE largeIcon{};
        SIZE smallIcon{};
        HICON smallHandle = nullptr;
    } seen;
    auto iconSize = [](HWND window, WPARAM kind) {
        ICONINFO info{};
        BITMAP bitmap{};
        if (!GetIconInfo(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, kind, 0)), &info)) return SIZE{};
        GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return SIZE{bitmap.bmWidth, bitmap.bmHeight};
    };
    services.onOpenWebPage = [&](HWND owner) {
        APTTYPEQUALIFIER qualifier{};
        if (FAILED(CoGetApartmentType(&seen.apartment, &qualifier))) seen.apartment = APTTYPE_CURRENT;
        seen.largeIcon = iconSize(owner, ICON_BIG);
        seen.smallIcon = iconSize(owner, ICON_SMALL);
        seen.smallHandle = reinterpret_cast<HICON>(SendMessageW(owner, WM_GETICON, ICON_SMALL, 0));
        PostMessageW(owner, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(RunProgram(GetModuleHandleW(nullptr), SW_SHOWNORMAL, services), 0);
    ASSERT_EQ(services.openedPages.size(), 1u);
    EXPECT_TRUE(seen.apartment == APTTYPE_MAINSTA || seen.apartment == APTTYPE_STA) << seen.apartment;
    const UINT dpi = GetDpiForSystem();
    EXPECT_EQ(seen.largeIcon.cx, GetSystemMetricsForDpi(SM_CXICON, dpi));
    EXPECT_EQ(seen.smallIcon.cx, GetSystemMetricsForDpi(SM_CXSMICON, dpi));
    EXPECT_EQ(seen.smallIcon.cy, GetSystemMetricsForDpi(SM_CYSMICON, dpi));
    // Not the system's shared copy, which on Windows is whichever size was loaded first (Wine
    // keeps one per size, so only the handle tells).
    EXPECT_NE(seen.smallHandle, LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MIVARO), IMAGE_ICON,
                                           GetSystemMetricsForDpi(SM_CXSMICON, dpi),
                                           GetSystemMetricsForDpi(SM_CYSMICON, dpi), LR_SHARED));
    APTTYPE apartment{};
    APTTYPEQUALIFIER qualifier{};
    EXPECT_EQ(CoGetApartmentType(&apartment, &qualifier), CO_E_NOTINITIALIZED);  // released at exit
}

// Under Wine the input method initialises COM on any thread with windows, so the whole-program
// test above cannot tell whether the program did; here a thread without windows shows it.
TEST(ComApartment, MakesTheThreadApartmentThreadedForItsLifetime) {
    std::thread([] {
        APTTYPE apartment{};
        APTTYPEQUALIFIER qualifier{};
        {
            const ComApartment com;
            ASSERT_EQ(CoGetApartmentType(&apartment, &qualifier), S_OK);
            EXPECT_TRUE(apartment == APTTYPE_MAINSTA || apartment == APTTYPE_STA) << apartment;
        }
        EXPECT_EQ(CoGetApartmentType(&apartment, &qualifier), CO_E_NOTINITIALIZED);
    }).join();
}

TEST(StartupFailure, TheMessageBoxOutlivesTheQuitMessageOfTheDestroyedWindow) {
    std::wstring shownText;
    std::jthread closer([&shownText](std::stop_token stop) {
        while (!stop.stop_requested()) {
            if (HWND box = FindWindowW(L"#32770", kMessageBoxCaption)) {
                Sleep(300);  // a box that a quit message ends is gone by now
                wchar_t text[256] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 256);
                shownText = text;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    });
    PostQuitMessage(0);
    ReportStartupFailure();
    closer.request_stop();
    closer.join();
    EXPECT_EQ(shownText, kWindowCreationFailedText);
}

TEST_F(WindowTest, LanguageSwitchAndBackRestoresEverything) {
    services.sources = Sources(true, UsableCuda(1), {CudaTarget(0, "NVIDIA GeForce RTX 4090", 24 * kGiB, 0x1043)},
                               {DirectMlTarget("Intel(R) UHD Graphics", 0x8086, DirectMlStatus::Ready, true, 5)});
    Open();
    ASSERT_NE(app->tooltip, nullptr);
    WatchTooltipTitle();
    Select(IDC_TARGET_COMBO, 1);
    Select(IDC_REFERENCE_COMBO, 5);
    Select(IDC_FILTER_COMBO, 2);  // After removing limits
    Snapshot russian = Take();
    russian.tooltipTitle = L"1 Методика тестирования FP16 GEMM";  // set at start-up, with the info icon
    EXPECT_THAT(russian.tooltipTexts[0], HasSubstr(L"На выбранной видеокарте вычисляется C = A \u00D7 B."));

    SetLanguage(Language::English);
    for (const ControlText& entry : BuiltInControlTexts()) {
        const std::wstring expected = entry.controlId == IDC_CONFIGURATION
                                          ? L"8192 x 8192   \u00B7   FP16   \u00B7   2 warm-up multiplications   \u00B7   5 series of 4 multiplications"
                                          : entry.controlId == IDC_CUDA_BUTTON ? L"CUDA 13.5\u2026" : entry.text.en;
        EXPECT_EQ(Text(entry.controlId), expected) << entry.controlId;
    }
    EXPECT_EQ(Text(IDC_STATUS), L"Ready to run");
    EXPECT_EQ(Selection(IDC_FILTER_COMBO), 2);
    EXPECT_EQ(Items(IDC_FILTER_COMBO)[2], L"After removing limits");
    EXPECT_EQ(TooltipTitle(), L"1 Mivaro methodology");
    EXPECT_THAT(TooltipText(IDC_SUBTITLE), HasSubstr(L"The selected graphics card computes C = A \u00D7 B."));
    EXPECT_EQ(Text(IDC_TITLE), L"Mivaro");
    EXPECT_EQ(Text(IDC_CREDIT), kCreditText);

    SetLanguage(Language::Russian);
    EXPECT_EQ(Take(), russian);
}

TEST_F(WindowTest, MethodologyToolsCoverOnlyTheLabelTexts) {
    services.sources = Sources(false, {}, {}, {});
    Open();
    ASSERT_NE(app->tooltip, nullptr);
    for (int id : {IDC_TITLE, IDC_SUBTITLE}) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = Control(id);
        tool.uId = static_cast<UINT_PTR>(id);
        ASSERT_TRUE(SendMessageW(app->tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
        RECT client{};
        GetClientRect(Control(id), &client);
        EXPECT_GT(tool.rect.right, 3) << id;
        EXPECT_LT(tool.rect.right, client.right / 2) << id;  // the texts fill less than half the labels
        EXPECT_EQ(tool.rect.bottom, client.bottom) << id;
        EXPECT_TRUE(GetWindowLongW(Control(id), GWL_STYLE) & SS_NOTIFY) << id;
    }
    EXPECT_EQ(SendMessageW(app->tooltip, TTM_GETMAXTIPWIDTH, 0, 0), 550);
    EXPECT_EQ(SendMessageW(app->tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 450);
    EXPECT_EQ(SendMessageW(app->tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 30000);
}

TEST_F(WindowTest, ChartFilterListFollowsTheReferenceRow) {
    services.sources = Sources(false, {}, {}, {});
    Open();
    for (int row : {2, 4}) {  // rows 1 and 3 have no after measurement
        Select(IDC_FILTER_COMBO, 2);
        Select(IDC_REFERENCE_COMBO, row);
        EXPECT_THAT(Items(IDC_FILTER_COMBO), ElementsAre(L"До снятия ограничений")) << row;
        EXPECT_EQ(Selection(IDC_FILTER_COMBO), 0);
        EXPECT_FALSE(Enabled(IDC_FILTER_COMBO));
        Select(IDC_REFERENCE_COMBO, 1);  // back to a row with both: starts again at "Both"
        EXPECT_THAT(Items(IDC_FILTER_COMBO),
                    ElementsAre(L"Оба замера", L"До снятия ограничений", L"После снятия ограничений"));
        EXPECT_EQ(Selection(IDC_FILTER_COMBO), 0);
        EXPECT_TRUE(Enabled(IDC_FILTER_COMBO));
    }
    Select(IDC_FILTER_COMBO, 1);
    Select(IDC_REFERENCE_COMBO, 0);  // No reference: three items, kept selection, disabled
    EXPECT_EQ(Items(IDC_FILTER_COMBO).size(), 3u);
    EXPECT_EQ(Selection(IDC_FILTER_COMBO), 1);
    EXPECT_FALSE(Enabled(IDC_FILTER_COMBO));
    EXPECT_EQ(Text(IDC_COMPARISON), L"");
}

TEST_F(WindowTest, GrowingTheWindowMovesAndStretchesTheControls) {
    services.sources = Sources(false, {}, {}, {});
    Open();
    std::map<int, RECT> before;
    for (const LayoutEntry& entry : app->layout) before[entry.controlId] = ClientRectOf(entry.controlId);
    RECT window{};
    GetWindowRect(hwnd, &window);
    SetWindowPos(hwnd, nullptr, 0, 0, window.right - window.left + 40, window.bottom - window.top + 101,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(hwnd, &client);
    ASSERT_EQ(client.right, app->initialClient.right + 40);
    ASSERT_EQ(client.bottom, app->initialClient.bottom + 101);
    auto delta = [&](int id) {
        const RECT now = ClientRectOf(id);
        const RECT& old = before[id];
        return std::array<LONG, 4>{now.left - old.left, now.top - old.top, now.right - old.right,
                                   now.bottom - old.bottom};
    };
    using D = std::array<LONG, 4>;
    EXPECT_EQ(delta(IDC_PERFORMANCE_CHART), (D{0, 0, 40, 50}));
    EXPECT_EQ(delta(IDC_TIME_CHART), (D{0, 50, 40, 101}));
    EXPECT_EQ(delta(IDC_STATUS), (D{0, 101, 40, 101}));
    EXPECT_EQ(delta(IDC_COMPARISON), (D{0, 101, 40, 101}));
    EXPECT_EQ(delta(IDC_FOOTER_BAND), (D{0, 101, 40, 101}));
    EXPECT_EQ(delta(IDC_HEADER_BAND), (D{0, 0, 40, 0}));
    EXPECT_EQ(delta(IDC_SETTINGS_CARD), (D{0, 0, 40, 0}));
    EXPECT_EQ(delta(IDC_TARGET_LABEL), (D{0, 0, 40, 0}));
    EXPECT_EQ(delta(IDC_RUN_BUTTON), (D{40, 0, 40, 0}));
    EXPECT_EQ(delta(IDC_CUDA_BUTTON), (D{40, 0, 40, 0}));
    EXPECT_EQ(delta(IDC_CREDIT), (D{40, 0, 40, 0}));
    for (int combo : {IDC_REFERENCE_COMBO, IDC_FILTER_COMBO, IDC_LANGUAGE_COMBO}) {
        EXPECT_EQ(delta(combo)[0], 40) << combo;
        EXPECT_EQ(delta(combo)[1], 0) << combo;
    }
    EXPECT_EQ(delta(IDC_TARGET_COMBO)[2], 40);

    // A minimised window keeps its layout; restoring it lays the controls out again.
    const RECT grown = ClientRectOf(IDC_TIME_CHART);
    ShowWindow(hwnd, SW_MINIMIZE);
    Pump();
    ShowWindow(hwnd, SW_RESTORE);
    Pump();
    const RECT restored = ClientRectOf(IDC_TIME_CHART);
    EXPECT_EQ(restored.top, grown.top);
    EXPECT_EQ(restored.bottom, grown.bottom);

    // The minimum track size keeps at least the designed client less 120 x 78 pixels.
    MINMAXINFO info{};
    SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    RECT minimum{0, 0, app->initialClient.right - 120, app->initialClient.bottom - 78};
    AdjustWindowRectExForDpi(&minimum, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)), 96);
    EXPECT_EQ(info.ptMinTrackSize.x, minimum.right - minimum.left);
    EXPECT_EQ(info.ptMinTrackSize.y, minimum.bottom - minimum.top);
}

TEST_F(WindowTest, MovingTo144DpiRebuildsFontsIconsAndTheLayoutInsideTheWorkArea) {
    services.sources = Sources(false, {}, {}, {});
    Open();
    app->LoadWindowIcons();
    ASSERT_EQ(app->layoutDpi, 96);
    auto fontHeight = [&](int id) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendDlgItemMessageW(hwnd, id, WM_GETFONT, 0, 0)), sizeof(font), &font);
        return font.lfHeight;
    };
    EXPECT_EQ(app->baseFont.lfHeight, -12);
    EXPECT_EQ(fontHeight(IDC_TITLE), -25);
    EXPECT_EQ(fontHeight(IDC_STATUS), -14);
    EXPECT_EQ(fontHeight(IDC_COMPARISON), -12);
    const RECT title = ClientRectOf(IDC_TITLE);
    const RECT chart = ClientRectOf(IDC_PERFORMANCE_CHART);
    const auto icon = [&](WPARAM kind) { return reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, kind, 0)); };
    const HICON oldLarge = icon(ICON_BIG);
    const HICON oldSmall = icon(ICON_SMALL);

    ChangeDpi(144);
    EXPECT_EQ(app->dpi, 144);
    EXPECT_EQ(fontHeight(IDC_TITLE), -38);
    EXPECT_EQ(fontHeight(IDC_STATUS), -21);
    EXPECT_EQ(fontHeight(IDC_COMPARISON), -18);
    LOGFONTW emphasis{};
    GetObjectW(app->fonts.Get(FontRole::Emphasis), sizeof(emphasis), &emphasis);
    EXPECT_EQ(emphasis.lfHeight, -23);
    EXPECT_GE(emphasis.lfWeight, 600);
    // Controls anchored to the top-left corner land on their rectangles scaled by 1.5.
    EXPECT_EQ(ClientRectOf(IDC_TITLE).left, MulDiv(title.left, 3, 2));
    EXPECT_EQ(ClientRectOf(IDC_TITLE).top, MulDiv(title.top, 3, 2));
    EXPECT_EQ(ClientRectOf(IDC_PERFORMANCE_CHART).top, MulDiv(chart.top, 3, 2));
    EXPECT_EQ(ClientRectOf(IDC_PERFORMANCE_CHART).left, MulDiv(chart.left, 3, 2));
    // The window, one and a half times as large, was fitted into the work area.
    ExpectInsideTheWorkAreaWithEveryControlVisible();
    // The minimum size follows the DPI, as far as the work area allows.
    MINMAXINFO info{};
    SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    RECT minimum{0, 0, MulDiv(app->initialClient.right, 3, 2) - 180, MulDiv(app->initialClient.bottom, 3, 2) - 117};
    AdjustWindowRectExForDpi(&minimum, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)), 144);
    const RECT work = WorkArea();
    EXPECT_EQ(info.ptMinTrackSize.x, std::min(minimum.right - minimum.left, work.right - work.left));
    EXPECT_EQ(info.ptMinTrackSize.y, std::min(minimum.bottom - minimum.top, work.bottom - work.top));

    // The caption and taskbar icons were loaded again at the new sizes; the old ones destroyed.
    ICONINFO info144{};
    ASSERT_TRUE(GetIconInfo(icon(ICON_SMALL), &info144));
    BITMAP bitmap{};
    GetObjectW(info144.hbmColor != nullptr ? info144.hbmColor : info144.hbmMask, sizeof(bitmap), &bitmap);
    DeleteObject(info144.hbmColor);
    DeleteObject(info144.hbmMask);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetricsForDpi(SM_CXSMICON, 144));
    EXPECT_NE(icon(ICON_BIG), oldLarge);
    ICONINFO gone{};
    EXPECT_FALSE(GetIconInfo(oldLarge, &gone));
    EXPECT_FALSE(GetIconInfo(oldSmall, &gone));
}

// Run on each common screen by the ui_window_screen_* tests: a display the size of the screen's
// work area (Xvfb has no taskbar) at the screen's DPI from the start, with a font of Segoe UI's
// size. The designed window is too tall for three of them.
TEST_F(WindowTest, OpensInsideTheWorkAreaOfItsScreenAndStaysThereAfterADpiChange) {
    services.sources = Sources(false, {}, {}, {});
    Open();
    const int dpi = static_cast<int>(GetDpiForSystem());
    EXPECT_EQ(app->layoutDpi, dpi);
    EXPECT_EQ(app->baseFont.lfHeight, -MulDiv(9, dpi, 72));
    ExpectInsideTheWorkAreaWithEveryControlVisible();
    // The designed size where it fits, the work area's where it does not.
    RECT client{};
    GetClientRect(hwnd, &client);
    const RECT frame = VisibleFrame();
    const RECT work = WorkArea();
    EXPECT_TRUE(client.right == app->initialClient.right || frame.right - frame.left == work.right - work.left);
    EXPECT_TRUE(client.bottom == app->initialClient.bottom || frame.bottom - frame.top == work.bottom - work.top);

    // Onto a monitor of the next lower common DPI with the same work area.
    if (dpi == 96) return;
    const int lower = dpi > 168 ? 168 : dpi > 144 ? 144 : dpi > 120 ? 120 : 96;
    ChangeDpi(lower);
    EXPECT_EQ(app->dpi, lower);
    ExpectInsideTheWorkAreaWithEveryControlVisible();
}

COLORREF Ref(RgbColour colour) { return RGB(colour.red, colour.green, colour.blue); }

TEST_F(RunTest, PaintsBandsCardButtonsAndChartBarsWhereTheModelPutsThem) {
    services.backend = SteppedBackend(gate, 45.0);
    OpenWithCards();
    const RECT header = ClientRectOf(IDC_HEADER_BAND);
    const RECT card = ClientRectOf(IDC_SETTINGS_CARD);
    const RECT footer = ClientRectOf(IDC_FOOTER_BAND);
    EXPECT_EQ(PixelAt(header.left + 4, header.top + 3), Ref(palette::kBand));
    EXPECT_EQ(PixelAt(header.left + 4, header.bottom - 1), Ref(palette::kLine));
    EXPECT_EQ(PixelAt(card.left + 6, card.bottom - 4), Ref(palette::kCard));
    EXPECT_EQ(PixelAt(card.left + (card.right - card.left) / 2, card.top), Ref(palette::kLine));
    EXPECT_EQ(PixelAt(card.left + 4, card.bottom + 3), Ref(palette::kWindowBackground));
    EXPECT_EQ(PixelAt(footer.left + 4, footer.top), Ref(palette::kLine));
    EXPECT_EQ(PixelAt(footer.left + 4, footer.bottom - 2), Ref(palette::kBand));
    const RECT status = ClientRectOf(IDC_STATUS);
    EXPECT_EQ(PixelAt(status.right - 3, status.top + 2), Ref(palette::kBand));

    const RECT run = ClientRectOf(IDC_RUN_BUTTON);
    const int middle = (run.bottom - run.top) / 2;
    EXPECT_EQ(PixelInControl(IDC_RUN_BUTTON, 0, middle), Ref(palette::kCard));
    EXPECT_EQ(PixelInControl(IDC_RUN_BUTTON, 1, middle), Ref(palette::kAccentOutline));
    EXPECT_EQ(PixelInControl(IDC_RUN_BUTTON, 5, middle), Ref(palette::kButtonFace));

    ClickRun();  // disabled while running
    EXPECT_EQ(PixelInControl(IDC_RUN_BUTTON, 1, middle), Ref(palette::kLine));
    EXPECT_EQ(PixelInControl(IDC_RUN_BUTTON, 5, middle), Ref(palette::kBand));
    gate.Allow(7);
    ASSERT_TRUE(PumpUntil([&] { return app->hasResult; }));

    for (int id : {IDC_PERFORMANCE_CHART, IDC_TIME_CHART}) {
        RECT item{};
        GetClientRect(Control(id), &item);
        ChartInput input;
        input.kind = id == IDC_PERFORMANCE_CHART ? ChartKind::Performance : ChartKind::Time;
        input.item = {item.left, item.top, item.right, item.bottom};
        input.dpi = 96;
        input.referenceIndex = 1;
        input.hasResult = true;
        input.result = app->result.median;
        input.target = &app->targets[0];
        const ChartModel model = BuildChartModel(input);
        int bars = 0;
        for (const ChartOperation& operation : model.operations) {
            const auto* bar = std::get_if<ChartRoundRect>(&operation);
            if (bar == nullptr || bar->fill == chart_palette::kCard) continue;
            ++bars;
            EXPECT_EQ(PixelInControl(id, (bar->rect.left + bar->rect.right) / 2, (bar->rect.top + bar->rect.bottom) / 2),
                      Ref(bar->fill))
                << id;
        }
        EXPECT_EQ(bars, 3) << id;  // before, after and the current result
        EXPECT_EQ(PixelInControl(id, 0, 0), Ref(palette::kWindowBackground));  // outside the round corner
    }
}

}  // namespace

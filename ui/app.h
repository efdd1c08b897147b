#pragma once
// The application object: all state of the main dialog, its handlers and the worker that
// runs one benchmark off the user-interface thread.

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "core/benchmark.h"
#include "core/gpu_target.h"
#include "core/text_pair.h"
#include "discovery/cuda_components.h"
#include "presentation/control_texts.h"
#include "ui/gdi.h"
#include "ui/layout.h"
#include "ui/run_focus.h"
#include "ui/services.h"
#include "ui/window_colours.h"

// A child's window rectangle in the dialog's client coordinates; zero when unavailable.
RECT ChildRect(HWND dialog, int controlId);

inline constexpr UINT WM_APP_PROGRESS = WM_APP + 1;
inline constexpr UINT WM_APP_FINISHED = WM_APP + 2;
// Posted on activation, so that the focus is looked at after the dialog manager has restored it.
inline constexpr UINT WM_APP_RETURN_FOCUS = WM_APP + 3;

// What the worker leaves for the user-interface thread.
struct RunOutcome {
    BenchmarkResult result;
    bool hasResult = false;
    TextPair status;
};

// The five fonts derived from the dialog's font, indexed by FontRole.
class FontSet {
public:
    HFONT Get(FontRole role) const { return fonts_[static_cast<std::size_t>(role)].get(); }
    void Set(FontRole role, FontHandle font) { fonts_[static_cast<std::size_t>(role)] = std::move(font); }

private:
    std::array<FontHandle, kFontRoleCount> fonts_;
};

class App {
public:
    explicit App(PlatformServices& platform);
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    bool OnInitDialog();
    // Loads the caption and taskbar icons for the window's DPI and gives them to the window; the
    // ones they replace are destroyed.
    void LoadWindowIcons();
    void Start();
    void SwitchLanguage();
    void ShowCudaStatusDialog();

    PlatformServices& services;  // the seam to the system; outlives App
    HWND hwnd = nullptr;
    HWND targetCombo = nullptr;
    HWND referenceCombo = nullptr;
    HWND filterCombo = nullptr;
    HWND runButton = nullptr;
    HWND languageCombo = nullptr;
    Language language = Language::Russian;
    HWND tooltip = nullptr;  // owned by the dialog, destroyed with it
    TextPair methodology;
    int dpi = 96;
    int layoutDpi = 96;
    LOGFONTW baseFont{};
    RECT initialClient{};
    std::array<LayoutEntry, kLayoutEntryCount> layout;
    std::vector<ControlText> controlTexts;
    FontSet fonts;
    bool nvidiaPresent = false;
    CudaComponentsState cudaState;
    std::vector<GpuTarget> targets;
    BenchmarkResult result;
    bool hasResult = false;
    TextPair idleStatus;
    TextPair status;
    std::mutex outcomeMutex;
    RunOutcome published;
    bool running = false;
    RunFocus runFocus;
    WindowIcons icons;
    // While a DPI change moves the window onto another monitor: that monitor's work area, which
    // the minimum size must fit.
    std::optional<RECT> placementWorkArea;
    std::jthread worker;

private:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleCommand(int id, int code);

    // Texts and selections.
    void FillControlTexts();
    std::size_t DiscoverTestTargets();  // returns the index selected at start-up
    void FillSelectionCombos(int targetIndex, int referenceIndex, int filterIndex);
    void FillChartFilterCombo(int filterIndex);
    void OnTargetSelected();
    void ShowSelectedTargetStatus();
    void UpdateConfigurationLabel();
    void MoveFocusOffBeforeDisabling(HWND control);
    void ReturnFocusAfterRun();
    bool UserIsWorkingInAControl() const;
    void UpdateResultTexts();
    void UpdateCudaButton();
    const GpuTarget* SelectedTarget() const;
    void SetControlText(int controlId, const std::wstring& text) const;
    const TextPair& ControlTextFor(int controlId) const;

    // Worker.
    void RunWorker(std::stop_token stopToken, BackendKind backend, int cudaOrdinal, AdapterLuid adapterLuid);
    void OnProgress(WPARAM value);
    void OnFinished();
    void OnDestroy();

    // Layout, fonts and tooltip.
    void CaptureLayout();
    void ApplyLayout();
    void ApplyFonts();
    void MinimumTrackSize(MINMAXINFO& info) const;
    void OnDpiChanged(WPARAM wParam, const RECT& suggested);
    void PlaceInsideWorkArea(const RECT& window, const RECT& workArea);
    FrameMargins InvisibleBorders() const;
    RECT WindowRectFor(ClientSize client) const;  // with the frame of the window's style at its DPI
    TTTOOLINFOW MakeMethodologyTool(int controlId) const;
    void CreateMethodologyTooltip();
    void SetWindowFrame() const;
    void OpenInsideWorkArea();

    // Painting.
    void PaintBackground();
    void DrawButton(const DRAWITEMSTRUCT& item) const;
    HBRUSH StaticColours(HDC dc, HWND control) const;
    void PaintChart(const DRAWITEMSTRUCT& item) const;
    int Scale(int length) const;
};

// Layout, DPI scaling, the window's place on its monitor, fonts, icons and the methodology
// tooltip of the main dialog.
#include <dwmapi.h>

#include "core/system_library.h"
#include "presentation/methodology.h"
#include "presentation/number_format.h"
#include "resources/resource.h"
#include "ui/app.h"

namespace {

PixelRect ToPixelRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
RECT ToRect(const PixelRect& r) { return {r.left, r.top, r.right, r.bottom}; }

ClientSize SizeOf(const RECT& r) { return {r.right - r.left, r.bottom - r.top}; }

// The work area (the monitor less its taskbar) of the monitor nearest to a rectangle.
RECT WorkAreaNear(const RECT& rect) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor)) return rect;
    return monitor.rcWork;
}

bool IsCombo(int controlId) {
    return controlId == IDC_TARGET_COMBO || controlId == IDC_REFERENCE_COMBO || controlId == IDC_FILTER_COMBO ||
           controlId == IDC_LANGUAGE_COMBO;
}

}  // namespace

RECT ChildRect(HWND dialog, int controlId) {
    RECT rect{};
    HWND control = GetDlgItem(dialog, controlId);
    if (control == nullptr || !GetWindowRect(control, &rect)) return RECT{};
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int App::Scale(int length) const { return ScaleForDpi(length, dpi); }

void App::CaptureLayout() {
    for (LayoutEntry& entry : layout) {
        entry.rect = ToPixelRect(ChildRect(hwnd, entry.controlId));
        RECT dropped{};
        if (IsCombo(entry.controlId) &&
            SendDlgItemMessageW(hwnd, entry.controlId, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped))) {
            entry.rect.bottom = entry.rect.top + (dropped.bottom - dropped.top);  // moved with its open list
        }
    }
}

void App::ApplyLayout() {
    if (initialClient.right == 0) return;
    RECT client{};
    GetClientRect(hwnd, &client);
    if (client.right - client.left == 0 || client.bottom - client.top == 0) return;  // minimised
    const ControlPlacement placement = PlaceControls(layout, SizeOf(initialClient), SizeOf(client), dpi, layoutDpi);
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const PixelRect& r = placement[i];
        MoveWindow(GetDlgItem(hwnd, layout[i].controlId), r.left, r.top, std::max(r.right - r.left, 0),
                   std::max(r.bottom - r.top, 0), FALSE);
    }
    if (tooltip != nullptr) {
        for (int controlId : {IDC_TITLE, IDC_SUBTITLE}) {
            TTTOOLINFOW tool = MakeMethodologyTool(controlId);
            SendMessageW(tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
        }
        SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, Scale(550));
    }
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void App::ApplyFonts() {
    for (std::size_t i = 0; i < kFontRoleCount; ++i) {
        fonts.Set(static_cast<FontRole>(i), FontHandle());
    }
    for (std::size_t i = 0; i < kFontRoleCount; ++i) {
        const auto role = static_cast<FontRole>(i);
        const FontMetrics metrics = DeriveFont(role, baseFont.lfHeight, baseFont.lfWeight, dpi, layoutDpi);
        LOGFONTW font = baseFont;
        font.lfHeight = metrics.height;
        font.lfWeight = metrics.weight;
        fonts.Set(role, FontHandle(CreateFontIndirectW(&font)));
    }
    for (const FontAssignment& assignment : FontAssignments()) {
        SendDlgItemMessageW(hwnd, assignment.controlId, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.Get(assignment.role)),
                            TRUE);
    }
}

void App::MinimumTrackSize(MINMAXINFO& info) const {
    const ClientSize size = MinimumClientSize(initialClient.right - initialClient.left,
                                              initialClient.bottom - initialClient.top, dpi, layoutDpi);
    RECT window{};
    GetWindowRect(hwnd, &window);
    const ClientSize minimum = MinimumWindowSize(SizeOf(WindowRectFor(size)), InvisibleBorders(),
                                                 ToPixelRect(placementWorkArea.value_or(WorkAreaNear(window))));
    info.ptMinTrackSize = {minimum.width, minimum.height};
}

RECT App::WindowRectFor(ClientSize client) const {
    RECT rect{0, 0, client.width, client.height};
    AdjustWindowRectExForDpi(&rect, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)), static_cast<UINT>(dpi));
    return rect;
}

FrameMargins App::InvisibleBorders() const {
    using GetAttribute = decltype(DwmGetWindowAttribute);
    static auto* const getAttribute = system_library::Find<GetAttribute>(L"dwmapi.dll", "DwmGetWindowAttribute");
    RECT window{};
    RECT visible{};
    if (getAttribute == nullptr || !GetWindowRect(hwnd, &window) ||
        FAILED(getAttribute(hwnd, DWMWA_EXTENDED_FRAME_BOUNDS, &visible, sizeof(visible)))) {
        return {};  // no desktop composition to ask: the window rectangle is all there is
    }
    return MarginsOf(ToPixelRect(window), ToPixelRect(visible));
}

void App::PlaceInsideWorkArea(const RECT& window, const RECT& workArea) {
    const RECT fitted = ToRect(FitIntoWorkArea(ToPixelRect(window), InvisibleBorders(), ToPixelRect(workArea)));
    placementWorkArea = workArea;
    SetWindowPos(hwnd, nullptr, fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    placementWorkArea.reset();
    ApplyLayout();  // also when the size did not change: the layout may not have followed yet
}

void App::OpenInsideWorkArea() {
    // The designed size around the centre the dialog manager chose: the system may already have
    // cut a tall window to the screen, and it did not lay the controls out for that.
    const RECT designed = WindowRectFor(
        {MulDivRound(initialClient.right, dpi, layoutDpi), MulDivRound(initialClient.bottom, dpi, layoutDpi)});
    RECT window{};
    GetWindowRect(hwnd, &window);
    const LONG width = designed.right - designed.left;
    const LONG height = designed.bottom - designed.top;
    const LONG left = (window.left + window.right - width) / 2;
    const LONG top = (window.top + window.bottom - height) / 2;
    const RECT centred{left, top, left + width, top + height};
    PlaceInsideWorkArea(centred, WorkAreaNear(window));
}

void App::OnDpiChanged(WPARAM wParam, const RECT& suggested) {
    dpi = HIWORD(wParam);
    ApplyFonts();
    LoadWindowIcons();
    PlaceInsideWorkArea(suggested, WorkAreaNear(suggested));
}

void App::LoadWindowIcons() {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    // Not LR_SHARED: a shared icon is the first one cached under its name, whatever size is
    // asked for, so the small icon would be the large one shrunk.
    const auto replace = [&](IconHandle& slot, WPARAM kind, int widthMetric, int heightMetric) {
        IconHandle icon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_MIVARO), IMAGE_ICON,
                                                      GetSystemMetricsForDpi(widthMetric, static_cast<UINT>(dpi)),
                                                      GetSystemMetricsForDpi(heightMetric, static_cast<UINT>(dpi)),
                                                      0)));
        if (icon.get() == nullptr) return;  // the window keeps the icon it has
        SendMessageW(hwnd, WM_SETICON, kind, reinterpret_cast<LPARAM>(icon.get()));
        slot = std::move(icon);  // the one replaced is no longer the window's: destroyed
    };
    replace(icons.largeIcon, ICON_BIG, SM_CXICON, SM_CYICON);
    replace(icons.smallIcon, ICON_SMALL, SM_CXSMICON, SM_CYSMICON);
}

TTTOOLINFOW App::MakeMethodologyTool(int controlId) const {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    HWND control = GetDlgItem(hwnd, controlId);
    tool.hwnd = control;
    tool.uId = static_cast<UINT_PTR>(controlId);
    if (control == nullptr) return tool;
    GetClientRect(control, &tool.rect);
    const WindowDc dc(control);
    if (dc.get() == nullptr) return tool;
    const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    wchar_t text[512];
    const int length = GetWindowTextW(control, text, static_cast<int>(std::size(text)));
    SIZE extent{};
    if (GetTextExtentPoint32W(dc.get(), text, length, &extent)) {
        tool.rect.right = ToolRightEdge(tool.rect.right, extent.cx, dpi);
    }
    return tool;
}

void App::CreateMethodologyTooltip() {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    tooltip = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, instance,
                              nullptr);
    if (tooltip == nullptr) return;
    methodology = BuildMethodologyText();
    for (int controlId : {IDC_TITLE, IDC_SUBTITLE}) {
        TTTOOLINFOW tool = MakeMethodologyTool(controlId);
        if (tool.hwnd == nullptr) continue;
        SetWindowLongPtrW(tool.hwnd, GWL_STYLE, GetWindowLongPtrW(tool.hwnd, GWL_STYLE) | SS_NOTIFY);
        tool.uFlags = TTF_SUBCLASS;
        tool.lpszText = const_cast<wchar_t*>(methodology.ru.c_str());
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageW(tooltip, TTM_SETTITLEW, TTI_INFO, reinterpret_cast<LPARAM>(MethodologyTitle().ru.c_str()));
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, Scale(550));
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_INITIAL, 450);
    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
}

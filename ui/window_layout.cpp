// Layout, DPI scaling, fonts and the methodology tooltip of the main dialog.
#include "presentation/methodology.h"
#include "presentation/number_format.h"
#include "resources/resource.h"
#include "ui/app.h"

namespace {

PixelRect ToPixelRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

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
    const int dx = LayoutDelta(client.right - client.left, initialClient.right - initialClient.left, dpi, layoutDpi);
    const int dy = LayoutDelta(client.bottom - client.top, initialClient.bottom - initialClient.top, dpi, layoutDpi);
    for (const LayoutEntry& entry : layout) {
        const PixelRect r = PlaceControl(entry, dpi, layoutDpi, dx, dy);
        MoveWindow(GetDlgItem(hwnd, entry.controlId), r.left, r.top, std::max(r.right - r.left, 0),
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
    RECT rect{0, 0, size.width, size.height};
    AdjustWindowRectExForDpi(&rect, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)), static_cast<UINT>(dpi));
    info.ptMinTrackSize = {rect.right - rect.left, rect.bottom - rect.top};
}

void App::OpenInsideWorkArea() {
    RECT window{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!GetWindowRect(hwnd, &window) ||
        !GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    MINMAXINFO limits{};
    MinimumTrackSize(limits);
    const PixelRect fitted = FitIntoWorkArea(ToPixelRect(window), ToPixelRect(monitor.rcWork),
                                              {limits.ptMinTrackSize.x, limits.ptMinTrackSize.y});
    if (fitted != ToPixelRect(window)) {
        SetWindowPos(hwnd, nullptr, fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ApplyLayout();  // also when the system sized the window before the layout was captured
}

void App::OnDpiChanged(WPARAM wParam, const RECT& suggested) {
    dpi = HIWORD(wParam);
    ApplyFonts();
    SetWindowPos(hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyLayout();
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

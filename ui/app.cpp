#include "ui/app.h"

#include <dwmapi.h>

#include "core/system_library.h"
#include "discovery/cuda_status_dialog.h"
#include "discovery/target_list.h"
#include "dml/adapter_discovery.h"
#include "presentation/configuration.h"
#include "presentation/methodology.h"
#include "presentation/reference.h"
#include "presentation/selection_lists.h"
#include "resources/resource.h"

namespace {

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring StringResource(HINSTANCE instance, int id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(instance, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

int ComboSelection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void AddComboItem(HWND combo, const std::wstring& text) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Resolved at run time: older systems (and Wine) lack it.
void DisableDialogDpiChangeBehavior(HWND dialog) {
    using Function = BOOL(WINAPI*)(HWND, int, int);
    constexpr int kDisableAll = 1;  // DDC_DISABLE_ALL
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return;
    FARPROC proc = GetProcAddress(user32, "SetDialogDpiChangeBehavior");
    if (proc == nullptr) return;
    reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc))(dialog, kDisableAll, kDisableAll);
}

}  // namespace

App::App(PlatformServices& platform) : services(platform), layout(MakeLayoutTable()) {
    for (const ControlText& entry : BuiltInControlTexts()) {
        controlTexts.push_back({entry.controlId, {}});
    }
}

INT_PTR CALLBACK App::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* app = reinterpret_cast<App*>(lParam);
        app->hwnd = dialog;
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        if (!app->OnInitDialog()) {
            DestroyWindow(dialog);
        }
        return TRUE;
    }
    auto* app = reinterpret_cast<App*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (app == nullptr) {
        return FALSE;  // messages before WM_INITDIALOG
    }
    return app->HandleMessage(message, wParam, lParam);
}

INT_PTR App::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            OnDestroy();
            return TRUE;
        case WM_PAINT:
            PaintBackground();
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return TRUE;
        case WM_ERASEBKGND:
            return TRUE;  // WM_PAINT covers the whole background
        case WM_GETMINMAXINFO:
            if (initialClient.right - initialClient.left == 0) return FALSE;
            MinimumTrackSize(*reinterpret_cast<MINMAXINFO*>(lParam));
            return TRUE;
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlID == IDC_RUN_BUTTON || item.CtlID == IDC_CUDA_BUTTON) {
                DrawButton(item);
                return TRUE;
            }
            if (item.CtlID == IDC_PERFORMANCE_CHART || item.CtlID == IDC_TIME_CHART) {
                PaintChart(item);
                return TRUE;
            }
            return FALSE;
        }
        case WM_COMMAND:
            return HandleCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(StaticColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        case WM_DPICHANGED:
            OnDpiChanged(wParam, *reinterpret_cast<const RECT*>(lParam));
            return TRUE;
        case WM_SIZE:
            ApplyLayout();
            return TRUE;
        case WM_APP_PROGRESS:
            OnProgress(wParam);
            return TRUE;
        case WM_APP_FINISHED:
            OnFinished();
            return TRUE;
        case WM_ACTIVATE:
            // A run that ended in the background gives the focus back once the dialog manager
            // has put it where it was.
            if (LOWORD(wParam) != WA_INACTIVE && runFocus.Pending()) PostMessageW(hwnd, WM_APP_RETURN_FOCUS, 0, 0);
            return FALSE;
        case WM_APP_RETURN_FOCUS:
            ReturnFocusAfterRun();
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR App::HandleCommand(int id, int code) {
    switch (id) {
        case IDC_CUDA_BUTTON:
            if (code != BN_CLICKED) return FALSE;
            ShowCudaStatusDialog();
            return TRUE;
        case IDC_RUN_BUTTON:
            if (code != BN_CLICKED) return FALSE;
            Start();
            return TRUE;
        case IDC_LANGUAGE_COMBO:
            if (code != CBN_SELCHANGE) return FALSE;
            SwitchLanguage();
            return TRUE;
        case IDC_TARGET_COMBO:
            if (code != CBN_SELCHANGE) return FALSE;
            OnTargetSelected();
            return TRUE;
        case IDC_REFERENCE_COMBO:
            if (code != CBN_SELCHANGE) return FALSE;
            FillChartFilterCombo(ComboSelection(filterCombo));
            UpdateResultTexts();
            return TRUE;
        case IDC_FILTER_COMBO:
            if (code != CBN_SELCHANGE) return FALSE;
            UpdateResultTexts();
            return TRUE;
        case IDCANCEL:
            DestroyWindow(hwnd);
            return TRUE;
        default:
            return FALSE;
    }
}

bool App::OnInitDialog() {
    targetCombo = GetDlgItem(hwnd, IDC_TARGET_COMBO);
    referenceCombo = GetDlgItem(hwnd, IDC_REFERENCE_COMBO);
    filterCombo = GetDlgItem(hwnd, IDC_FILTER_COMBO);
    runButton = GetDlgItem(hwnd, IDC_RUN_BUTTON);
    languageCombo = GetDlgItem(hwnd, IDC_LANGUAGE_COMBO);
    if (!targetCombo || !referenceCombo || !filterCombo || !runButton || !languageCombo) {
        return false;
    }
    dpi = layoutDpi = static_cast<int>(GetDpiForWindow(hwnd));

    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    if (font == nullptr) font = GetStockObject(DEFAULT_GUI_FONT);
    GetObjectW(font, sizeof(baseFont), &baseFont);

    DisableDialogDpiChangeBehavior(hwnd);
    // The designed client size, which the controls are placed for: the system may already have
    // clipped the window to the screen (a tall template at 144 DPI).
    initialClient = {0, 0, IDD_MAIN_WIDTH, IDD_MAIN_HEIGHT};
    MapDialogRect(hwnd, &initialClient);
    CaptureLayout();
    FillControlTexts();

    for (int chart : {IDC_PERFORMANCE_CHART, IDC_TIME_CHART}) {
        if (HWND control = GetDlgItem(hwnd, chart)) {
            const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
            SetWindowLongPtrW(control, GWL_STYLE, (style & ~LONG_PTR{0x12}) | SS_OWNERDRAW);
        }
    }

    const std::size_t defaultTargetIndex = DiscoverTestTargets();

    for (const wchar_t* item : kLanguageItems) {
        AddComboItem(languageCombo, item);
    }
    SendMessageW(languageCombo, CB_SETCURSEL, 0, 0);

    FillSelectionCombos(static_cast<int>(defaultTargetIndex), 1, 0);
    UpdateConfigurationLabel();
    ShowSelectedTargetStatus();
    SetWindowFrame();
    ApplyFonts();
    UpdateCudaButton();
    CreateMethodologyTooltip();
    UpdateResultTexts();
    OpenInsideWorkArea();
    return true;
}

void App::FillControlTexts() {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    for (ControlText& entry : controlTexts) {
        entry.text.ru = WindowText(GetDlgItem(hwnd, entry.controlId));
        entry.text.en = StringResource(instance, entry.controlId);
    }
    idleStatus = {WindowText(GetDlgItem(hwnd, IDC_STATUS)), StringResource(instance, IDC_STATUS)};
    status = idleStatus;
}

std::size_t App::DiscoverTestTargets() {
    TargetDiscovery discovery = services.DiscoverTestTargets();
    targets = std::move(discovery.targets);
    nvidiaPresent = discovery.nvidiaPresent;
    cudaState = std::move(discovery.cudaState);
    if (discovery.status) {
        status = std::move(*discovery.status);
    }
    return discovery.defaultIndex;
}

void App::SetWindowFrame() const {
    using SetAttribute = decltype(DwmSetWindowAttribute);
    static auto* const setAttribute = system_library::Find<SetAttribute>(L"dwmapi.dll", "DwmSetWindowAttribute");
    if (setAttribute == nullptr) return;
    const DWORD corner = 2;                    // DWMWCP_ROUND
    const COLORREF caption = ToColorRef(palette::kBand);
    const COLORREF captionText = ToColorRef(palette::kDarkText);
    setAttribute(hwnd, 33, &corner, sizeof(corner));             // DWMWA_WINDOW_CORNER_PREFERENCE
    setAttribute(hwnd, 35, &caption, sizeof(caption));           // DWMWA_CAPTION_COLOR
    setAttribute(hwnd, 36, &captionText, sizeof(captionText));  // DWMWA_TEXT_COLOR
}

const GpuTarget* App::SelectedTarget() const {
    return ::SelectedTarget(targets, ComboSelection(targetCombo));
}

const TextPair& App::ControlTextFor(int controlId) const {
    for (const ControlText& entry : controlTexts) {
        if (entry.controlId == controlId) return entry.text;
    }
    static const TextPair kNone;
    return kNone;
}

void App::SetControlText(int controlId, const std::wstring& text) const {
    SetDlgItemTextW(hwnd, controlId, text.c_str());
}

void App::FillSelectionCombos(int targetIndex, int referenceIndex, int filterIndex) {
    SendMessageW(targetCombo, CB_RESETCONTENT, 0, 0);
    SendMessageW(referenceCombo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : TargetListItems(targets, language)) {
        AddComboItem(targetCombo, item);
    }
    for (const std::wstring& item : ReferenceListItems(language)) {
        AddComboItem(referenceCombo, item);
    }
    SendMessageW(targetCombo, CB_SETCURSEL, static_cast<WPARAM>(targetIndex), 0);
    SendMessageW(referenceCombo, CB_SETCURSEL, static_cast<WPARAM>(referenceIndex), 0);
    FillChartFilterCombo(filterIndex);
}

void App::FillChartFilterCombo(int filterIndex) {
    const ChartFilterList list = DecideChartFilterList(ComboSelection(referenceCombo), filterIndex, language);
    SendMessageW(filterCombo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : list.items) {
        AddComboItem(filterCombo, item);
    }
    SendMessageW(filterCombo, CB_SETCURSEL, static_cast<WPARAM>(list.selectedIndex), 0);
    EnableWindow(filterCombo, list.enabled ? TRUE : FALSE);
}

void App::OnTargetSelected() {
    hasResult = false;  // the shown result belonged to the previous card
    ShowSelectedTargetStatus();
    UpdateConfigurationLabel();
    UpdateResultTexts();
}

void App::ShowSelectedTargetStatus() {
    const GpuTarget* target = SelectedTarget();
    if (target == nullptr) return;
    status = gemm::DirectMlSelectionMessage(target->directMlStatus).value_or(idleStatus);
}

void App::UpdateConfigurationLabel() {
    const ConfigurationView state = DecideConfiguration(targets, ComboSelection(targetCombo), running, language,
                                                        ControlTextFor(IDC_CONFIGURATION).Get(language));
    if (!state.targetListEnabled) MoveFocusOffBeforeDisabling(targetCombo);
    EnableWindow(targetCombo, state.targetListEnabled ? TRUE : FALSE);
    if (!state.runButtonEnabled) MoveFocusOffBeforeDisabling(runButton);
    EnableWindow(runButton, state.runButtonEnabled ? TRUE : FALSE);
    SetControlText(IDC_CONFIGURATION, state.label);
}

void App::MoveFocusOffBeforeDisabling(HWND control) {
    if (control != GetFocus()) return;
    SendMessageW(hwnd, WM_NEXTDLGCTL, 0, FALSE);  // the dialog manager's next tab stop
    HWND focused = GetFocus();
    if (focused != nullptr && focused != control) {
        runFocus.Moved(GetDlgCtrlID(control), GetDlgCtrlID(focused));
    }
}

void App::ReturnFocusAfterRun() {
    if (GetActiveWindow() != hwnd) return;  // in the background: on the next activation (WM_ACTIVATE)
    HWND focused = GetFocus();
    const std::optional<int> back =
        runFocus.TakeReturn(focused != nullptr ? GetDlgCtrlID(focused) : 0, UserIsWorkingInAControl());
    HWND control = back ? GetDlgItem(hwnd, *back) : nullptr;
    if (control != nullptr && IsWindowEnabled(control)) {
        SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }
}

bool App::UserIsWorkingInAControl() const {
    // A button held down or a list being dragged has the mouse; an open drop-down list would close.
    if (GetCapture() != nullptr) return true;
    for (HWND combo : {languageCombo, targetCombo, referenceCombo, filterCombo}) {
        if (SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE) return true;
    }
    return false;
}

void App::UpdateResultTexts() {
    const std::wstring comparison = BuildComparisonLine(ComboSelection(referenceCombo), ComboSelection(filterCombo),
                                                        hasResult, result.median.tflops, language);
    SetControlText(IDC_STATUS, status.Get(language));
    SetControlText(IDC_COMPARISON, comparison);
    for (int chart : {IDC_PERFORMANCE_CHART, IDC_TIME_CHART}) {
        InvalidateRect(GetDlgItem(hwnd, chart), nullptr, FALSE);
    }
}

void App::SwitchLanguage() {
    language = ComboSelection(languageCombo) == 1 ? Language::English : Language::Russian;
    for (const ControlText& entry : controlTexts) {
        SetControlText(entry.controlId, entry.text.Get(language));
    }
    UpdateCudaButton();
    FillSelectionCombos(ComboSelection(targetCombo), ComboSelection(referenceCombo), ComboSelection(filterCombo));
    UpdateConfigurationLabel();
    if (tooltip != nullptr) {
        SendMessageW(tooltip, TTM_POP, 0, 0);
        SendMessageW(tooltip, TTM_SETTITLEW, TTI_INFO,
                     reinterpret_cast<LPARAM>(MethodologyTitle().Get(language).c_str()));
        for (int controlId : {IDC_TITLE, IDC_SUBTITLE}) {
            TTTOOLINFOW tool = MakeMethodologyTool(controlId);
            tool.lpszText = const_cast<wchar_t*>(methodology.Get(language).c_str());
            SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    UpdateResultTexts();
    ApplyLayout();
}

void App::UpdateCudaButton() {
    const CudaButtonState state = DecideCudaButton(nvidiaPresent, cudaState);
    HWND button = GetDlgItem(hwnd, IDC_CUDA_BUTTON);
    if (!state.visible) {
        ShowWindow(button, SW_HIDE);
    } else if (state.caption) {
        SetWindowTextW(button, state.caption->c_str());
    }
}

void App::ShowCudaStatusDialog() {
    if (!nvidiaPresent) return;
    const CudaStatusDialog model = BuildCudaStatusDialog(cudaState, language);
    std::vector<TASKDIALOG_BUTTON> buttons;
    for (const CudaDialogButton& button : model.buttons) {
        buttons.push_back({button.id, button.text.c_str()});
    }
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = hwnd;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = model.title.c_str();
    config.pszMainIcon = model.icon == CudaDialogIcon::Information ? TD_INFORMATION_ICON : TD_WARNING_ICON;
    config.pszMainInstruction = model.mainInstruction.c_str();
    config.pszContent = model.content.c_str();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.data();
    config.nDefaultButton = model.defaultButton;
    int pressed = 0;
    if (FAILED(services.ShowTaskDialog(config, &pressed))) return;
    const std::optional<std::wstring> page = CudaDownloadPage(pressed, cudaState.requiredVersion);
    if (!page) return;
    if (!services.OpenWebPage(hwnd, *page)) {
        MessageBoxW(hwnd, page->c_str(), kOpenPageFallbackCaption.Get(language).c_str(), MB_ICONINFORMATION);
    }
}

// Painting of the dialog surface, the owner-drawn buttons, the static colours and the charts.
#include <variant>

#include "presentation/chart_model.h"
#include "resources/resource.h"
#include "ui/app.h"

namespace {

RECT ToRect(const PixelRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

UINT AlignFlag(TextAlign align) {
    switch (align) {
        case TextAlign::Centre:
            return DT_CENTER;
        case TextAlign::Right:
            return DT_RIGHT;
        case TextAlign::Left:
            break;
    }
    return DT_LEFT;
}

}  // namespace

void App::PaintBackground() {
    const PaintScope paint(hwnd);
    const OffscreenCanvas canvas(paint.dc(), paint.updateRect());
    HDC dc = canvas.dc();
    FillSolid(dc, paint.updateRect(), palette::kWindowBackground);

    const RECT header = ChildRect(hwnd, IDC_HEADER_BAND);
    FillSolid(dc, header, palette::kBand);
    FillSolid(dc, RECT{header.left, header.bottom - 1, header.right, header.bottom}, palette::kLine);

    RoundedRect(dc, ChildRect(hwnd, IDC_SETTINGS_CARD), Scale(15), Scale(15), palette::kCard, palette::kLine);

    const RECT footer = ChildRect(hwnd, IDC_FOOTER_BAND);
    FillSolid(dc, footer, palette::kBand);
    FillSolid(dc, RECT{footer.left, footer.top, footer.right, footer.top + 1}, palette::kLine);
}

void App::DrawButton(const DRAWITEMSTRUCT& item) const {
    const OffscreenCanvas canvas(item.hDC, item.rcItem);
    HDC dc = canvas.dc();
    FillSolid(dc, item.rcItem, palette::kCard);
    RECT r = item.rcItem;
    InflateRect(&r, -1, -1);
    const ButtonColours colours =
        ButtonColoursFor((item.itemState & ODS_DISABLED) != 0, (item.itemState & ODS_SELECTED) != 0);
    RoundedRect(dc, r, Scale(9), Scale(9), colours.face, colours.outline);

    wchar_t text[256];
    const int length = GetWindowTextW(item.hwndItem, text, static_cast<int>(std::size(text)));
    const SelectedObject font(dc, fonts.Get(FontRole::Emphasis));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ToColorRef(colours.text));
    DrawTextW(dc, text, length, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);

    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        InflateRect(&r, -Scale(3), -Scale(3));
        DrawFocusRect(dc, &r);
    }
}

HBRUSH App::StaticColours(HDC dc, HWND control) const {
    const TextColours colours = StaticColoursFor(GetDlgCtrlID(control));
    SetBkColor(dc, ToColorRef(colours.background));
    SetTextColor(dc, ToColorRef(colours.text));
    SetDCBrushColor(dc, ToColorRef(colours.background));
    return static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
}

void App::PaintChart(const DRAWITEMSTRUCT& item) const {
    wchar_t title[256];
    GetWindowTextW(item.hwndItem, title, static_cast<int>(std::size(title)));
    ChartInput input;
    input.kind = item.CtlID == IDC_PERFORMANCE_CHART ? ChartKind::Performance : ChartKind::Time;
    input.item = {item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
    input.dpi = dpi;
    input.language = language;
    input.title = title;
    input.referenceIndex = static_cast<int>(SendMessageW(referenceCombo, CB_GETCURSEL, 0, 0));
    input.filterIndex = static_cast<int>(SendMessageW(filterCombo, CB_GETCURSEL, 0, 0));
    input.hasResult = hasResult;
    input.result = result.median;
    input.target = SelectedTarget();
    const ChartModel model = BuildChartModel(input);

    const OffscreenCanvas canvas(item.hDC, item.rcItem);
    HDC dc = canvas.dc();
    SetBkMode(dc, TRANSPARENT);
    for (const ChartOperation& operation : model.operations) {
        if (const auto* fill = std::get_if<ChartFill>(&operation)) {
            FillSolid(dc, ToRect(fill->rect), fill->colour);
        } else if (const auto* round = std::get_if<ChartRoundRect>(&operation)) {
            RoundedRect(dc, ToRect(round->rect), round->cornerWidth, round->cornerHeight, round->fill, round->outline);
        } else if (const auto* text = std::get_if<ChartText>(&operation)) {
            const SelectedObject font(dc, fonts.Get(static_cast<FontRole>(text->font)));
            SetTextColor(dc, ToColorRef(text->colour));
            RECT rect = ToRect(text->rect);
            // Clipped to its rectangle; the end ellipsis shortens what does not fit.
            DrawTextW(dc, text->text.c_str(), static_cast<int>(text->text.size()), &rect,
                      AlignFlag(text->align) | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
    }
}

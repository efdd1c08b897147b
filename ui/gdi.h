#pragma once
// Owners of the GDI resources the window code touches: each releases its resource once.

#include <windows.h>

#include <utility>

#include "presentation/drawing.h"

inline COLORREF ToColorRef(RgbColour colour) { return RGB(colour.red, colour.green, colour.blue); }

// A font created by the program.
class FontHandle {
public:
    FontHandle() = default;
    explicit FontHandle(HFONT font) : font_(font) {}
    FontHandle(FontHandle&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}
    FontHandle& operator=(FontHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            font_ = std::exchange(other.font_, nullptr);
        }
        return *this;
    }
    FontHandle(const FontHandle&) = delete;
    FontHandle& operator=(const FontHandle&) = delete;
    ~FontHandle() { Reset(); }

    HFONT get() const { return font_; }
    void Reset() {
        if (font_ != nullptr) {
            DeleteObject(font_);
            font_ = nullptr;
        }
    }

private:
    HFONT font_ = nullptr;
};

// BeginPaint ... EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { EndPaint(window_, &paint_); }

    HDC dc() const { return dc_; }
    const RECT& updateRect() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// GetDC ... ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ != nullptr) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Drawing with the device context's own brush and pen, so no brush or pen is ever created.
inline void FillSolid(HDC dc, const RECT& rect, RgbColour colour) {
    SetDCBrushColor(dc, ToColorRef(colour));
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

inline void RoundedRect(HDC dc, const RECT& rect, int ellipseWidth, int ellipseHeight, RgbColour fill,
                        RgbColour outline) {
    SelectedObject brush(dc, GetStockObject(DC_BRUSH));
    SelectedObject pen(dc, GetStockObject(DC_PEN));
    SetDCBrushColor(dc, ToColorRef(fill));
    SetDCPenColor(dc, ToColorRef(outline));
    RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, ellipseWidth, ellipseHeight);
}

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

// An icon loaded without LR_SHARED: the program owns it and destroys it.
class IconHandle {
public:
    IconHandle() = default;
    explicit IconHandle(HICON icon) : icon_(icon) {}
    IconHandle(IconHandle&& other) noexcept : icon_(std::exchange(other.icon_, nullptr)) {}
    IconHandle& operator=(IconHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            icon_ = std::exchange(other.icon_, nullptr);
        }
        return *this;
    }
    IconHandle(const IconHandle&) = delete;
    IconHandle& operator=(const IconHandle&) = delete;
    ~IconHandle() { Reset(); }

    HICON get() const { return icon_; }

private:
    void Reset() {
        if (icon_ != nullptr) {
            DestroyIcon(icon_);
            icon_ = nullptr;
        }
    }
    HICON icon_ = nullptr;
};

// The window's large and small icon; they must outlive the window's use of them.
struct WindowIcons {
    IconHandle largeIcon;
    IconHandle smallIcon;
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

// Paints an area off screen and copies it to the target in one step when it goes out of scope,
// so the screen never shows a half-painted state. Drawing uses the target's coordinates; when
// no memory context can be had it draws on the target directly.
class OffscreenCanvas {
public:
    OffscreenCanvas(HDC target, const RECT& area)
        : target_(target),
          area_(area),
          memory_(CreateCompatibleDC(target)),
          bitmap_(memory_.get() != nullptr
                      ? CreateCompatibleBitmap(target, area.right - area.left, area.bottom - area.top)
                      : nullptr),
          selection_(memory_.get(), bitmap_.get()) {
        if (bitmap_.get() != nullptr) SetViewportOrgEx(memory_.get(), -area.left, -area.top, nullptr);
    }
    OffscreenCanvas(const OffscreenCanvas&) = delete;
    OffscreenCanvas& operator=(const OffscreenCanvas&) = delete;
    ~OffscreenCanvas() {
        if (bitmap_.get() != nullptr) {
            BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, memory_.get(),
                   area_.left, area_.top, SRCCOPY);
        }  // the members then deselect and delete the bitmap and delete the memory context
    }

    HDC dc() const { return bitmap_.get() != nullptr ? memory_.get() : target_; }

private:
    // A memory device context created by the program.
    class MemoryDc {
    public:
        explicit MemoryDc(HDC dc) : dc_(dc) {}
        MemoryDc(const MemoryDc&) = delete;
        MemoryDc& operator=(const MemoryDc&) = delete;
        ~MemoryDc() {
            if (dc_ != nullptr) DeleteDC(dc_);
        }
        HDC get() const { return dc_; }

    private:
        HDC dc_;
    };
    // A bitmap created by the program.
    class Bitmap {
    public:
        explicit Bitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
        Bitmap(const Bitmap&) = delete;
        Bitmap& operator=(const Bitmap&) = delete;
        ~Bitmap() {
            if (bitmap_ != nullptr) DeleteObject(bitmap_);
        }
        HBITMAP get() const { return bitmap_; }

    private:
        HBITMAP bitmap_;
    };

    HDC target_;
    RECT area_;
    MemoryDc memory_;
    Bitmap bitmap_;
    SelectedObject selection_;
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

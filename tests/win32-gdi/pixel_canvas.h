// A small memory-DC canvas for pixel tests: a 32-bit bitmap selected into a
// memory DC, filled with a known colour, compared against a picture written
// as text, one character per pixel:
//   '.' background   '#' ink (the pen)   'o' fill (the brush)
// Only plain Win32 calls, so the same tests run on a real implementation.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace gditest {

constexpr COLORREF background = RGB(10, 20, 30);
constexpr COLORREF ink = RGB(200, 40, 60);
constexpr COLORREF fill = RGB(30, 160, 90);

class Canvas {
public:
    Canvas(int width, int height, COLORREF initial = background) : width_(width), height_(height) {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateBitmap(width, height, 1, 32, nullptr);
        previous_ = SelectObject(dc_, bitmap_);
        clear(initial);
    }
    ~Canvas() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void clear(COLORREF color) {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all = {0, 0, width_, height_};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }

    // The canvas as a picture, with `legend` naming the colours expected;
    // a pixel of any other colour shows as '?'.
    std::string picture(const std::map<char, COLORREF>& legend = defaultLegend()) const {
        return picture(RECT{0, 0, width_, height_}, legend);
    }

    // The part of the canvas inside `part` (right and bottom excluded).
    std::string picture(const RECT& part, const std::map<char, COLORREF>& legend = defaultLegend()) const {
        std::string text;
        for (int y = part.top; y < part.bottom; ++y) {
            for (int x = part.left; x < part.right; ++x) {
                const COLORREF pixel = GetPixel(dc_, x, y);
                char shown = '?';
                for (const auto& entry : legend) {
                    if (entry.second == pixel) shown = entry.first;
                }
                text += shown;
            }
            text += '\n';
        }
        return text;
    }

    // How many pixels outside `part` differ from `color`.
    int changedOutside(const RECT& part, COLORREF color = background) const {
        int changed = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const bool inside = x >= part.left && x < part.right && y >= part.top && y < part.bottom;
                if (!inside && GetPixel(dc_, x, y) != color) ++changed;
            }
        }
        return changed;
    }

    static const std::map<char, COLORREF>& defaultLegend() {
        static const std::map<char, COLORREF> legend = {{'.', background}, {'#', ink}, {'o', fill}};
        return legend;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// Joins picture rows into the form Canvas::picture gives.
inline std::string rows(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

// Draws with a pen of the ink colour and a brush of the fill colour,
// selected for one scope and deleted after.
class InkAndFill {
public:
    InkAndFill(HDC dc, int penWidth, int penStyle = PS_SOLID)
        : dc_(dc), pen_(CreatePen(penStyle, penWidth, ink)), brush_(CreateSolidBrush(fill)) {
        oldPen_ = SelectObject(dc, pen_);
        oldBrush_ = SelectObject(dc, brush_);
    }
    ~InkAndFill() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
        DeleteObject(pen_);
        DeleteObject(brush_);
    }
    InkAndFill(const InkAndFill&) = delete;
    InkAndFill& operator=(const InkAndFill&) = delete;

private:
    HDC dc_;
    HPEN pen_;
    HBRUSH brush_;
    HGDIOBJ oldPen_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
};

}  // namespace gditest

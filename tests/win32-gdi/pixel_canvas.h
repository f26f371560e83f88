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
        std::string text;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
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

// Selects a pen and a brush into a DC for one scope and deletes them after.
class PenAndBrush {
public:
    PenAndBrush(HDC dc, HPEN pen, HBRUSH brush) : dc_(dc), pen_(pen), brush_(brush) {
        oldPen_ = SelectObject(dc, pen);
        oldBrush_ = SelectObject(dc, brush);
    }
    ~PenAndBrush() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
        DeleteObject(pen_);
        DeleteObject(brush_);
    }
    PenAndBrush(const PenAndBrush&) = delete;
    PenAndBrush& operator=(const PenAndBrush&) = delete;

private:
    HDC dc_;
    HPEN pen_;
    HBRUSH brush_;
    HGDIOBJ oldPen_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
};

}  // namespace gditest

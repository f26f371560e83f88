// Pictures of pixels for drawing tests: any DC read back as text, one
// character per pixel by a legend of the colours expected ('?' for any
// other colour), and a small memory-DC canvas (a 32-bit bitmap selected
// into a memory DC, filled with a known colour). Only plain Win32 calls, so
// the same tests run on a real implementation.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

using Legend = std::map<char, COLORREF>;

// The part of `dc` inside `part` (right and bottom excluded), row by row,
// each row ending in a line feed.
inline std::string picture(HDC dc, const RECT& part, const Legend& legend) {
    std::string text;
    for (int y = part.top; y < part.bottom; ++y) {
        for (int x = part.left; x < part.right; ++x) {
            const COLORREF pixel = GetPixel(dc, x, y);
            char shown = '?';
            for (const auto& [name, color] : legend) {
                if (color == pixel) shown = name;
            }
            text += shown;
        }
        text += '\n';
    }
    return text;
}

// Joins picture rows into the form `picture` gives.
inline std::string rows(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\n";
    return text;
}
inline std::string rows(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

class Canvas {
public:
    Canvas(int width, int height, COLORREF initial) : width_(width), height_(height) {
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
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }

    void clear(COLORREF color) {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all = {0, 0, width_, height_};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }

    std::string picture(const Legend& legend) const { return picture(RECT{0, 0, width_, height_}, legend); }
    std::string picture(const RECT& part, const Legend& legend) const {
        return testsupport::picture(dc_, part, legend);
    }

    // How many pixels outside `part` differ from `color`.
    int changedOutside(const RECT& part, COLORREF color) const {
        int changed = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const bool inside = x >= part.left && x < part.right && y >= part.top && y < part.bottom;
                if (!inside && at(x, y) != color) ++changed;
            }
        }
        return changed;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace testsupport

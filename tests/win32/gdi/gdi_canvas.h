// The GDI tests' canvas: the shared pixel canvas with three known colours,
// named in pictures as
//   '.' background   '#' ink (the pen)   'o' fill (the brush)
#pragma once

#include <windows.h>

#include "pixel_canvas.h"

namespace gditest {

constexpr COLORREF background = RGB(10, 20, 30);
constexpr COLORREF ink = RGB(200, 40, 60);
constexpr COLORREF fill = RGB(30, 160, 90);

using testsupport::rows;

inline const testsupport::Legend& defaultLegend() {
    static const testsupport::Legend legend = {{'.', background}, {'#', ink}, {'o', fill}};
    return legend;
}

class Canvas : public testsupport::Canvas {
public:
    Canvas(int width, int height, COLORREF initial = background) : testsupport::Canvas(width, height, initial) {}

    std::string picture(const testsupport::Legend& legend = defaultLegend()) const {
        return testsupport::Canvas::picture(legend);
    }
    std::string picture(const RECT& part, const testsupport::Legend& legend = defaultLegend()) const {
        return testsupport::Canvas::picture(part, legend);
    }
    int changedOutside(const RECT& part, COLORREF color = background) const {
        return testsupport::Canvas::changedOutside(part, color);
    }
};

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

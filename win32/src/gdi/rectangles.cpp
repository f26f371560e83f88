// Rectangles and single pixels.
//
// Provides: FillRect, Rectangle, SetPixel, GetPixel.
//
// Promises: FillRect covers the left and top edges and leaves out the right
// and bottom ones; a rectangle passed upside down or right to left is filled
// as a block transfer of its negative extent: with top below bottom, the rows
// bottom + 1 through top, and likewise for columns; FillRect does nothing
// with a hollow brush. Rectangle takes its corners in any order and is the
// closed outline (l, t), (r - 1, t), (r - 1, b - 1), (l, b - 1) drawn with
// the pen and filled with the brush as Polygon draws it (nothing when it has
// no width or no height). Pixels outside the
// surface are never touched; GetPixel there answers CLR_INVALID.
#include <algorithm>

#include "gdi/drawing.h"
#include "gdi/object_table.h"
#include "gdi/raster.h"

using namespace subset::gdi;

extern "C" {

int WINAPI FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    GdiObject* brush = findObject(brushHandle, ObjectKind::brush);
    if (!dc || !rect || !brush) return 0;
    if (brush->brush.hollow) return 1;
    const Extent columns = blockExtent(rect->left, rect->right);
    const Extent rows = blockExtent(rect->top, rect->bottom);
    fillBox(*dc->surface, columns.low, rows.low, columns.high, rows.high, subset::pixelFromColor(brush->brush.color));
    return 1;
}

BOOL WINAPI Rectangle(HDC handle, int left, int top, int right, int bottom) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc) return FALSE;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (right == left || bottom == top) return TRUE;
    const POINT corners[4] = {{left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}};
    drawPolygon(*dc, corners, 4);
    return TRUE;
}

COLORREF WINAPI SetPixel(HDC handle, int x, int y, COLORREF color) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || !insideSurface(*dc->surface, x, y)) return CLR_INVALID;
    *pixelAt(*dc->surface, x, y) = subset::pixelFromColor(color);
    return color & 0x00FFFFFF;
}

COLORREF WINAPI GetPixel(HDC handle, int x, int y) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || !insideSurface(*dc->surface, x, y)) return CLR_INVALID;
    return subset::colorFromPixel(*pixelAt(*dc->surface, x, y));
}

}  // extern "C"

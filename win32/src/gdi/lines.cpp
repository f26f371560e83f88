// Lines.
//
// Provides: LineTo (MoveToEx and GetCurrentPositionEx live with the DC state).
//
// Promises: a one-pixel pen draws the Bresenham line from the current
// position toward the end point and leaves the end point out, so lines
// joined end to start draw every pixel once; a null pen draws nothing; the
// current position moves to the end point in every case.
#include <cstdlib>

#include "gdi/drawing.h"
#include "gdi/raster.h"

namespace subset::gdi {
namespace {

void thinLine(Surface& surface, POINT from, POINT to, uint32_t pixel) {
    const int dx = to.x - from.x;
    const int dy = to.y - from.y;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const long long major = xMajor ? std::abs(dx) : std::abs(dy);
    const long long minor = xMajor ? std::abs(dy) : std::abs(dx);
    const int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    for (long long i = 0; i < major; ++i) {
        // Nearest minor offset to the true line; an exact half rounds away
        // from the start.
        const long long offset = (2 * i * minor + major) / (2 * major);
        const int along = static_cast<int>(i) * majorStep;
        const int across = static_cast<int>(offset) * minorStep;
        if (xMajor) {
            plot(surface, from.x + along, from.y + across, pixel);
        } else {
            plot(surface, from.x + across, from.y + along, pixel);
        }
    }
}

}  // namespace

void drawLine(DeviceContext& dc, POINT from, POINT to) {
    GdiObject* pen = findObject(dc.pen, ObjectKind::pen);
    if (!pen || pen->pen.style == PS_NULL) return;
    thinLine(*dc.surface, from, to, pixelFromColor(pen->pen.color));
}

}  // namespace subset::gdi

using namespace subset::gdi;

extern "C" {

BOOL WINAPI LineTo(HDC handle, int x, int y) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc) return FALSE;
    const POINT to{x, y};
    drawLine(*dc, dc->position, to);
    dc->position = to;
    return TRUE;
}

}  // extern "C"

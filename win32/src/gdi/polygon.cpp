// Polygons.
//
// Provides: Polygon.
//
// Promises: the inside is filled with the brush by the alternate rule: a
// pixel is inside when the point at its coordinates lies inside the shape,
// where left and top edges count as inside and right and bottom edges do not;
// then the closed outline is drawn with the pen as lines from each point to
// the next and from the last back to the first.
#include <algorithm>
#include <cmath>
#include <vector>

#include "gdi/drawing.h"
#include "gdi/raster.h"

namespace subset::gdi {

void fillPolygonAlternate(Surface& surface, const POINT* points, int count, uint32_t pixel) {
    int top = points[0].y;
    int bottom = points[0].y;
    for (int i = 1; i < count; ++i) {
        top = std::min<int>(top, points[i].y);
        bottom = std::max<int>(bottom, points[i].y);
    }
    top = std::max(top, 0);
    bottom = std::min(bottom, surface.height);
    std::vector<int> crossings;
    for (int y = top; y < bottom; ++y) {
        crossings.clear();
        for (int i = 0; i < count; ++i) {
            const POINT& a = points[i];
            const POINT& b = points[(i + 1) % count];
            if (a.y == b.y) continue;
            const POINT& upper = a.y < b.y ? a : b;
            const POINT& lower = a.y < b.y ? b : a;
            if (y < upper.y || y >= lower.y) continue;
            // First pixel column at or right of the edge on this row.
            const Wide run = Wide(static_cast<long long>(lower.x) - upper.x) * (static_cast<long long>(y) - upper.y);
            const Wide rise = static_cast<long long>(lower.y) - upper.y;
            const Wide floorDiv = run >= 0 ? run / rise : -((-run + rise - 1) / rise);
            const Wide ceilDiv = run % rise == 0 ? floorDiv : floorDiv + 1;
            const Wide column = upper.x + ceilDiv;
            crossings.push_back(static_cast<int>(std::clamp<Wide>(column, -1, Wide(surface.width) + 1)));
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) fillSpan(surface, crossings[i], crossings[i + 1], y, pixel);
    }
}

void drawPolygon(DeviceContext& dc, const POINT* points, int count) {
    if (count < 2) return;
    GdiObject* brush = findObject(dc.brush, ObjectKind::brush);
    if (brush && !brush->brush.hollow && count >= 3) {
        fillPolygonAlternate(*dc.surface, points, count, pixelFromColor(brush->brush.color));
    }
    for (int i = 0; i < count; ++i) drawLine(dc, points[i], points[(i + 1) % count]);
}

}  // namespace subset::gdi

using namespace subset::gdi;

extern "C" {

BOOL WINAPI Polygon(HDC handle, const POINT* points, int count) {
    auto lock = lockGdi();
    DeviceContext* dc = findDC(handle);
    if (!dc || !points || count < 2) return FALSE;
    drawPolygon(*dc, points, count);
    return TRUE;
}

}  // extern "C"

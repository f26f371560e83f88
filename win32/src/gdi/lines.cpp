// Lines.
//
// Provides: LineTo (MoveToEx and GetCurrentPositionEx live with the DC state),
// and the line drawing that Polygon and Rectangle outline with.
//
// Promises, for a pen one pixel wide (width 0 or 1): the Bresenham line from
// the current position toward the end point, leaving the end point out, so
// lines joined end to start draw every pixel once; where the true line passes
// exactly halfway between two pixels the one with the smaller coordinate is
// drawn (up for a flat line, left for a steep one), so a line covers the same
// pixels from either end.
//
// For a wider pen (round ends, as the real system's geometric pens): a round
// dot of the pen's width at each end, the end point included, joined by a
// band of the pen's width. The dot of width w covers the w x w box whose
// left column is x - w/2 (integer halving) and takes, in doubled coordinates
// from the box's centre (X, Y odd for even w, even for odd w), the pixels with
// |X| <= n(Y) or |Y| <= n(X), where n(v) is the number of the same parity
// nearest to sqrt((w - 1)^2 - v^2), halfway going to the smaller one. The band
// is the quadrilateral from the two ends offset across the line by w/2 (see
// bandOffsets for the rounding), filled as Polygon fills. Pens wider than
// 65536 draw 65536 wide.
//
// A null pen draws nothing. The current position moves to the end point in
// every case.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "gdi/drawing.h"
#include "gdi/raster.h"

namespace subset::gdi {
namespace {

// Wider pens draw as this wide (far wider than any surface), which keeps the
// integer arithmetic of the band in range.
constexpr int maxPenWidth = 1 << 16;

// The steps i in [0, major) whose major coordinate start + i * step lies in [0, limit).
void clipSteps(long long start, int step, long long limit, long long& first, long long& last) {
    if (step > 0) {
        first = std::max(first, -start);
        last = std::min(last, limit - start);
    } else {
        first = std::max(first, start - limit + 1);
        last = std::min(last, start + 1);
    }
}

void thinLine(Surface& surface, POINT from, POINT to, uint32_t pixel) {
    const long long dx = static_cast<long long>(to.x) - from.x;
    const long long dy = static_cast<long long>(to.y) - from.y;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major = xMajor ? std::llabs(dx) : std::llabs(dy);
    const long long minorDelta = xMajor ? dy : dx;  // signed
    const int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    long long first = 0;
    long long last = major;
    clipSteps(xMajor ? from.x : from.y, majorStep, xMajor ? surface.width : surface.height, first, last);
    for (long long i = first; i < last; ++i) {
        // The pixel nearest to the true line, halves to the smaller
        // coordinate: ceil((2 i minor - major) / (2 major)).
        const long long numerator = 2 * i * minorDelta - major;
        const long long denominator = 2 * major;
        const long long offset =
            numerator >= 0 ? (numerator + denominator - 1) / denominator : -(-numerator / denominator);
        const long long along = i * majorStep;
        if (xMajor) {
            plot(surface, static_cast<int>(from.x + along), static_cast<int>(from.y + offset), pixel);
        } else {
            plot(surface, static_cast<int>(from.x + offset), static_cast<int>(from.y + along), pixel);
        }
    }
}

// The number of the given parity nearest to sqrt(q) (q >= 0), halfway going
// to the smaller: the largest m of that parity with m == parity or (m - 1)^2 < q.
long long nearestOfParity(long long q, long long parity) {
    long long m = static_cast<long long>(std::sqrt(static_cast<long double>(q))) + 3;
    if ((m - parity) % 2 != 0) ++m;
    while (m > parity && (m - 1) * (m - 1) >= q) m -= 2;
    return m;
}

// The round dot of a wide pen, row by row. For the doubled coordinate v of a
// row or column, n(v) shrinks as |v| grows, so each row's pixels form one
// run: as wide as the larger of n(row) and the outermost column whose n
// reaches the row.
void roundDot(Surface& surface, POINT centre, int width, uint32_t pixel) {
    const long long diameter = width - 1;
    const long long parity = diameter % 2;
    const long long left = static_cast<long long>(centre.x) - width / 2;
    const long long top = static_cast<long long>(centre.y) - width / 2;
    auto reach = [&](long long v) { return nearestOfParity(diameter * diameter - v * v, parity); };
    const long long firstRow = std::max<long long>(0, -top);
    const long long lastRow = std::min<long long>(width, surface.height - top);
    for (long long row = firstRow; row < lastRow; ++row) {
        const long long y = std::llabs(2 * row + 1 - width);
        // Columns are |x| = parity, parity + 2, ..., diameter; find the
        // outermost whose reach covers this row.
        long long low = 0;
        long long high = (diameter - parity) / 2;
        long long outermost = -1;
        while (low <= high) {
            const long long middle = (low + high) / 2;
            if (reach(parity + 2 * middle) >= y) {
                outermost = parity + 2 * middle;
                low = middle + 1;
            } else {
                high = middle - 1;
            }
        }
        const long long half = std::max(reach(y), outermost);
        // Columns whose |2 column + 1 - width| <= half.
        const long long firstColumn = (diameter - half) / 2;
        const long long lastColumn = (diameter + half) / 2;
        const long long x0 = std::clamp<long long>(left + firstColumn, -1, surface.width);
        const long long x1 = std::clamp<long long>(left + lastColumn + 1, -1, surface.width);
        fillSpan(surface, static_cast<int>(x0), static_cast<int>(x1), static_cast<int>(top + row), pixel);
    }
}

// For the band's offset across a line: the size of one component, m =
// |a| w / (2 sqrt(lengthSquared)), where a is the line's extent along the
// other axis. Worked out in integers so that exact values round exactly.
struct AcrossComponent {
    Wide aw2;          // a^2 w^2
    Wide lengthSquared;
    long long estimate;  // about m
};

// The largest k >= 0 with test(k) true, starting near the estimate.
template <typename Test>
long long largestWith(long long estimate, Test test) {
    long long k = std::max<long long>(estimate - 1, 0);
    while (k > 0 && !test(k)) --k;
    while (test(k + 1)) ++k;
    return k;
}

long long floorOf(const AcrossComponent& c) {  // floor(m)
    return largestWith(c.estimate, [&](long long k) { return 4 * Wide(k) * k * c.lengthSquared <= c.aw2; });
}
long long nearestOf(const AcrossComponent& c) {  // floor(m + 1/2)
    return largestWith(c.estimate, [&](long long k) {
        return k == 0 || Wide(2 * k - 1) * (2 * k - 1) * c.lengthSquared <= c.aw2;
    });
}

// The band's corners across the line: `outer` on the side that points right
// (down for a level line), `inner` on the other. A level or upright line is
// offset by w/2 rounded up on the outer side and down on the inner side; a
// sloping line by floor(m) + 1 on the outer side and m rounded to nearest,
// halves away from the line, on the inner side, for each component.
void bandOffsets(long long dx, long long dy, int width, POINT& outer, POINT& inner) {
    // (-dy, dx) is one normal of the line; turn it to the outer side.
    long long nx = -dy;
    long long ny = dx;
    if (!(nx > 0 || (nx == 0 && ny > 0))) {
        nx = -nx;
        ny = -ny;
    }
    auto sign = [](long long v) { return v > 0 ? 1 : v < 0 ? -1 : 0; };
    if (dx == 0 || dy == 0) {
        outer = {sign(nx) * ((width + 1) / 2), sign(ny) * ((width + 1) / 2)};
        inner = {-sign(nx) * (width / 2), -sign(ny) * (width / 2)};
        return;
    }
    const Wide lengthSquared = Wide(dx) * dx + Wide(dy) * dy;
    const long double length = std::sqrt(static_cast<long double>(dx) * dx + static_cast<long double>(dy) * dy);
    auto component = [&](long long a) {
        const long double m = std::fabs(static_cast<long double>(a)) * width / (2 * length);
        return AcrossComponent{Wide(a) * a * width * width, lengthSquared, static_cast<long long>(m)};
    };
    const AcrossComponent cx = component(nx);
    const AcrossComponent cy = component(ny);
    outer = {static_cast<LONG>(sign(nx) * (floorOf(cx) + 1)), static_cast<LONG>(sign(ny) * (floorOf(cy) + 1))};
    inner = {static_cast<LONG>(-sign(nx) * nearestOf(cx)), static_cast<LONG>(-sign(ny) * nearestOf(cy))};
}

void wideLine(Surface& surface, POINT from, POINT to, int width, uint32_t pixel) {
    roundDot(surface, from, width, pixel);
    if (from.x == to.x && from.y == to.y) return;
    roundDot(surface, to, width, pixel);
    POINT outer{};
    POINT inner{};
    bandOffsets(static_cast<long long>(to.x) - from.x, static_cast<long long>(to.y) - from.y, width, outer, inner);
    const POINT band[4] = {{from.x + outer.x, from.y + outer.y},
                           {to.x + outer.x, to.y + outer.y},
                           {to.x + inner.x, to.y + inner.y},
                           {from.x + inner.x, from.y + inner.y}};
    fillPolygonAlternate(surface, band, 4, pixel);
}

}  // namespace

void drawLine(DeviceContext& dc, POINT from, POINT to) {
    GdiObject* pen = findObject(dc.pen, ObjectKind::pen);
    if (!pen || pen->pen.style == PS_NULL) return;
    const uint32_t pixel = pixelFromColor(pen->pen.color);
    if (pen->pen.width <= 1) {
        thinLine(*dc.surface, from, to, pixel);
    } else {
        wideLine(*dc.surface, from, to, std::min(pen->pen.width, maxPenWidth), pixel);
    }
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

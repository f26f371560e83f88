// Drawing with a DC's pen and brush, shared by the line, polygon and
// rectangle calls. Call with the GDI lock held.
#pragma once

#include <windows.h>

#include <cstdint>

#include "gdi/object_table.h"

namespace subset::gdi {

// A line from `from` to `to` with the DC's pen, leaving out `to` when the pen
// is one pixel wide.
void drawLine(DeviceContext& dc, POINT from, POINT to);

// A closed polygon filled with the DC's brush and outlined with its pen.
void drawPolygon(DeviceContext& dc, const POINT* points, int count);

// Fills the inside of a polygon by the alternate rule: a pixel is inside when
// the point at its coordinates is, counting left and top edges as inside and
// right and bottom edges as outside.
void fillPolygonAlternate(Surface& surface, const POINT* points, int count, uint32_t pixel);

}  // namespace subset::gdi

// Drawing with a DC's pen and brush, shared by the line, polygon and
// rectangle calls. Call with the GDI lock held.
#pragma once

#include <windows.h>

#include "gdi/object_table.h"

namespace subset::gdi {

// A line from `from` to `to` with the DC's pen, leaving out `to` when the pen
// is one pixel wide.
void drawLine(DeviceContext& dc, POINT from, POINT to);

// A closed polygon filled with the DC's brush and outlined with its pen.
void drawPolygon(DeviceContext& dc, const POINT* points, int count);

}  // namespace subset::gdi

// What GDI tells the rest of the subset about its objects.
#pragma once

namespace subset {

// The pens, brushes, fonts, bitmaps and memory DCs made and not yet freed:
// GetGuiResources(GR_GDIOBJECTS) reports it. Takes GDI's lock itself.
int gdiObjectCount();

}  // namespace subset

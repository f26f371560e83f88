// Counting the process's user and GDI objects.
//
// Provides: GetGuiResources.
//
// Promises: GR_USEROBJECTS gives the live windows (made and not yet
// destroyed, message-only ones included); GR_GDIOBJECTS gives the pens,
// brushes, fonts, bitmaps and memory DCs made and not yet freed (cached
// window DCs, as on the real system, are not counted); any other flag gives
// 0. Only the calling process is known, whatever handle is passed.
#include <windows.h>

#include "internal/gdi_objects.h"
#include "user/window_manager.h"

extern "C" DWORD WINAPI GetGuiResources(HANDLE process, DWORD flags) {
    (void)process;
    if (flags == GR_USEROBJECTS) return static_cast<DWORD>(subset::user::userObjectCount());
    if (flags == GR_GDIOBJECTS) return static_cast<DWORD>(subset::gdiObjectCount());
    return 0;
}

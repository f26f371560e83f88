// Text over the display's picture, for displays of character cells.
//
// Provides: Win32SubsetSetTextOverlay (win32subset.h).
//
// Promises: the blocks go to the display back end in use, which shows them
// if it has text cells; a display without them, or none chosen yet, refuses
// and keeps nothing.
#include <windows.h>
#include <win32subset.h>

#include "user/window_manager.h"

extern "C" int Win32SubsetSetTextOverlay(const Win32SubsetTextBlock* blocks, int count) {
    const subset::display::Backend* backend = subset::user::chosenDisplayBackend();
    return backend && backend->setTextOverlay ? backend->setTextOverlay(blocks, count) : -1;
}

// Windows that stay on every desktop.
//
// Provides: Win32SubsetSetSticky (win32subset.h).
//
// Promises: a top-level window is on its own desktop until it is made
// sticky; the display back end hears of each change, on a running window
// as on a new one. Displays without desktops keep the mark and show nothing.
#include <windows.h>
#include <win32subset.h>

#include "user/window_manager.h"

using namespace subset::user;

extern "C" BOOL Win32SubsetSetSticky(HWND handle, BOOL sticky) {
    {
        auto lock = lockUser();
        Window* window = findWindowLocked(handle);
        if (!window) return FALSE;
        window->sticky = sticky != FALSE;
    }
    syncNativeWindow(handle);
    return TRUE;
}

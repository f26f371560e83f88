// Display back ends: one small table of functions per back end, chosen once
// at start (Win32SubsetSetDisplay, else VUMIRA_DISPLAY, else the first back
// end of the priority list that opens).
//
// The window manager keeps every window, its placement, z-order and pixels
// itself; a back end only mirrors the top-level windows onto a real screen
// and feeds input back. Rules for a back-end author:
//
//  - Every table function is called without the window manager's lock, on
//    the thread that changed the window (the user-interface thread), never
//    on two threads at once for the same window.
//  - Coordinates are screen pixels; rectangles exclude right and bottom.
//  - A top-level window starts hidden; `setVisible` shows it. A layered
//    window shows nothing until its attributes arrive in `setLayered`.
//  - `present` hands over the window's client pixels (0x00RRGGBB rows, top
//    to bottom) after painting; only `dirty` (client coordinates) changed.
//    The surface may be read only during the call.
//  - Input: deliver pointer and key events with deliverPointer/deliverKey
//    below, from any thread (a reader thread of the back end's own is
//    fine). They update the cursor and key state and queue the messages for
//    the window under the pointer, or the capture or focus window, waking a
//    GetMessageA that waits.
//  - Event loop: a back end whose events must be read on the user-interface
//    thread provides `pumpEvents`, which GetMessageA/PeekMessageA call before
//    they look at the queue; a thread that notices new events calls
//    wakeMessageLoops() so a waiting GetMessageA runs `pumpEvents` again.
//  - Expose events: call InvalidateRect(window, NULL, FALSE); the window
//    repaints through WM_PAINT and `present` follows.
#pragma once

#include <windows.h>

#include "internal/surface.h"

namespace subset::user {
struct WindowPicture;
}

namespace subset::display {

struct Backend {
    const char* name;  // as named in --display and VUMIRA_DISPLAY
    // Opens the back end; `options` is the text after "name:" (empty when
    // none). `chosen` is true when the user named this back end: then a
    // failure is reported on standard error; when tried as a default it
    // fails quietly. Returns false when the back end cannot run here.
    bool (*open)(const char* options, bool chosen);
    void (*close)(void);
    SIZE (*screenSize)(void);

    // Top-level windows. `createWindow` returns the back end's own record
    // for the window (never null on success), passed back to the calls below.
    void* (*createWindow)(HWND window, const RECT& rect, DWORD style, DWORD exStyle);
    void (*destroyWindow)(void* native);
    void (*setPlacement)(void* native, const RECT& rect);
    void (*setVisible)(void* native, bool visible);
    // The whole stack of top-level windows, top first, with their top-most flags.
    void (*setZOrder)(void* const* natives, const bool* topmost, int count);
    // layered false: an ordinary opaque window. Otherwise `flags` says which
    // of the colour key (LWA_COLORKEY) and the constant alpha (LWA_ALPHA) apply.
    void (*setLayered)(void* native, bool layered, COLORREF key, BYTE alpha, DWORD flags);
    void (*setTitle)(void* native, const char* title);
    void (*present)(void* native, const Surface& surface, const RECT& dirty);

    // Optional (may be null): reads pending events on the user-interface thread.
    void (*pumpEvents)(void);
};

// The back end in use; opens the default one on first use.
const Backend& current();

// For back ends: input and wake-up.
// Pointer at (x, y) on the screen; `buttons` holds MOUSEEVENTF_LEFTDOWN,
// ..._LEFTUP, ..._RIGHTDOWN, ..._RIGHTUP, ..._MIDDLEDOWN, ..._MIDDLEUP;
// `wheelDelta` is in WHEEL_DELTA units (120 per notch), 0 for none.
void deliverPointer(int x, int y, DWORD buttons, int wheelDelta);
void deliverKey(WORD virtualKey, bool released);
void wakeMessageLoops();

// The screen as the windows compose it (screen_composition.cpp): visible
// top-level windows bottom to top over the desktop (black unless drawn on
// through GetDC(NULL)), each with its visible children drawn over it,
// a layered window's colour-key pixels left out and its constant alpha
// applied. Call on the user-interface thread (it reads window pixels).
Surface composeScreen();
// One window's client pixels with its visible children drawn over them.
Surface composeWindow(const user::WindowPicture& picture);

// The back ends in this build, in the order the default tries them.
extern const Backend x11Backend;       // x11.cpp
extern const Backend termBackend;      // term.cpp
extern const Backend headlessBackend;

}  // namespace subset::display

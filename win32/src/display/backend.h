// Display back ends: what a back end implements (`Backend`, one table per
// back end) and what it is given to call (`Sink`, filled in by the window
// manager and handed to `open`). This header and the shared helpers of
// internal/ are all a back end sees of the rest of the subset; the window
// manager picks the back end and drives it.
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
//    The surface may be read only during the call, under lockPixels().
//  - Input: deliver pointer and key events with the sink's deliverPointer
//    and deliverKey, from any thread (a reader thread of the back end's own
//    is fine). They update the cursor and key state and queue the messages
//    for the window under the pointer, or the capture or focus window,
//    waking a GetMessageA that waits.
//  - Event loop: a back end whose events must be read on the user-interface
//    thread provides `pumpEvents`, which GetMessageA/PeekMessageA call before
//    they look at the queue; a thread that notices new events calls the
//    sink's wakeMessageLoops so a waiting GetMessageA runs `pumpEvents` again.
//  - Expose events: redraw from what was presented; a window that has
//    presented nothing yet goes to the sink's windowExposed, and the window
//    repaints through WM_PAINT with `present` following.
//  - A back end that draws the whole screen itself (rather than one native
//    window per top-level window) takes the picture from the sink's
//    composeScreen, on the user-interface thread.
//  - The host knows a back end only by what its table says of it
//    (Win32SubsetDescribeDisplay), never by its name.
//
// Adding a back end: its files here, its row in the table of
// user/display_choice.cpp, and, when it needs a library of its own, its
// subset_backend line in win32/CMakeLists.txt.
#pragma once

#include <windows.h>
#include <win32subset.h>

#include <string>

#include "internal/surface.h"

namespace subset::display {

// What a back end may call. Call with no lock of the back end's own held:
// each function takes the window manager's lock, and some call back into
// the table (a window placed by windowPlaced gets `setPlacement`).
struct Sink {
    // From any thread. Pointer at (x, y) on the screen; `buttons` holds
    // MOUSEEVENTF_LEFTDOWN, ..._LEFTUP, ..._RIGHTDOWN, ..._RIGHTUP,
    // ..._MIDDLEDOWN, ..._MIDDLEUP; `wheelDelta` is in WHEEL_DELTA units
    // (120 per notch), 0 for none.
    void (*deliverPointer)(int x, int y, DWORD buttons, int wheelDelta);
    void (*deliverKey)(WORD virtualKey, bool released);
    // From any thread: events wait for `pumpEvents`.
    void (*wakeMessageLoops)(void);

    // On the user-interface thread only (inside `pumpEvents`, say).
    // The window has nothing presented to redraw an exposed part from.
    void (*windowExposed)(HWND window);
    // Something else (a window manager) placed the window at `rect` (screen):
    // the window follows, and its procedure hears of it as of any move.
    void (*windowPlaced)(HWND window, const RECT& rect);
    // The user asked to close the window (WM_CLOSE is posted to it).
    void (*closeRequested)(HWND window);
    // The display is gone or the user asked to stop: WM_QUIT with
    // `exitCode` for the user-interface thread's loop.
    void (*quitRequested)(int exitCode);
    // The screen as the windows compose it, at the back end's screen size:
    // visible top-level windows bottom to top over the desktop, each with
    // its visible children, layered windows keyed and blended.
    Surface (*composeScreen)(void);
};

struct Backend {
    const char* name;  // as named in --display and VUMIRA_DISPLAY
    // What it is, for Win32SubsetDescribeDisplay: the kind of screen
    // (WIN32SUBSET_SCREEN_*), what it needs to open, and in words (which may
    // read the environment) the display in use, and why the default passes
    // it over when it does not open.
    int screen;
    const char* needs;
    std::string (*inUse)(void);
    std::string (*unavailable)(void);
    // Opens the back end; `options` is the text after "name:" (empty when
    // none). `chosen` is true when the user named this back end: then a
    // failure is reported on standard error; when tried as a default it
    // fails quietly. Returns false when the back end cannot run here.
    // `sink` lives as long as the process.
    bool (*open)(const char* options, bool chosen, const Sink& sink);
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
    // `clientOrigin`: where the client area starts inside the window
    // rectangle ((0, 0) for a window without a frame).
    void (*present)(void* native, const Surface& surface, const RECT& dirty, POINT clientOrigin);

    // Optional (may be null): reads pending events on the user-interface thread.
    void (*pumpEvents)(void);
    // Optional (may be null): while `grab` holds, pointer and key events
    // anywhere on the screen come to this process, as a pop-up menu needs;
    // the pointer's at their screen coordinates. Released with `grab` false
    // (`native` then the window that held it), and when the window ends.
    void (*grabInput)(void* native, bool grab);
    // Optional (may be null): the window stays on every desktop or only on
    // its own. A new window is on its own desktop.
    void (*setSticky)(void* native, bool sticky);
    // Optional (may be null): text over the picture, as
    // Win32SubsetSetTextOverlay says; a display without text cells has none.
    int (*setTextOverlay)(const Win32SubsetTextBlock* blocks, int count);
};

// The back ends in this build.
extern const Backend x11Backend;       // x11.cpp
extern const Backend termBackend;      // term.cpp
extern const Backend headlessBackend;  // headless.cpp

}  // namespace subset::display

// The x11 display: the subset's top-level windows as real windows on an X
// server, through Xlib and the Shape extension.
//
// Provides (inside the subset): subset::display::x11Backend, named
// "x11[:DISPLAY]" (DISPLAY as Xlib reads it, ":1" or "host:1.0"; a bare
// number N means ":N"; none means $DISPLAY). The table's calls live by
// concern: the connection (x11_connection.cpp), the windows and their
// properties (x11_windows.cpp), what they show (x11_presentation.cpp, in
// shared memory: x11_shared_memory.cpp), the
// events (x11_events.cpp), the input grab (x11_grab.cpp) and the watcher
// thread (x11_watcher.cpp).
//
// Promises:
//  - Every top-level window is an ordinary X window (not override-redirect,
//    so a window manager manages it): no decorations (_MOTIF_WM_HINTS), on
//    every desktop only while made sticky (_NET_WM_STATE_STICKY,
//    _NET_WM_DESKTOP all; Win32SubsetSetSticky),
//    kept out of the task bar and pager when WS_EX_TOOLWINDOW
//    (_NET_WM_WINDOW_TYPE_UTILITY, _SKIP_TASKBAR, _SKIP_PAGER), above other
//    windows while top-most (_NET_WM_STATE_ABOVE), stacked among themselves
//    in the subset's z-order, titled with the window text.
//  - Placement is mirrored both ways: the subset's placement is applied with
//    XMoveResizeWindow; when something else (a window manager) gives the X
//    window another place or size, the subset's window is moved there with
//    the sink's windowPlaced, so its procedure hears of it as of any move.
//  - The picture is the window's client pixels as last presented; a present
//    sends only the rows that changed, with XShmPutImage from a segment
//    shared with the server where it offers MIT-SHM on a local connection
//    (VUMIRA_X11_NO_SHM=1 turns that off), else with XPutImage. A layered
//    window's colour-key pixels are cut out of the window with a bounding
//    shape, rebuilt at each present; its constant alpha goes to
//    _NET_WM_WINDOW_OPACITY (alpha x 0xFFFFFFFF / 255, left out at 255),
//    which a compositing manager applies; at alpha 0 the pointer passes
//    through it (an empty input shape), as it does through key pixels. A
//    layered window without attributes shows nothing.
//  - Input: pointer moves, buttons 1-3 and the wheel (buttons 4 and 5, one
//    WHEEL_DELTA a notch) at root coordinates, and keys (Alt_L and Alt_R as
//    VK_MENU) go to the sink's deliverPointer / deliverKey. Alt, Shift and
//    Control are also taken from the modifier state of every pointer event,
//    so Alt held while dragging a window that has no keyboard focus still
//    sizes it. The window manager's close button posts WM_CLOSE (the sink's
//    closeRequested).
//  - An exposed part is drawn again from the last picture presented, which
//    is what the window shows (its procedure is not asked to paint twice,
//    which would blend a motion-blurred picture twice); a window that has
//    presented nothing yet is invalidated instead (the sink's
//    windowExposed).
//  - A grab (for a pop-up) is an active pointer and keyboard grab on the
//    window, reporting events on the process's own windows to them as
//    usual and all others to the grab window; asked for while the window is
//    not viewable yet (a window manager maps it a moment later), it is tried
//    again at each pumpEvents until it holds or is released.
//  - Events are read in pumpEvents on the thread that makes the windows
//    (the user-interface thread); a watcher thread only waits for the
//    connection to become readable and wakes the message loops.
//  - Trouble never ends the process: X protocol errors are printed on
//    standard error and otherwise ignored; when the connection is lost the
//    back end says so on standard error, asks the user-interface thread's
//    loop to quit (WM_QUIT), and from then on only keeps its records.
#include "display/x11_state.h"

#include <cstdlib>

namespace subset::display {

using namespace x11;

namespace {

std::string environmentDisplay() {
    const char* name = std::getenv("DISPLAY");
    return name ? name : "";
}

std::string x11InUse() { return "the X display " + environmentDisplay(); }

std::string x11Unavailable() {
    const std::string name = environmentDisplay();
    return name.empty() ? "no X display ($DISPLAY is unset)" : "the X display " + name + " did not answer";
}

}  // namespace

const Backend x11Backend = {
    "x11",
    WIN32SUBSET_SCREEN_PIXELS,
    "an X server ($DISPLAY)",
    x11InUse,
    x11Unavailable,
    openX11,
    closeX11,
    x11ScreenSize,
    createX11Window,
    destroyX11Window,
    placeX11Window,
    showX11Window,
    stackX11Windows,
    layerX11Window,
    titleX11Window,
    presentX11Window,
    pumpX11Events,
    grabX11Input,
    stickX11Window,
    nullptr,  // setTextOverlay: windows show their own pixels
};

}  // namespace subset::display

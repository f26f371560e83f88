// The x11 display's input grab for pop-ups.
//
// Provides (inside the subset): subset::display::x11::grabX11Input,
// retryGrabLocked.
//
// Promises: while a window holds the grab, pointer and key events anywhere
// on the screen reach the process: on its own windows as usual, elsewhere
// reported to the grab window (the sink hears root coordinates either way).
// A grab that the server refuses because the window is not viewable yet is
// tried again at each pumpEvents until it holds, is released, or its window
// is gone.
#include <X11/Xlib.h>

#include "display/x11_state.h"

namespace subset::display::x11 {
namespace {

constexpr unsigned kPointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask;

bool tryGrab(X11State& s, ::Window id) {
    const int pointer =
        XGrabPointer(s.display, id, True, kPointerEvents, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (pointer != GrabSuccess) return false;
    if (XGrabKeyboard(s.display, id, True, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess) {
        XUngrabPointer(s.display, CurrentTime);
        return false;
    }
    return true;
}

}  // namespace

void grabX11Input(void* native, bool grab) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!usable(s)) return;
    if (!grab) {
        if (s.grabbed != w->id) return;  // another window's grab stays
        XUngrabKeyboard(s.display, CurrentTime);
        XUngrabPointer(s.display, CurrentTime);
        XFlush(s.display);
        s.grabbed = 0;
        s.grabPending = false;
        return;
    }
    if (!w->alive) return;
    s.grabbed = w->id;
    s.grabPending = !tryGrab(s, w->id);
}

void retryGrabLocked(X11State& s) {
    if (!s.grabPending) return;
    auto found = s.windows.find(s.grabbed);
    if (found == s.windows.end() || !found->second->alive) {
        s.grabbed = 0;
        s.grabPending = false;
        return;
    }
    s.grabPending = !tryGrab(s, s.grabbed);
}

}  // namespace subset::display::x11

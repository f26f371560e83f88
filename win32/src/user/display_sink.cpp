// What the window manager gives every display back end to call.
//
// Provides (inside the subset): subset::user::displaySink.
//
// Promises: input from a back end takes the road of SendInput (input.cpp);
// a window exposed with nothing to show is invalidated whole without
// erasing (InvalidateRect(window, NULL, FALSE)), so it repaints and
// presents; a window that something else placed is moved there with
// SetWindowPos (no z-order change, no activation), so its procedure hears
// of it as of any move; a close asked for posts WM_CLOSE; a quit posts
// WM_QUIT to the calling thread (the user-interface thread); the screen is
// composeScreen's.
#include <windows.h>

#include "user/window_manager.h"

namespace subset::user {
namespace {

void invalidateExposed(HWND window) { InvalidateRect(window, nullptr, FALSE); }

void followPlacement(HWND window, const RECT& rect) {
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void postClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

void postQuit(int exitCode) { PostQuitMessage(exitCode); }

const display::Sink kSink = {
    deliverPointer,
    deliverKey,
    wakeMessageLoops,
    invalidateExposed,
    followPlacement,
    postClose,
    postQuit,
    composeScreen,
};

}  // namespace

const display::Sink& displaySink() { return kSink; }

}  // namespace subset::user

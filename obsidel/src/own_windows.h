// What the host's own small windows (message box, status text, value
// chooser) share: their classes, registered once, and the loop that waits
// for a modal one while every other window's messages keep flowing.
#pragma once

#include <windows.h>

namespace obsidel {

// Registers the class `name` with `procedure` and the arrow cursor, once
// per process. False when it cannot be registered.
bool registerOwnClass(const char* name, WNDPROC procedure);

// Shows `window` in front and dispatches the thread's messages (to every
// window) until `done` turns true; the window's procedure sets it. A
// WM_QUIT that comes meanwhile ends the wait and is posted again for the
// loop outside. The window is destroyed before this returns; the window
// that was in front before comes back to the front.
void runModal(HWND window, const bool& done);

// How many modal windows wait for a person now (nested ones counted); any
// thread may ask.
int modalWindowsOpen();

}  // namespace obsidel

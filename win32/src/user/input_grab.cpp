// The input grab for pop-ups.
//
// Provides: Win32SubsetGrabInput.
//
// Promises what win32subset.h says: one window holds the grab at a time; a
// new grab or NULL releases the one before; the back end is called without
// the lock.
#include <windows.h>
#include <win32subset.h>

#include "user/window_manager.h"

namespace subset::user {
namespace {

HWND holder = nullptr;  // the user-interface thread's

void* nativeOf(HWND handle) {
    auto lock = lockUser();
    Window* window = findWindowLocked(handle);
    return window && topLevelOfLocked(handle) == handle ? window->native : nullptr;
}

}  // namespace
}  // namespace subset::user

extern "C" int Win32SubsetGrabInput(HWND window) {
    using namespace subset::user;
    const subset::display::Backend& backend = displayBackend();
    if (holder) {
        void* before = nativeOf(holder);
        if (before && backend.grabInput) backend.grabInput(before, false);
        holder = nullptr;
    }
    if (!window) return 0;
    void* native = nativeOf(window);
    if (!native || !IsWindowVisible(window)) return -1;
    holder = window;
    if (backend.grabInput) backend.grabInput(native, true);
    return 0;
}

// The host's window helpers for plug-ins: SnapWindowToEdge, MakeSticky and
// RemoveSticky.
//
// Snapping: each axis is handled on its own. The window's near edge (left,
// top) snaps to the screen's near edge when it lies within `distance`
// pixels of it, on either side; with the far-edges flag, the window's far
// edge (right, bottom) snaps to the screen's far edge the same way. When
// both could snap, the nearer wins, and the near edge on a tie.
#include <obsidel/api.h>

#include <cstdlib>
#include <mutex>
#include <set>

#include "platform.h"
#include "window_edges.h"

namespace obsidel {
namespace {

std::mutex stickyLock;
std::set<HWND>& stickyWindows() {
    static std::set<HWND> windows;
    return windows;
}

// The snapped start of an extent of `size` pixels at `start` on a screen
// axis of `screen` pixels; `start` itself when no edge is near.
int snapAxis(int start, int size, int screen, int distance, bool farEdges) {
    const long nearGap = std::labs(static_cast<long>(start));
    const long farGap = std::labs(static_cast<long>(start) + size - screen);
    const bool nearSnaps = nearGap <= distance;
    const bool farSnaps = farEdges && farGap <= distance;
    if (nearSnaps && (!farSnaps || nearGap <= farGap)) return 0;
    if (farSnaps) return screen - size;
    return start;
}

}  // namespace

bool isSticky(HWND window) {
    std::lock_guard<std::mutex> hold(stickyLock);
    return stickyWindows().count(window) != 0;
}

}  // namespace obsidel

extern "C" {

void MakeSticky(HWND window) {
    if (!window) return;
    {
        std::lock_guard<std::mutex> hold(obsidel::stickyLock);
        obsidel::stickyWindows().insert(window);
    }
    obsidel::keepOnEveryDesktop(window, true);
}

void RemoveSticky(HWND window) {
    {
        std::lock_guard<std::mutex> hold(obsidel::stickyLock);
        obsidel::stickyWindows().erase(window);
    }
    if (window) obsidel::keepOnEveryDesktop(window, false);
}

int SnapWindowToEdge(WINDOWPOS* pos, LPARAM distance, UINT flags) {
    if (!pos || (pos->flags & SWP_NOMOVE) || distance < 0) return 0;
    int width = pos->cx, height = pos->cy;
    if (pos->flags & SWP_NOSIZE) {
        // The size stays as it is: snap the far edges with the present one.
        RECT rect{};
        if (!pos->hwnd || !GetWindowRect(pos->hwnd, &rect)) return 0;
        width = rect.right - rect.left;
        height = rect.bottom - rect.top;
    }
    const int reach = distance > 10000 ? 10000 : static_cast<int>(distance);
    const bool farEdges = (flags & 1) != 0;
    const int x = obsidel::snapAxis(pos->x, width, GetSystemMetrics(SM_CXSCREEN), reach, farEdges);
    const int y = obsidel::snapAxis(pos->y, height, GetSystemMetrics(SM_CYSCREEN), reach, farEdges);
    if (x == pos->x && y == pos->y) return 0;
    pos->x = x;
    pos->y = y;
    return 1;
}

}  // extern "C"

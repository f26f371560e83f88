// Small Win32 helpers of the window tests: a window's rectangle on the
// screen, and a WM_PAINT answered by recording what it was asked to paint.
#pragma once

#include <windows.h>

#include <vector>

namespace testsupport {

inline RECT windowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// For a test's message handler: true, with the paint begun, recorded and
// ended, when `message` is WM_PAINT; false for any other message.
inline bool recordPaint(HWND window, UINT message, std::vector<PAINTSTRUCT>& paints, LRESULT& result) {
    if (message != WM_PAINT) return false;
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    paints.push_back(paint);
    EndPaint(window, &paint);
    result = 0;
    return true;
}

}  // namespace testsupport

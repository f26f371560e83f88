// Building SendInput records, as a test on any Win32 system does.
#pragma once

#include <windows.h>

#include <vector>

namespace inputs {

// An absolute move to screen pixel (x, y): the smallest normalised value
// (0..65535 across the screen) that the system maps onto that pixel.
inline INPUT moveTo(int x, int y, DWORD extraFlags = 0) {
    LONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((static_cast<long long>(x) * 65536 + width - 1) / width);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(y) * 65536 + height - 1) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | extraFlags;
    return input;
}

inline INPUT button(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

inline INPUT wheel(int delta) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    input.mi.mouseData = static_cast<DWORD>(delta);
    return input;
}

inline INPUT key(WORD virtualKey, bool release) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    return input;
}

inline UINT send(std::vector<INPUT> events) {
    return SendInput(static_cast<UINT>(events.size()), events.data(), static_cast<int>(sizeof(INPUT)));
}

// A press and release at (x, y), reached from the screen's top-left corner
// (where the tests put no window) so that the pointer really moves.
inline UINT clickAt(int x, int y, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP) {
    return send({moveTo(1, 1), moveTo(x, y), button(down), button(up)});
}

}  // namespace inputs

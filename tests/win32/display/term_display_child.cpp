// A small program on the term display, run by the terminal tests inside a
// pseudo-terminal: one window with a known picture at (2, 0), whose
// right-button releases and wheel turns are written to the file named by
// the first argument, as is the end of its message loop. An interrupt
// (Ctrl+C) closes the window through the host's own interrupt handling.
// The R key turns the window's top-left pixel white.
#include <windows.h>
#include <win32subset.h>

#include <cstdio>

#include "platform.h"

namespace {

FILE* results = nullptr;
HWND window = nullptr;
bool cornerWhite = false;
void fill(HDC dc, RECT rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        // Three pixels wide, four high: two rows over two rows.
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(handle, &paint);
        fill(dc, {0, 0, 3, 1}, RGB(0x10, 0x20, 0x30));
        fill(dc, {0, 1, 3, 2}, RGB(0x40, 0x50, 0x60));
        fill(dc, {0, 2, 1, 4}, RGB(0xF0, 0x80, 0x00));
        fill(dc, {1, 2, 3, 4}, RGB(0x00, 0xFF, 0x00));
        if (cornerWhite) fill(dc, {0, 0, 1, 1}, RGB(0xFF, 0xFF, 0xFF));
        EndPaint(handle, &paint);
        return 0;
    }
    case WM_RBUTTONUP:
        std::fprintf(results, "rbuttonup %d %d\n", static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        std::fflush(results);
        return 0;
    case WM_MOUSEWHEEL:
        std::fprintf(results, "wheel %d\n", static_cast<short>(HIWORD(wParam)));
        std::fflush(results);
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (wParam == 'R') {
            cornerWhite = true;
            InvalidateRect(handle, nullptr, FALSE);
        }
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcA(handle, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !(results = std::fopen(argv[1], "w"))) return 2;
    if (Win32SubsetSetDisplay("term") != 0) return 3;
    std::fprintf(stderr, "child: held while drawing\n");

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TermChild";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "TermChild", "", WS_POPUP | WS_VISIBLE, 2, 0, 3, 4, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (!window) return 4;
    obsidel::handleSignals(window);
    std::fprintf(results, "screen %d %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    std::fflush(results);

    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    std::fprintf(results, "quit %d\n", static_cast<int>(message.wParam));
    std::fclose(results);
    DestroyWindow(window);
    return 0;
}

#include "own_windows.h"

#include <atomic>
#include <set>
#include <string>

namespace obsidel {

bool registerOwnClass(const char* name, WNDPROC procedure) {
    static std::set<std::string> registered;  // the user-interface thread's only
    if (registered.count(name)) return true;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    if (!RegisterClassA(&windowClass)) return false;
    registered.insert(name);
    return true;
}

namespace {
std::atomic<int> modalCount{0};
}  // namespace

int modalWindowsOpen() { return modalCount.load(); }

void runModal(HWND window, const bool& done) {
    const HWND previous = GetForegroundWindow();
    ++modalCount;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);
    UpdateWindow(window);
    MSG message{};
    while (!done) {
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    --modalCount;
    DestroyWindow(window);
    if (previous && IsWindow(previous) && IsWindowVisible(previous)) SetForegroundWindow(previous);
}

}  // namespace obsidel

#include "right_click.h"

#include <windows.h>

#include <obsidel/api.h>

#include <algorithm>

#include "host_window.h"

namespace obsidel {
namespace {

HHOOK hook = nullptr;

bool registeredWithHost(HWND window) {
    const std::vector<HWND> windows = windowsRegisteredFor(OBM_BROADCAST);
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

LRESULT CALLBACK beforeDispatch(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && lParam) {
        MSG& message = *reinterpret_cast<MSG*>(lParam);
        if (message.message == WM_NCRBUTTONDOWN && message.wParam == HTCAPTION && registeredWithHost(message.hwnd))
            message.message = WM_NULL;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

void letPluginWindowsHearRightClicks() {
    if (!hook) hook = SetWindowsHookExA(WH_GETMESSAGE, beforeDispatch, nullptr, GetCurrentThreadId());
}

}  // namespace obsidel

// Pointer and keyboard input.
//
// Provides: SendInput, GetAsyncKeyState, GetCursorPos, SetCursorPos,
// SetCapture, ReleaseCapture, GetCapture, WindowFromPoint; and, for display
// back ends (through the sink), subset::user::deliverPointer, deliverKey and
// wakeMessageLoops.
//
// Promises: input from SendInput and from a display back end takes the same
// road. The cursor position and the key state (GetAsyncKeyState) change at
// once; the messages queue for the thread of the capture window, else of the
// window under the pointer (mouse), or of the focus window, else the active
// window (keys; WM_SYSKEY* while Alt is held without Ctrl, or when no window
// has the focus). A MOUSEINPUT moves first, then presses or releases its
// buttons, then turns the wheel; MOUSEEVENTF_ABSOLUTE maps 0..65535 onto the
// screen as x * width / 65536; relative moves add to the position as they
// are (no acceleration); the pointer stays on the screen. A WM_MOUSEMOVE
// that is still waiting when the next one comes is replaced by it.
//
// When the owner thread takes a mouse record out, the window under the
// pointer is found top-most first, then deepest child first; a layered
// window lets the pointer through where it shows nothing (colour-key pixels,
// alpha 0, attributes not set yet). That window gets WM_NCHITTEST (except
// while a window holds the capture: the capture window gets every mouse
// message as a client message); HTTRANSPARENT passes on to the window
// beneath; HTCLIENT gives client messages (client coordinates, MK_* flags),
// any other code non-client ones (WM_NC*, the code in wParam, screen
// coordinates). WM_MOUSEWHEEL goes to the window under the pointer, with
// screen coordinates. A second press of the same button on the same window
// within 500 ms and 2 pixels is a double click (client double clicks only
// for classes with CS_DBLCLKS). A press on a window whose top-level window
// is not active sends WM_MOUSEACTIVATE and activates it (WA_CLICKACTIVE)
// unless the answer says not to; *ANDEAT answers drop the press.
// GetAsyncKeyState gives 0x8000 while the key is down and 1 when it was
// pressed since the last call. SetCursorPos moves the pointer as a move
// would. WindowFromPoint finds the window the same way (asking the calling
// thread's own windows with WM_NCHITTEST).
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "user/window_manager.h"

using namespace subset::user;

namespace {

constexpr DWORD kDoubleClickTime = 500;
constexpr int kDoubleClickReach = 2;  // half of SM_CXDOUBLECLK

bool isButtonDown(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

WPARAM mouseKeyFlagsLocked() {
    const BYTE* keys = state().keys;
    WPARAM flags = 0;
    if (keys[VK_LBUTTON] & 0x80) flags |= MK_LBUTTON;
    if (keys[VK_RBUTTON] & 0x80) flags |= MK_RBUTTON;
    if (keys[VK_MBUTTON] & 0x80) flags |= MK_MBUTTON;
    if (keys[VK_SHIFT] & 0x80) flags |= MK_SHIFT;
    if (keys[VK_CONTROL] & 0x80) flags |= MK_CONTROL;
    return flags;
}

// The pixel a window shows at a screen point, its children drawn over it.
bool shownPixelLocked(const Window& window, POINT screen, uint32_t& pixel) {
    POINT origin = clientOriginOnScreenLocked(window);
    int x = screen.x - origin.x, y = screen.y - origin.y;
    bool found = false;
    if (window.surface && x >= 0 && y >= 0 && x < window.surface->width && y < window.surface->height) {
        pixel = window.surface->pixels[static_cast<size_t>(y) * static_cast<size_t>(window.surface->width) +
                                       static_cast<size_t>(x)];
        found = true;
    }
    for (auto it = window.children.rbegin(); it != window.children.rend(); ++it) {
        Window* child = findWindowLocked(*it);
        if (!child || !(child->style & WS_VISIBLE)) continue;
        RECT rect = child->rect;
        if (!PtInRect(&rect, POINT{x, y})) continue;
        if (shownPixelLocked(*child, screen, pixel)) found = true;
    }
    return found;
}

// Whether a top-level window lets the pointer through at a screen point.
bool passesPointerLocked(const Window& window, POINT screen) {
    if (!(window.exStyle & WS_EX_LAYERED)) return false;
    if (!window.layeredSet) return true;
    if ((window.layeredFlags & LWA_ALPHA) && window.layeredAlpha == 0) return true;
    if (window.layeredFlags & LWA_COLORKEY) {
        uint32_t pixel = 0;
        if (shownPixelLocked(window, screen, pixel) && pixel == subset::pixelFromColor(window.layeredKey)) return true;
    }
    return false;
}

// Windows under a point (in the parent's client coordinates), deepest first.
void collectUnderLocked(HWND handle, POINT point, std::vector<HWND>& found) {
    Window* window = findWindowLocked(handle);
    if (!window || !(window->style & WS_VISIBLE) || window->destroying) return;
    if (!PtInRect(&window->rect, point)) return;
    if (PtInRect(&window->client, point)) {
        POINT local{point.x - window->client.left, point.y - window->client.top};
        for (HWND child : window->children) {
            size_t before = found.size();
            collectUnderLocked(child, local, found);
            if (found.size() != before) break;  // siblings do not overlap in hit order: the top one wins
        }
    }
    found.push_back(handle);
}

// Candidates for a mouse message at a screen point, in the order the real
// system tries them. `looksAtPixels` honours layered windows' transparent
// pixels (only on the thread that draws them).
std::vector<HWND> windowsUnderLocked(POINT screen, bool looksAtPixels) {
    std::vector<HWND> found;
    for (HWND handle : state().topLevel) {
        Window* window = findWindowLocked(handle);
        if (!window || !(window->style & WS_VISIBLE) || window->destroying) continue;
        if (!PtInRect(&window->rect, screen)) continue;
        if (looksAtPixels && passesPointerLocked(*window, screen)) continue;
        if (!looksAtPixels && (window->exStyle & WS_EX_LAYERED) && !window->layeredSet) continue;
        collectUnderLocked(handle, screen, found);
    }
    return found;
}

ThreadQueue* mouseQueueLocked(POINT screen) {
    if (Window* capture = findWindowLocked(state().capture)) return capture->queue.get();
    std::vector<HWND> under = windowsUnderLocked(screen, false);
    if (under.empty()) return nullptr;
    return findWindowLocked(under.front())->queue.get();
}

void queueMouseLocked(UINT message, int wheelDelta) {
    auto& user = state();
    POINT point = cursorLocked();
    ThreadQueue* queue = mouseQueueLocked(point);
    if (!queue || !queue->alive) return;
    InputRecord record;
    record.serial = user.nextInputSerial++;
    record.message = message;
    record.point = point;
    record.time = tickNow();
    record.keyFlags = mouseKeyFlagsLocked();
    record.wheelDelta = wheelDelta;
    if (message == WM_MOUSEMOVE && !queue->input.empty() && queue->input.back().message == WM_MOUSEMOVE)
        queue->input.back() = record;  // the newer position replaces the one still waiting
    else
        queue->input.push_back(record);
    wakeQueueLocked(*queue);
}

void moveCursorLocked(int x, int y) {
    SIZE screen = screenSizeLocked();
    POINT next{std::clamp(x, 0, std::max<int>(screen.cx - 1, 0)), std::clamp(y, 0, std::max<int>(screen.cy - 1, 0))};
    POINT current = cursorLocked();
    if (next.x == current.x && next.y == current.y) return;
    state().cursor = next;
    queueMouseLocked(WM_MOUSEMOVE, 0);
}

void setKeyLocked(int key, bool down) {
    BYTE& slot = state().keys[key & 0xFF];
    slot = down ? static_cast<BYTE>(0x80 | 0x01 | (slot & 0x01)) : static_cast<BYTE>(slot & 0x01);
}

void pressButtonsLocked(DWORD buttons) {
    struct ButtonEvent {
        DWORD flag;
        int key;
        bool down;
        UINT message;
    };
    static const ButtonEvent events[] = {
        {MOUSEEVENTF_LEFTDOWN, VK_LBUTTON, true, WM_LBUTTONDOWN},
        {MOUSEEVENTF_LEFTUP, VK_LBUTTON, false, WM_LBUTTONUP},
        {MOUSEEVENTF_RIGHTDOWN, VK_RBUTTON, true, WM_RBUTTONDOWN},
        {MOUSEEVENTF_RIGHTUP, VK_RBUTTON, false, WM_RBUTTONUP},
        {MOUSEEVENTF_MIDDLEDOWN, VK_MBUTTON, true, WM_MBUTTONDOWN},
        {MOUSEEVENTF_MIDDLEUP, VK_MBUTTON, false, WM_MBUTTONUP},
    };
    for (const ButtonEvent& event : events) {
        if (!(buttons & event.flag)) continue;
        setKeyLocked(event.key, event.down);
        queueMouseLocked(event.message, 0);
    }
}

void deliverKeyLocked(WORD key, WORD scan, bool released) {
    auto& user = state();
    bool wasDown = (user.keys[key & 0xFF] & 0x80) != 0;
    bool altBefore = (user.keys[VK_MENU] & 0x80) != 0;
    setKeyLocked(key, !released);
    // The generic and the left-hand keys move together.
    struct Pair {
        int generic, left, right;
    };
    static const Pair pairs[] = {{VK_MENU, VK_LMENU, VK_RMENU}, {VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
                                 {VK_CONTROL, VK_LCONTROL, VK_RCONTROL}};
    for (const Pair& pair : pairs) {
        if (key == pair.generic) setKeyLocked(pair.left, !released);
        if (key == pair.left || key == pair.right) {
            bool either = (user.keys[pair.left] & 0x80) || (user.keys[pair.right] & 0x80);
            setKeyLocked(pair.generic, either);
        }
    }
    bool alt = (user.keys[VK_MENU] & 0x80) != 0;
    bool control = (user.keys[VK_CONTROL] & 0x80) != 0;
    HWND target = user.focus ? user.focus : user.active;
    Window* window = findWindowLocked(target);
    if (!window) return;
    bool altKey = key == VK_MENU || key == VK_LMENU || key == VK_RMENU;
    bool system = !user.focus || altKey || key == VK_F10 || ((released ? altBefore : alt) && !control);
    InputRecord record;
    record.serial = user.nextInputSerial++;
    record.message = released ? (system ? WM_SYSKEYUP : WM_KEYUP) : (system ? WM_SYSKEYDOWN : WM_KEYDOWN);
    record.point = cursorLocked();
    record.time = tickNow();
    record.keyTarget = target;
    record.keyWParam = key;
    bool altContext = released ? altBefore && !altKey : alt;
    DWORD bits = 1u | (static_cast<DWORD>(scan & 0xFF) << 16) | (altContext ? 1u << 29 : 0u) |
                 (wasDown ? 1u << 30 : 0u) | (released ? 1u << 31 : 0u);
    record.keyLParam = static_cast<LPARAM>(static_cast<LONG>(bits));
    window->queue->input.push_back(record);
    wakeQueueLocked(*window->queue);
}

void deliverMouseInputLocked(const MOUSEINPUT& input) {
    if (input.dwFlags & MOUSEEVENTF_MOVE) {
        POINT current = cursorLocked();
        int x = current.x + input.dx, y = current.y + input.dy;
        if (input.dwFlags & MOUSEEVENTF_ABSOLUTE) {
            SIZE screen = screenSizeLocked();
            x = static_cast<int>((static_cast<int64_t>(input.dx) * screen.cx) >> 16);
            y = static_cast<int>((static_cast<int64_t>(input.dy) * screen.cy) >> 16);
        }
        moveCursorLocked(x, y);
    }
    pressButtonsLocked(input.dwFlags);
    if (input.dwFlags & MOUSEEVENTF_WHEEL)
        queueMouseLocked(WM_MOUSEWHEEL, static_cast<int>(static_cast<int32_t>(input.mouseData)));
}

}  // namespace

namespace subset::user {

POINT cursorLocked() {
    auto& user = state();
    if (!user.cursorPlaced) {
        SIZE screen = screenSizeLocked();
        user.cursor = POINT{screen.cx / 2, screen.cy / 2};
        user.cursorPlaced = true;
    }
    return user.cursor;
}

bool translateInputRecord(const InputRecord& record, bool removing, MSG& message) {
    if (record.keyTarget) {
        if (!IsWindow(record.keyTarget)) return false;
        message = MSG{record.keyTarget, record.message, record.keyWParam, record.keyLParam, record.time, record.point};
        return true;
    }
    auto mine = currentQueue();
    HWND target = nullptr;
    LRESULT hit = HTCLIENT;
    std::vector<HWND> candidates;
    {
        auto lock = lockUser();
        Window* capture = findWindowLocked(state().capture);
        if (capture && capture->queue == mine) {
            target = capture->handle;
        } else {
            for (HWND handle : windowsUnderLocked(record.point, true)) {
                if (findWindowLocked(handle)->queue != mine) break;  // the rest belongs to another thread
                candidates.push_back(handle);
            }
        }
    }
    LPARAM screenPoint = MAKELPARAM(record.point.x, record.point.y);
    for (HWND candidate : candidates) {
        hit = sendMessage(candidate, WM_NCHITTEST, 0, screenPoint);
        if (hit == HTTRANSPARENT) continue;
        target = candidate;
        break;
    }
    if (!target || !IsWindow(target) || hit == HTERROR) return false;

    UINT kind = record.message;
    message = MSG{target, kind, 0, 0, record.time, record.point};
    if (kind == WM_MOUSEWHEEL) {
        message.wParam = MAKEWPARAM(record.keyFlags, static_cast<WORD>(static_cast<short>(record.wheelDelta)));
        message.lParam = screenPoint;
        return true;
    }
    bool client = hit == HTCLIENT;
    if (client) {
        POINT local = record.point;
        ScreenToClient(target, &local);
        message.wParam = record.keyFlags;
        message.lParam = MAKELPARAM(local.x, local.y);
    } else {
        message.message = kind - (WM_MOUSEMOVE - WM_NCMOUSEMOVE);
        message.wParam = static_cast<WPARAM>(hit);
        message.lParam = screenPoint;
    }
    if (!removing || !isButtonDown(kind)) return true;

    HWND top = nullptr;
    bool activate = false;
    {
        auto lock = lockUser();
        auto& user = state();
        Window* window = findWindowLocked(target);
        if (!window) return false;
        bool wantsDouble = !client || (window->windowClass && (window->windowClass->style & CS_DBLCLKS));
        bool isDouble = wantsDouble && !user.lastClickWasDouble && user.lastClickWindow == target &&
                        user.lastClickMessage == kind && record.time - user.lastClickTime <= kDoubleClickTime &&
                        std::abs(record.point.x - user.lastClickPoint.x) <= kDoubleClickReach &&
                        std::abs(record.point.y - user.lastClickPoint.y) <= kDoubleClickReach;
        if (isDouble) message.message += WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
        user.lastClickWasDouble = isDouble;
        user.lastClickWindow = target;
        user.lastClickMessage = kind;
        user.lastClickTime = record.time;
        user.lastClickPoint = record.point;
        top = topLevelOfLocked(target);
        Window* topWindow = findWindowLocked(top);
        activate = topWindow && top != user.active && !(topWindow->exStyle & WS_EX_NOACTIVATE);
    }
    if (activate) {
        LRESULT answer = sendMessage(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                     MAKELPARAM(static_cast<WORD>(hit), kind));
        if (answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) activateWindow(top, WA_CLICKACTIVE);
        if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) return false;
    }
    return IsWindow(target);
}

void deliverPointer(int x, int y, DWORD buttons, int wheelDelta) {
    auto lock = lockUser();
    moveCursorLocked(x, y);
    pressButtonsLocked(buttons);
    if (wheelDelta) queueMouseLocked(WM_MOUSEWHEEL, wheelDelta);
}

void deliverKey(WORD virtualKey, bool released) {
    auto lock = lockUser();
    deliverKeyLocked(virtualKey, 0, released);
}

void wakeMessageLoops() {
    auto lock = lockUser();
    for (auto& [handle, window] : state().windows) wakeQueueLocked(*window->queue);
}

}  // namespace subset::user

extern "C" {

UINT WINAPI SendInput(UINT count, LPINPUT inputs, int size) {
    if (!inputs || size != static_cast<int>(sizeof(INPUT))) return 0;
    displayBackend();
    auto lock = lockUser();
    for (UINT i = 0; i < count; ++i) {
        const INPUT& input = inputs[i];
        if (input.type == INPUT_MOUSE)
            deliverMouseInputLocked(input.mi);
        else if (input.type == INPUT_KEYBOARD)
            deliverKeyLocked(input.ki.wVk, input.ki.wScan, (input.ki.dwFlags & KEYEVENTF_KEYUP) != 0);
    }
    return count;
}

SHORT WINAPI GetAsyncKeyState(int key) {
    auto lock = lockUser();
    BYTE& slot = state().keys[key & 0xFF];
    int result = ((slot & 0x80) ? 0x8000 : 0) | (slot & 0x01);
    slot = static_cast<BYTE>(slot & 0x80);
    return static_cast<SHORT>(result);
}

BOOL WINAPI GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    auto lock = lockUser();
    *point = cursorLocked();
    return TRUE;
}

BOOL WINAPI SetCursorPos(int x, int y) {
    displayBackend();
    auto lock = lockUser();
    moveCursorLocked(x, y);
    return TRUE;
}

HWND WINAPI SetCapture(HWND window) {
    HWND previous = nullptr;
    {
        auto lock = lockUser();
        if (window && !findWindowLocked(window)) return nullptr;
        previous = state().capture;
        state().capture = window;
    }
    if (previous && previous != window) sendMessage(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    return previous;
}

BOOL WINAPI ReleaseCapture(void) {
    HWND previous = nullptr;
    {
        auto lock = lockUser();
        previous = state().capture;
        state().capture = nullptr;
    }
    if (previous) sendMessage(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture(void) {
    auto lock = lockUser();
    return state().capture;
}

HWND WINAPI WindowFromPoint(POINT point) {
    auto mine = currentQueue();
    std::vector<std::pair<HWND, bool>> candidates;  // with: belongs to this thread
    {
        auto lock = lockUser();
        for (HWND handle : windowsUnderLocked(point, true))
            candidates.push_back({handle, findWindowLocked(handle)->queue == mine});
    }
    // The calling thread's own windows are asked, and may pass the point on.
    for (const auto& [handle, own] : candidates) {
        if (own && sendMessage(handle, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)) == HTTRANSPARENT) continue;
        return handle;
    }
    return nullptr;
}

}  // extern "C"

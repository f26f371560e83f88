// A window procedure that records what it receives, and helpers that
// compare a record with the sequence the real system sends. Plain Win32:
// the same tests build with mingw-w64 and run under Wine.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace messagelog {

struct Logged {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    WINDOWPOS pos;  // WM_WINDOWPOSCHANGING / WM_WINDOWPOSCHANGED
    RECT rect;      // WM_SIZING / WM_MOVING
};

// The record of the running test; the procedure below appends to it.
inline std::vector<Logged>& log() {
    static std::vector<Logged> entries;
    return entries;
}

// A test may answer messages itself: return true and set `result`;
// returning false hands the message to DefWindowProcA.
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT& result)>;
inline Handler& handler() {
    static Handler current;
    return current;
}

inline LRESULT CALLBACK loggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Logged entry{window, message, wParam, lParam, {}, {}};
    if ((message == WM_WINDOWPOSCHANGING || message == WM_WINDOWPOSCHANGED) && lParam)
        entry.pos = *reinterpret_cast<const WINDOWPOS*>(lParam);
    if ((message == WM_SIZING || message == WM_MOVING) && lParam) entry.rect = *reinterpret_cast<const RECT*>(lParam);
    log().push_back(entry);
    LRESULT result = 0;
    if (handler() && handler()(window, message, wParam, lParam, result)) return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

inline const char* messageName(UINT message) {
    switch (message) {
    case WM_CREATE: return "WM_CREATE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_MOVE: return "WM_MOVE";
    case WM_SIZE: return "WM_SIZE";
    case WM_ACTIVATE: return "WM_ACTIVATE";
    case WM_SETFOCUS: return "WM_SETFOCUS";
    case WM_KILLFOCUS: return "WM_KILLFOCUS";
    case WM_SETTEXT: return "WM_SETTEXT";
    case WM_PAINT: return "WM_PAINT";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_ERASEBKGND: return "WM_ERASEBKGND";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_ACTIVATEAPP: return "WM_ACTIVATEAPP";
    case WM_MOUSEACTIVATE: return "WM_MOUSEACTIVATE";
    case WM_CHILDACTIVATE: return "WM_CHILDACTIVATE";
    case WM_GETMINMAXINFO: return "WM_GETMINMAXINFO";
    case WM_WINDOWPOSCHANGING: return "WM_WINDOWPOSCHANGING";
    case WM_WINDOWPOSCHANGED: return "WM_WINDOWPOSCHANGED";
    case WM_CONTEXTMENU: return "WM_CONTEXTMENU";
    case WM_STYLECHANGING: return "WM_STYLECHANGING";
    case WM_STYLECHANGED: return "WM_STYLECHANGED";
    case WM_NCCREATE: return "WM_NCCREATE";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    case WM_NCCALCSIZE: return "WM_NCCALCSIZE";
    case WM_NCHITTEST: return "WM_NCHITTEST";
    case WM_NCACTIVATE: return "WM_NCACTIVATE";
    case WM_NCMOUSEMOVE: return "WM_NCMOUSEMOVE";
    case WM_NCLBUTTONDOWN: return "WM_NCLBUTTONDOWN";
    case WM_NCLBUTTONUP: return "WM_NCLBUTTONUP";
    case WM_NCLBUTTONDBLCLK: return "WM_NCLBUTTONDBLCLK";
    case WM_NCRBUTTONDOWN: return "WM_NCRBUTTONDOWN";
    case WM_NCRBUTTONUP: return "WM_NCRBUTTONUP";
    case WM_KEYDOWN: return "WM_KEYDOWN";
    case WM_KEYUP: return "WM_KEYUP";
    case WM_CHAR: return "WM_CHAR";
    case WM_SYSKEYDOWN: return "WM_SYSKEYDOWN";
    case WM_SYSKEYUP: return "WM_SYSKEYUP";
    case WM_SYSCOMMAND: return "WM_SYSCOMMAND";
    case WM_TIMER: return "WM_TIMER";
    case WM_MOUSEMOVE: return "WM_MOUSEMOVE";
    case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP: return "WM_LBUTTONUP";
    case WM_LBUTTONDBLCLK: return "WM_LBUTTONDBLCLK";
    case WM_RBUTTONDOWN: return "WM_RBUTTONDOWN";
    case WM_RBUTTONUP: return "WM_RBUTTONUP";
    case WM_MOUSEWHEEL: return "WM_MOUSEWHEEL";
    case WM_PARENTNOTIFY: return "WM_PARENTNOTIFY";
    case WM_SIZING: return "WM_SIZING";
    case WM_CAPTURECHANGED: return "WM_CAPTURECHANGED";
    case WM_MOVING: return "WM_MOVING";
    case WM_ENTERSIZEMOVE: return "WM_ENTERSIZEMOVE";
    case WM_EXITSIZEMOVE: return "WM_EXITSIZEMOVE";
    default: return nullptr;
    }
}

inline std::string describe(UINT message) {
    if (const char* name = messageName(message)) return name;
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", message);
    return text;
}

// Messages that the real system sends beside the ones a test pins down
// (input-method, accessibility, icon and frame-painting traffic, the cursor
// shape, and the background erase, whose timing differs between
// implementations and which nothing here relies on).
inline bool isNoise(UINT message) {
    switch (message) {
    case WM_SETCURSOR:
    case WM_NCPAINT:
    case WM_ERASEBKGND:
    case 0x000D:  // WM_GETTEXT, asked for while the frame is drawn
    case 0x003D:  // WM_GETOBJECT
    case 0x007F:  // WM_GETICON
    case 0x0088:  // WM_SYNCPAINT
    case 0x0281:  // WM_IME_SETCONTEXT
    case 0x0282:  // WM_IME_NOTIFY
    case 0x030F:  // WM_QUERYNEWPALETTE
    case 0x031F:  // WM_DWMNCRENDERINGCHANGED
        return true;
    default: return message >= 0x0090 && message <= 0x0095;  // theme and menu-bar traffic
    }
}

// One expected message: which window (by the test's own name for it) and,
// when it matters, the word parameter, or for the window-position messages
// the flags among `flagMask`.
struct Expected {
    const char* window;
    UINT message;
    bool checkWParam = false;
    WPARAM wParam = 0;
    UINT flags = 0;  // WM_WINDOWPOS*: compared under `mask`
    UINT mask = 0;
};

// The window-position flags a caller chooses; the real system also keeps
// flags of its own in the record, which the tests leave alone.
constexpr UINT kFlagMask = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_HIDEWINDOW;

inline Expected msg(const char* window, UINT message) { return Expected{window, message}; }
inline Expected msgW(const char* window, UINT message, WPARAM wParam) {
    return Expected{window, message, true, wParam};
}
inline Expected pos(const char* window, UINT message, UINT flags) {
    return Expected{window, message, false, 0, flags, kFlagMask};
}
// For WM_WINDOWPOSCHANGING of a call whose place or size stays: whether
// SWP_NOMOVE / SWP_NOSIZE are marked before the window is asked differs
// (the subset marks them, Wine does not), and nothing here relies on it.
inline Expected posAsked(const char* window, UINT message, UINT flags) {
    return Expected{window, message, false, 0, flags, kFlagMask & ~static_cast<UINT>(SWP_NOMOVE | SWP_NOSIZE)};
}

// For changes whose SWP_NOZORDER depends on where earlier windows left the
// stacking (the real system adds it when the window is already in place).
inline Expected posAnyOrder(const char* window, UINT message, UINT flags) {
    return Expected{window, message, false, 0, flags, kFlagMask & ~static_cast<UINT>(SWP_NOZORDER)};
}

struct Named {
    const char* name;
    HWND window;
};

inline std::string render(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += "  " + line + "\n";
    return text;
}

// Compares the record (noise left out, windows outside `windows` left out)
// with `expected`, message for message.
inline ::testing::AssertionResult sequenceIs(const std::vector<Logged>& record, std::initializer_list<Named> windows,
                                            const std::vector<Expected>& expected) {
    auto nameOf = [&](HWND window) -> const char* {
        for (const Named& named : windows)
            if (named.window == window) return named.name;
        return nullptr;
    };
    std::vector<std::string> got, want;
    std::vector<const Logged*> kept;
    for (const Logged& entry : record) {
        if (isNoise(entry.message) || !nameOf(entry.window)) continue;
        kept.push_back(&entry);
        std::string line = std::string(nameOf(entry.window)) + " " + describe(entry.message);
        if (entry.message == WM_WINDOWPOSCHANGING || entry.message == WM_WINDOWPOSCHANGED) {
            char flags[32];
            std::snprintf(flags, sizeof flags, " flags 0x%04X", entry.pos.flags & kFlagMask);
            line += flags;
        } else {
            line += " wParam " + std::to_string(static_cast<unsigned long long>(entry.wParam));
        }
        got.push_back(line);
    }
    for (const Expected& e : expected) {
        std::string line = std::string(e.window) + " " + describe(e.message);
        if (e.message == WM_WINDOWPOSCHANGING || e.message == WM_WINDOWPOSCHANGED) {
            char flags[32];
            std::snprintf(flags, sizeof flags, " flags 0x%04X of 0x%04X", e.flags & e.mask, e.mask);
            line += flags;
        } else if (e.checkWParam) {
            line += " wParam " + std::to_string(static_cast<unsigned long long>(e.wParam));
        } else {
            line += " wParam any";
        }
        want.push_back(line);
    }
    bool same = kept.size() == expected.size();
    for (size_t i = 0; same && i < kept.size(); ++i) {
        const Logged& entry = *kept[i];
        const Expected& e = expected[i];
        if (std::string(nameOf(entry.window)) != e.window || entry.message != e.message) same = false;
        else if ((e.message == WM_WINDOWPOSCHANGING || e.message == WM_WINDOWPOSCHANGED) &&
                 (entry.pos.flags & e.mask) != (e.flags & e.mask))
            same = false;
        else if (e.checkWParam && entry.wParam != e.wParam) same = false;
    }
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "messages received:\n" << render(got) << "expected:\n" << render(want);
}

// The entries of one message kind, in order.
inline std::vector<Logged> only(UINT message) {
    std::vector<Logged> found;
    for (const Logged& entry : log())
        if (entry.message == message) found.push_back(entry);
    return found;
}

// Runs the calling thread's queue until nothing is left (timers aside).
inline void pumpPending() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A class with the logging procedure, registered for the test's life, and
// every window the test makes, destroyed at its end.
class LoggingWindows : public ::testing::Test {
protected:
    static constexpr const char* kClass = "SubsetLoggingWindow";

    void SetUp() override {
        log().clear();
        handler() = nullptr;
        WNDCLASSA windowClass{};
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = loggingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClass;
        ASSERT_NE(RegisterClassA(&windowClass), 0);
    }

    void TearDown() override {
        handler() = nullptr;
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            if (IsWindow(*it)) DestroyWindow(*it);
        pumpPending();
        UnregisterClassA(kClass, GetModuleHandleA(nullptr));
        log().clear();
    }

    HWND make(DWORD exStyle, DWORD style, int x, int y, int width, int height, HWND parent = nullptr,
              const char* title = "") {
        HWND window = CreateWindowExA(exStyle, kClass, title, style, x, y, width, height, parent, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        if (window) made_.push_back(window);
        return window;
    }

    // The plug-in's window: a borderless, layered tool window.
    static constexpr DWORD kPluginExStyle = WS_EX_TOOLWINDOW | WS_EX_LAYERED;
    static constexpr DWORD kPluginStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

private:
    std::vector<HWND> made_;
};

}  // namespace messagelog

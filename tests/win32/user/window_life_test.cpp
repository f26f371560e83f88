// Creating and destroying windows: the messages and their order, and the
// state a new window is in.
#include "message_log.h"

using namespace messagelog;

namespace {

class WindowLife : public LoggingWindows {};

struct CreationCase {
    const char* name;
    DWORD exStyle;
    DWORD style;
    std::vector<Expected> expected;
};

TEST_F(WindowLife, CreationSendsTheRealSequenceForEachStyle) {
    const CreationCase cases[] = {
        {"hidden pop-up",
         WS_EX_TOOLWINDOW,
         WS_POPUP,
         {msg("w", WM_NCCREATE), msgW("w", WM_NCCALCSIZE, FALSE), msg("w", WM_CREATE), msgW("w", WM_SIZE, SIZE_RESTORED),
          msg("w", WM_MOVE)}},
        {"pop-up with a sizing frame asks for its limits first",
         0,
         WS_POPUP | WS_THICKFRAME,
         {msg("w", WM_GETMINMAXINFO), msg("w", WM_NCCREATE), msgW("w", WM_NCCALCSIZE, FALSE), msg("w", WM_CREATE),
          msgW("w", WM_SIZE, SIZE_RESTORED), msg("w", WM_MOVE)}},
        {"the plug-in's visible layered tool window is shown and activated after creation",
         WS_EX_TOOLWINDOW | WS_EX_LAYERED,
         WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
         {msg("w", WM_NCCREATE), msgW("w", WM_NCCALCSIZE, FALSE), msg("w", WM_CREATE),
          msgW("w", WM_SIZE, SIZE_RESTORED), msg("w", WM_MOVE), msgW("w", WM_SHOWWINDOW, TRUE),
          pos("w", WM_WINDOWPOSCHANGING, SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE), msgW("w", WM_ACTIVATEAPP, TRUE), msgW("w", WM_NCACTIVATE, TRUE), msgW("w", WM_ACTIVATE, WA_ACTIVE),
          msg("w", WM_SETFOCUS), posAnyOrder("w", WM_WINDOWPOSCHANGED, SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE)}},
    };
    for (const CreationCase& c : cases) {
        SCOPED_TRACE(c.name);
        log().clear();
        HWND window = make(c.exStyle, c.style, 100, 50, 120, 30);
        ASSERT_TRUE(window);
        EXPECT_TRUE(sequenceIs(log(), {{"w", window}}, c.expected));
        DestroyWindow(window);
        pumpPending();
    }
}

TEST_F(WindowLife, CreationReportsTheNewPlaceAndSize) {
    HWND window = make(kPluginExStyle, kPluginStyle & ~static_cast<DWORD>(WS_VISIBLE), 100, 50, 120, 30);
    ASSERT_TRUE(window);
    auto sizes = only(WM_SIZE);
    auto moves = only(WM_MOVE);
    ASSERT_EQ(sizes.size(), 1u);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 120);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 30);
    EXPECT_EQ(LOWORD(moves[0].lParam), 100);
    EXPECT_EQ(HIWORD(moves[0].lParam), 50);

    RECT rect;
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right, 220);
    EXPECT_EQ(rect.bottom, 80);
    ASSERT_TRUE(GetClientRect(window, &rect));  // borderless: the client area is the whole window
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 120);
    EXPECT_EQ(rect.bottom, 30);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)) & kPluginExStyle, kPluginExStyle);
}

TEST_F(WindowLife, WindowIsHiddenWhileItsCreateMessagesRun) {
    std::vector<BOOL> visibleDuring;
    handler() = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_CREATE || message == WM_SIZE || message == WM_MOVE) visibleDuring.push_back(IsWindowVisible(window));
        return false;
    };
    HWND window = make(0, WS_POPUP | WS_VISIBLE, 0, 0, 10, 10);
    ASSERT_TRUE(window);
    EXPECT_EQ(visibleDuring, (std::vector<BOOL>{FALSE, FALSE, FALSE}));
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WindowLife, CreateParametersReachTheWindow) {
    int marker = 7;
    const CREATESTRUCTA* seen = nullptr;
    CREATESTRUCTA copy{};
    handler() = [&](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT&) {
        if (message == WM_CREATE) {
            seen = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            copy = *seen;
        }
        return false;
    };
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, "Title", WS_POPUP, 5, 6, 70, 80, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), &marker);
    ASSERT_TRUE(window);
    ASSERT_TRUE(seen);
    EXPECT_EQ(copy.lpCreateParams, &marker);
    EXPECT_EQ(copy.x, 5);
    EXPECT_EQ(copy.y, 6);
    EXPECT_EQ(copy.cx, 70);
    EXPECT_EQ(copy.cy, 80);
    EXPECT_EQ(static_cast<DWORD>(copy.style), static_cast<DWORD>(WS_POPUP));
    EXPECT_EQ(copy.dwExStyle, static_cast<DWORD>(WS_EX_TOOLWINDOW));
    char title[16] = "";
    EXPECT_EQ(GetWindowTextA(window, title, sizeof title), 5);
    EXPECT_STREQ(title, "Title");
    DestroyWindow(window);
}

TEST_F(WindowLife, ChildCreationNotifiesTheParentBeforeShowing) {
    HWND parent = make(0, WS_POPUP, 0, 0, 200, 100);
    ASSERT_TRUE(parent);
    log().clear();
    HWND child = make(0, WS_CHILD | WS_VISIBLE, 10, 20, 50, 40, parent);
    ASSERT_TRUE(child);
    EXPECT_TRUE(sequenceIs(log(), {{"p", parent}, {"c", child}},
                           {msg("c", WM_NCCREATE), msgW("c", WM_NCCALCSIZE, FALSE), msg("c", WM_CREATE),
                            msgW("c", WM_SIZE, SIZE_RESTORED), msg("c", WM_MOVE), msgW("p", WM_PARENTNOTIFY, WM_CREATE),
                            // Its parent is hidden: nothing can show, so only the style changes.
                            msgW("c", WM_SHOWWINDOW, TRUE)}));
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
    log().clear();
    ShowWindow(parent, SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(child));
    ShowWindow(child, SW_HIDE);  // with the parent shown, the real change
    EXPECT_TRUE(sequenceIs(log(), {{"p", parent}, {"c", child}},
                           {msgW("p", WM_SHOWWINDOW, TRUE),
                            posAnyOrder("p", WM_WINDOWPOSCHANGING, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE | SWP_NOMOVE),
                            posAnyOrder("p", WM_WINDOWPOSCHANGED, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE | SWP_NOMOVE),
                            msgW("c", WM_SHOWWINDOW, FALSE),
                            pos("c", WM_WINDOWPOSCHANGING,
                                SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER),
                            pos("c", WM_WINDOWPOSCHANGED,
                                SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER)}));
    RECT rect;
    ASSERT_TRUE(GetWindowRect(child, &rect));
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
}

TEST_F(WindowLife, RefusedCreationOnlyEndsTheWindow) {
    struct Refusal {
        const char* name;
        UINT message;
        LRESULT answer;
        std::vector<Expected> expected;
    };
    const Refusal refusals[] = {
        {"WM_NCCREATE answered FALSE", WM_NCCREATE, FALSE, {msg("w", WM_NCCREATE), msg("w", WM_NCDESTROY)}},
        {"WM_CREATE answered -1",
         WM_CREATE,
         -1,
         {msg("w", WM_NCCREATE), msg("w", WM_NCCALCSIZE), msg("w", WM_CREATE), msg("w", WM_NCDESTROY)}},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        log().clear();
        HWND seen = nullptr;
        handler() = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
            seen = window;
            if (message != refusal.message) return false;
            result = refusal.answer;
            return true;
        };
        HWND window = make(0, WS_POPUP | WS_VISIBLE, 0, 0, 10, 10);
        EXPECT_EQ(window, nullptr);
        EXPECT_FALSE(IsWindow(seen));
        EXPECT_TRUE(sequenceIs(log(), {{"w", seen}}, refusal.expected));
    }
}

TEST_F(WindowLife, CreationFailsWithoutAClassOrWithoutAParentForAChild) {
    EXPECT_EQ(CreateWindowExA(0, "NoSuchSubsetClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr),
              nullptr);
    EXPECT_EQ(make(0, WS_CHILD, 0, 0, 1, 1, nullptr), nullptr);
    EXPECT_TRUE(log().empty());
}

TEST_F(WindowLife, DestroyingSendsDestroyToParentsFirstAndNcDestroyToChildrenFirst) {
    HWND parent = make(0, WS_POPUP, 0, 0, 200, 100);
    HWND child = make(0, WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent);
    HWND grandchild = make(0, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, child);
    ASSERT_TRUE(parent && child && grandchild);
    ShowWindow(parent, SW_SHOWNA);
    log().clear();
    ASSERT_TRUE(DestroyWindow(parent));
    EXPECT_TRUE(sequenceIs(log(), {{"p", parent}, {"c", child}, {"g", grandchild}},
                           {pos("p", WM_WINDOWPOSCHANGING,
                                SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE),
                            pos("p", WM_WINDOWPOSCHANGED,
                                SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE),
                            msg("p", WM_DESTROY), msg("c", WM_DESTROY), msg("g", WM_DESTROY), msg("g", WM_NCDESTROY),
                            msg("c", WM_NCDESTROY), msg("p", WM_NCDESTROY)}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
    EXPECT_FALSE(DestroyWindow(parent));
}

TEST_F(WindowLife, DestroyingAChildTellsItsParentFirst) {
    HWND parent = make(0, WS_POPUP, 0, 0, 200, 100);
    HWND child = make(0, WS_CHILD, 0, 0, 50, 50, parent);
    ASSERT_TRUE(parent && child);
    log().clear();
    ASSERT_TRUE(DestroyWindow(child));
    EXPECT_TRUE(sequenceIs(log(), {{"p", parent}, {"c", child}},
                           {msgW("p", WM_PARENTNOTIFY, WM_DESTROY), msg("c", WM_DESTROY), msg("c", WM_NCDESTROY)}));
    EXPECT_TRUE(IsWindow(parent));
}

TEST_F(WindowLife, DestroyingAnOwnerDestroysTheWindowsItOwns) {
    HWND owner = make(0, WS_POPUP, 0, 0, 200, 100);
    HWND owned = make(0, WS_POPUP, 0, 0, 50, 50, owner);
    ASSERT_TRUE(owner && owned);
    EXPECT_EQ(GetParent(owned), owner);  // a pop-up's parent is its owner
    log().clear();
    ASSERT_TRUE(DestroyWindow(owner));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_TRUE(sequenceIs(log(), {{"o", owner}, {"w", owned}},
                           {msg("w", WM_DESTROY), msg("w", WM_NCDESTROY), msg("o", WM_DESTROY), msg("o", WM_NCDESTROY)}));
}

TEST_F(WindowLife, CloseDestroysOnlyThroughTheDefaultHandling) {
    HWND keeps = make(0, WS_POPUP, 0, 0, 10, 10);
    HWND closes = make(0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(keeps && closes);
    handler() = [&](HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_CLOSE || window != keeps) return false;
        result = 0;  // a close request that the window ignores
        return true;
    };
    SendMessageA(keeps, WM_CLOSE, 0, 0);
    SendMessageA(closes, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(keeps));
    EXPECT_FALSE(IsWindow(closes));
}

TEST_F(WindowLife, ClassesRegisterOnceAndUnregisterOnlyWithoutWindows) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = loggingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SubsetLoggingWINDOW";  // class names ignore letter case
    EXPECT_EQ(RegisterClassA(&windowClass), 0);

    HWND window = make(0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(window);
    EXPECT_FALSE(UnregisterClassA(kClass, GetModuleHandleA(nullptr)));
    DestroyWindow(window);
    EXPECT_TRUE(UnregisterClassA(kClass, GetModuleHandleA(nullptr)));
    EXPECT_FALSE(UnregisterClassA(kClass, GetModuleHandleA(nullptr)));
    EXPECT_NE(RegisterClassA(&windowClass), 0);  // the name is free again
    EXPECT_TRUE(UnregisterClassA("SubsetLoggingWINDOW", GetModuleHandleA(nullptr)));
    windowClass.lpszClassName = kClass;
    EXPECT_NE(RegisterClassA(&windowClass), 0);  // as the fixture had it
}

TEST_F(WindowLife, SystemCursorsLoadAndUnknownOnesDoNot) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
}

TEST_F(WindowLife, FindWindowMatchesClassAndTitleWithoutLetterCase) {
    HWND first = make(0, WS_POPUP, 0, 0, 10, 10, nullptr, "Alpha");
    HWND second = make(0, WS_POPUP, 0, 0, 10, 10, nullptr, "Beta");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(FindWindowA(kClass, "Alpha"), first);
    EXPECT_EQ(FindWindowA("subsetloggingwindow", "beta"), second);
    EXPECT_EQ(FindWindowA(nullptr, "Beta"), second);
    EXPECT_EQ(FindWindowA(kClass, "Gamma"), nullptr);
    EXPECT_TRUE(SetWindowTextA(first, "Gamma"));
    EXPECT_EQ(FindWindowA(kClass, "Gamma"), first);
    EXPECT_EQ(FindWindowA(kClass, "Alpha"), nullptr);
}

}  // namespace

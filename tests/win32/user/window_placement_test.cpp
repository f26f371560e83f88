// Moving, sizing, showing and stacking windows; styles and layered
// attributes.
#include "message_log.h"
#include "window_helpers.h"

using namespace messagelog;

namespace {

using testsupport::windowRect;

class WindowPlacement : public LoggingWindows {
protected:
    // A visible, inactive pop-up at (10, 20), 100 by 50, with the log cleared.
    HWND shownPopup() {
        HWND window = make(0, WS_POPUP, 10, 20, 100, 50);
        if (window) ShowWindow(window, SW_SHOWNA);
        log().clear();
        return window;
    }
};

TEST_F(WindowPlacement, SetWindowPosSendsChangingThenChangedAndOnlyTheDefaultSendsMoveAndSize) {
    struct Case {
        const char* name;
        int x, y, cx, cy;
        UINT flags;
        std::vector<Expected> expected;
        RECT after;
    };
    const UINT quiet = SWP_NOZORDER | SWP_NOACTIVATE;
    const Case cases[] = {
        {"move",
         40, 30, 0, 0, SWP_NOSIZE | quiet,
         {pos("w", WM_WINDOWPOSCHANGING, SWP_NOSIZE | quiet), pos("w", WM_WINDOWPOSCHANGED, SWP_NOSIZE | quiet),
          msg("w", WM_MOVE)},
         {40, 30, 140, 80}},
        {"resize",
         0, 0, 70, 60, SWP_NOMOVE | quiet,
         {pos("w", WM_WINDOWPOSCHANGING, SWP_NOMOVE | quiet), msgW("w", WM_NCCALCSIZE, TRUE),
          pos("w", WM_WINDOWPOSCHANGED, SWP_NOMOVE | quiet), msgW("w", WM_SIZE, SIZE_RESTORED)},
         {10, 20, 80, 80}},
        {"move and resize: WM_MOVE before WM_SIZE",
         40, 30, 70, 60, quiet,
         {pos("w", WM_WINDOWPOSCHANGING, quiet), msgW("w", WM_NCCALCSIZE, TRUE), pos("w", WM_WINDOWPOSCHANGED, quiet),
          msg("w", WM_MOVE), msgW("w", WM_SIZE, SIZE_RESTORED)},
         {40, 30, 110, 90}},
        {"the same place and size: the window is asked, then nothing changes",
         10, 20, 100, 50, quiet,
         {posAsked("w", WM_WINDOWPOSCHANGING, quiet)},
         {10, 20, 110, 70}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = shownPopup();
        ASSERT_TRUE(window);
        ASSERT_TRUE(SetWindowPos(window, nullptr, c.x, c.y, c.cx, c.cy, c.flags));
        EXPECT_TRUE(sequenceIs(log(), {{"w", window}}, c.expected));
        RECT rect = windowRect(window);
        EXPECT_EQ(rect.left, c.after.left);
        EXPECT_EQ(rect.top, c.after.top);
        EXPECT_EQ(rect.right, c.after.right);
        EXPECT_EQ(rect.bottom, c.after.bottom);
        DestroyWindow(window);
    }
}

TEST_F(WindowPlacement, MoveAndSizeReportTheClientPlaceAndSize) {
    HWND window = shownPopup();
    ASSERT_TRUE(window);
    SetWindowPos(window, nullptr, 300, 200, 120, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    auto moves = only(WM_MOVE);
    auto sizes = only(WM_SIZE);
    auto changed = only(WM_WINDOWPOSCHANGED);
    ASSERT_EQ(moves.size(), 1u);
    ASSERT_EQ(sizes.size(), 1u);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(LOWORD(moves[0].lParam), 300);
    EXPECT_EQ(HIWORD(moves[0].lParam), 200);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 120);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 30);
    EXPECT_EQ(changed[0].pos.x, 300);
    EXPECT_EQ(changed[0].pos.y, 200);
    EXPECT_EQ(changed[0].pos.cx, 120);
    EXPECT_EQ(changed[0].pos.cy, 30);
}

TEST_F(WindowPlacement, WindowThatAnswersChangedItselfGetsNoMoveOrSize) {
    HWND window = shownPopup();
    ASSERT_TRUE(window);
    handler() = [](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_WINDOWPOSCHANGED) return false;
        result = 0;
        return true;
    };
    SetWindowPos(window, nullptr, 50, 60, 70, 80, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(only(WM_MOVE).empty());
    EXPECT_TRUE(only(WM_SIZE).empty());
    RECT rect = windowRect(window);
    EXPECT_EQ(rect.left, 50);
    EXPECT_EQ(rect.bottom, 140);
}

TEST_F(WindowPlacement, ChangingMayRewriteThePlaceBeforeItTakesEffect) {
    HWND window = shownPopup();
    ASSERT_TRUE(window);
    handler() = [](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
        if (message != WM_WINDOWPOSCHANGING) return false;
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        pos->x = 0;  // as a snap to the screen's left edge would
        result = 0;
        return true;
    };
    SetWindowPos(window, nullptr, 7, 90, 100, 50, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect = windowRect(window);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 90);
    auto changed = only(WM_WINDOWPOSCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].pos.x, 0);
}

TEST_F(WindowPlacement, PluginPlacementShowsWithoutActivatingAndMakesTopMost) {
    HWND window = make(kPluginExStyle, kPluginStyle & ~static_cast<DWORD>(WS_VISIBLE), 0, 0, 10, 10);
    ASSERT_TRUE(window);
    log().clear();
    HWND activeBefore = GetActiveWindow();
    ASSERT_TRUE(SetWindowPos(window, HWND_TOPMOST, 300, 200, 120, 30, SWP_SHOWWINDOW | SWP_NOACTIVATE));
    EXPECT_TRUE(sequenceIs(log(), {{"w", window}},
                           {pos("w", WM_WINDOWPOSCHANGING, SWP_SHOWWINDOW | SWP_NOACTIVATE),
                            msgW("w", WM_NCCALCSIZE, TRUE), pos("w", WM_WINDOWPOSCHANGED, SWP_SHOWWINDOW | SWP_NOACTIVATE),
                            msg("w", WM_MOVE), msgW("w", WM_SIZE, SIZE_RESTORED)}));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetActiveWindow(), activeBefore);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);

    log().clear();
    SetWindowPos(window, HWND_NOTOPMOST, 300, 200, 120, 30, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(WindowPlacement, ShowWindowSendsShowWindowOnlyWhenVisibilityChanges) {
    struct Case {
        const char* name;
        bool visibleBefore;
        int command;
        BOOL result;
        bool visibleAfter;
        std::vector<Expected> expected;
    };
    const UINT still = SWP_NOSIZE | SWP_NOMOVE;
    const Case cases[] = {
        {"SW_SHOWNA on a hidden window", false, SW_SHOWNA, FALSE, true,
         {msgW("w", WM_SHOWWINDOW, TRUE), pos("w", WM_WINDOWPOSCHANGING, SWP_SHOWWINDOW | SWP_NOACTIVATE | still),
          posAnyOrder("w", WM_WINDOWPOSCHANGED, SWP_SHOWWINDOW | SWP_NOACTIVATE | still)}},
        {"SW_HIDE on a visible window", true, SW_HIDE, TRUE, false,
         {msgW("w", WM_SHOWWINDOW, FALSE), pos("w", WM_WINDOWPOSCHANGING, SWP_HIDEWINDOW | still),
          posAnyOrder("w", WM_WINDOWPOSCHANGED, SWP_HIDEWINDOW | still)}},
        {"SW_HIDE on a hidden window", false, SW_HIDE, FALSE, false, {}},
        {"SW_SHOW on a visible window", true, SW_SHOW, TRUE, true, {}},
        {"SW_SHOWNORMAL on a visible window", true, SW_SHOWNORMAL, TRUE, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = make(0, WS_POPUP, 0, 0, 10, 10);
        ASSERT_TRUE(window);
        if (c.visibleBefore) ShowWindow(window, SW_SHOWNA);
        log().clear();
        EXPECT_EQ(ShowWindow(window, c.command), c.result);
        EXPECT_EQ(IsWindowVisible(window) != FALSE, c.visibleAfter);
        EXPECT_TRUE(sequenceIs(log(), {{"w", window}}, c.expected));
        DestroyWindow(window);
    }
}

TEST_F(WindowPlacement, ShowingActivatesAndHidingHandsActivationOn) {
    HWND first = make(0, WS_POPUP, 0, 0, 10, 10);
    HWND second = make(0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(first && second);
    ShowWindow(first, SW_SHOW);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), first);
    log().clear();
    ShowWindow(second, SW_SHOW);
    EXPECT_EQ(GetActiveWindow(), second);
    EXPECT_TRUE(sequenceIs(log(), {{"a", first}, {"b", second}},
                           {msgW("b", WM_SHOWWINDOW, TRUE),
                            pos("b", WM_WINDOWPOSCHANGING, SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE),
                            msgW("a", WM_NCACTIVATE, FALSE), msgW("a", WM_ACTIVATE, WA_INACTIVE),
                            msgW("b", WM_NCACTIVATE, TRUE), msgW("b", WM_ACTIVATE, WA_ACTIVE), msg("a", WM_KILLFOCUS),
                            msg("b", WM_SETFOCUS),
                            posAnyOrder("b", WM_WINDOWPOSCHANGED, SWP_SHOWWINDOW | SWP_NOSIZE | SWP_NOMOVE)}));
    ShowWindow(second, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), first);
}

TEST_F(WindowPlacement, TopMostWindowsStayAboveTheOthers) {
    HWND topmost = make(0, WS_POPUP, 0, 0, 10, 10);
    HWND plain = make(0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(topmost && plain);
    SetWindowPos(topmost, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    SetWindowPos(plain, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    POINT inside{5, 5};
    EXPECT_EQ(WindowFromPoint(inside), topmost);
    // Placing a top-most window after a plain one ends its top-most state.
    SetWindowPos(topmost, plain, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_FALSE(GetWindowLongA(topmost, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowFromPoint(inside), plain);
}

TEST_F(WindowPlacement, StyleChangesAreAnnouncedAndReturnTheOldValue) {
    HWND window = make(WS_EX_TOOLWINDOW, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(window);
    log().clear();
    std::vector<STYLESTRUCT> seen;
    handler() = [&](HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT&) {
        if ((message == WM_STYLECHANGING || message == WM_STYLECHANGED) && wParam == static_cast<WPARAM>(GWL_EXSTYLE))
            seen.push_back(*reinterpret_cast<const STYLESTRUCT*>(lParam));
        return false;
    };
    LONG old = GetWindowLongA(window, GWL_EXSTYLE);
    EXPECT_EQ(old & WS_EX_LAYERED, 0);
    EXPECT_EQ(SetWindowLongA(window, GWL_EXSTYLE, old | WS_EX_LAYERED), old);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_TRUE(sequenceIs(log(), {{"w", window}},
                           {msgW("w", WM_STYLECHANGING, static_cast<WPARAM>(GWL_EXSTYLE)),
                            msgW("w", WM_STYLECHANGED, static_cast<WPARAM>(GWL_EXSTYLE))}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].styleOld, static_cast<DWORD>(old));
    EXPECT_EQ(seen[0].styleNew & WS_EX_LAYERED, static_cast<DWORD>(WS_EX_LAYERED));

    // WS_EX_TOPMOST changes only through SetWindowPos.
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(WindowPlacement, LayeredAttributesNeedTheLayeredStyleAndAreForgottenWithIt) {
    HWND window = make(WS_EX_TOOLWINDOW, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(window);
    const COLORREF key = RGB(255, 0, 230);
    EXPECT_FALSE(SetLayeredWindowAttributes(window, key, 200, LWA_COLORKEY | LWA_ALPHA));
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    COLORREF gotKey = 0;
    BYTE gotAlpha = 0;
    DWORD gotFlags = 0;
    EXPECT_FALSE(GetLayeredWindowAttributes(window, &gotKey, &gotAlpha, &gotFlags));  // never set
    EXPECT_TRUE(SetLayeredWindowAttributes(window, key, 44, LWA_COLORKEY | LWA_ALPHA));
    ASSERT_TRUE(GetLayeredWindowAttributes(window, &gotKey, &gotAlpha, &gotFlags));
    EXPECT_EQ(gotKey, key);
    EXPECT_EQ(gotAlpha, 44);
    EXPECT_EQ(gotFlags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));

    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) & ~WS_EX_LAYERED);
    SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    EXPECT_FALSE(GetLayeredWindowAttributes(window, &gotKey, &gotAlpha, &gotFlags));
}

TEST_F(WindowPlacement, ChildCoordinatesFollowTheirParent) {
    HWND parent = make(0, WS_POPUP, 100, 50, 200, 100);
    HWND child = make(0, WS_CHILD | WS_VISIBLE, 10, 20, 30, 40, parent);
    ASSERT_TRUE(parent && child);
    RECT rect = windowRect(child);
    EXPECT_EQ(rect.left, 110);
    EXPECT_EQ(rect.top, 70);
    EXPECT_EQ(rect.right, 140);
    EXPECT_EQ(rect.bottom, 110);
    POINT point{115, 75};
    ASSERT_TRUE(ScreenToClient(child, &point));
    EXPECT_EQ(point.x, 5);
    EXPECT_EQ(point.y, 5);
    ASSERT_TRUE(ClientToScreen(parent, &point));
    EXPECT_EQ(point.x, 105);
    EXPECT_EQ(point.y, 55);

    MoveWindow(parent, 0, 0, 200, 100, TRUE);
    rect = windowRect(child);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
}

TEST_F(WindowPlacement, SetParentKeepsCoordinatesRelativeToTheNewParent) {
    HWND dock = make(0, WS_POPUP, 500, 400, 200, 100);
    HWND window = make(0, WS_POPUP, 30, 40, 20, 10);
    ASSERT_TRUE(dock && window);
    EXPECT_EQ(SetParent(window, dock), GetDesktopWindow());  // it was top-level
    RECT rect = windowRect(window);
    EXPECT_EQ(rect.left, 530);
    EXPECT_EQ(rect.top, 440);
    EXPECT_EQ(SetParent(window, nullptr), dock);
    rect = windowRect(window);
    EXPECT_EQ(rect.left, 30);
    EXPECT_EQ(rect.top, 40);
    SetParent(window, dock);
    EXPECT_EQ(SetParent(dock, window), nullptr) << "a window cannot go inside its own child";
    EXPECT_EQ(GetWindowLongA(dock, GWL_STYLE) & WS_CHILD, 0);
}

}  // namespace

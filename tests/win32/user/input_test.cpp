// Input through SendInput: where pointer messages go and what they say,
// the key state, the cursor, capture and the wheel.
#include "input_helpers.h"
#include "known_difference.h"
#include "message_log.h"

using namespace messagelog;
using namespace inputs;

namespace {

bool isMouseMessage(UINT message) {
    return (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCMBUTTONUP) || message == WM_CONTEXTMENU;
}

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> mouseMessages() {
    std::vector<Seen> seen;
    for (const Logged& entry : log())
        if (isMouseMessage(entry.message)) seen.push_back({entry.window, entry.message, entry.wParam, entry.lParam});
    return seen;
}

class Input : public LoggingWindows {
protected:
    // A visible window at (100, 100), 200 by 100, whose hit test answers `hit`
    // (0: the default) and that keeps non-client presses and the right
    // release to itself, so the default handling starts no move loop.
    HWND answeringWindow(LRESULT hit, int x = 100, int y = 100) {
        HWND window = make(0, WS_POPUP, x, y, 200, 100);
        if (!window) return nullptr;
        hits_.push_back({window, hit});
        ShowWindow(window, SW_SHOWNA);
        pumpPending();
        return window;
    }

    void SetUp() override {
        LoggingWindows::SetUp();
        handler() = [this](HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
            for (const auto& [handle, hit] : hits_) {
                if (handle != window) continue;
                if (message == WM_NCHITTEST && hit) {
                    result = hit;
                    return true;
                }
            }
            if (message == WM_NCLBUTTONDOWN || message == WM_NCRBUTTONDOWN || message == WM_NCRBUTTONUP) {
                result = 0;
                return true;
            }
            return false;
        };
    }

    void TearDown() override {
        send({key(VK_MENU, true), button(MOUSEEVENTF_LEFTUP)});
        pumpPending();
        LoggingWindows::TearDown();
    }

    std::vector<std::pair<HWND, LRESULT>> hits_;
};

TEST_F(Input, ClientClicksArriveInClientCoordinates) {
    HWND window = answeringWindow(0);
    ASSERT_TRUE(window);
    log().clear();
    ASSERT_EQ(clickAt(130, 140), 4u);
    pumpPending();
    auto seen = mouseMessages();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(seen[1].wParam, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(LOWORD(seen[1].lParam), 30);
    EXPECT_EQ(HIWORD(seen[1].lParam), 40);
    EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(seen[2].wParam, 0u);
    for (const Seen& s : seen) EXPECT_EQ(s.window, window);
    EXPECT_EQ(GetActiveWindow(), window) << "a click activates the window";
    EXPECT_EQ(only(WM_MOUSEACTIVATE).size(), 1u);
}

TEST_F(Input, TheHitTestDecidesBetweenClientAndNonClientMessages) {
    struct Case {
        const char* name;
        LRESULT hit;
        DWORD down, up;
        std::vector<UINT> expected;
        WPARAM wParam;  // of the press
        bool screenPoint;
    };
    const Case cases[] = {
        {"left press on a caption", HTCAPTION, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP,
         {WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP}, HTCAPTION, true},
        {"right click on a caption", HTCAPTION, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP,
         {WM_NCMOUSEMOVE, WM_NCRBUTTONDOWN, WM_NCRBUTTONUP}, HTCAPTION, true},
        {"right click in the client area, with the context menu that follows", HTCLIENT, MOUSEEVENTF_RIGHTDOWN,
         MOUSEEVENTF_RIGHTUP, {WM_MOUSEMOVE, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}, MK_RBUTTON, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = answeringWindow(c.hit);
        ASSERT_TRUE(window);
        log().clear();
        clickAt(130, 140, c.down, c.up);
        pumpPending();
        auto seen = mouseMessages();
        std::vector<UINT> kinds;
        for (const Seen& s : seen) kinds.push_back(s.message);
        EXPECT_EQ(kinds, c.expected);
        if (seen.size() >= 2) {
            EXPECT_EQ(seen[1].wParam, c.wParam);
            EXPECT_EQ(LOWORD(seen[1].lParam), c.screenPoint ? 130 : 30);
            EXPECT_EQ(HIWORD(seen[1].lParam), c.screenPoint ? 140 : 40);
        }
        if (c.expected.back() == WM_CONTEXTMENU) {
            EXPECT_EQ(LOWORD(seen.back().lParam), 130);  // the context menu's point is on the screen
            EXPECT_EQ(HIWORD(seen.back().lParam), 140);
        }
        DestroyWindow(window);
        hits_.clear();
    }
}

TEST_F(Input, TopMostWindowsAreHitFirstAndTransparentHitsPassThrough) {
    HWND lower = answeringWindow(0);
    HWND upper = answeringWindow(0, 150, 120);
    ASSERT_TRUE(lower && upper);
    SetWindowPos(lower, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    log().clear();
    clickAt(200, 150);  // inside both
    pumpPending();
    auto seen = mouseMessages();
    ASSERT_FALSE(seen.empty());
    for (const Seen& s : seen) EXPECT_EQ(s.window, lower);

    hits_.push_back({lower, HTTRANSPARENT});  // the top-most window now lets the pointer through
    hits_.erase(hits_.begin());
    log().clear();
    clickAt(200, 150);
    pumpPending();
    seen = mouseMessages();
    KNOWN_WINE_DIFFERENCE("Wine drops input that a top-level window answers with HTTRANSPARENT", {
        ASSERT_FALSE(seen.empty());
        for (const Seen& s : seen) EXPECT_EQ(s.window, upper);
    });
}

TEST_F(Input, CaptureTakesEveryMouseMessageAsAClientMessage) {
    HWND holder = answeringWindow(HTCAPTION, 400, 300);
    HWND other = answeringWindow(0);
    ASSERT_TRUE(holder && other);
    EXPECT_EQ(SetCapture(holder), nullptr);
    EXPECT_EQ(GetCapture(), holder);
    log().clear();
    clickAt(130, 140);
    pumpPending();
    auto seen = mouseMessages();
    // The two moves waited in the queue together, so only the later one comes.
    ASSERT_EQ(seen.size(), 3u);
    for (const Seen& s : seen) EXPECT_EQ(s.window, holder);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(static_cast<short>(LOWORD(seen[1].lParam)), 130 - 400);
    EXPECT_EQ(static_cast<short>(HIWORD(seen[1].lParam)), 140 - 300);
    log().clear();
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(sequenceIs(log(), {{"h", holder}}, {msg("h", WM_CAPTURECHANGED)}));
}

TEST_F(Input, WheelGoesToTheWindowUnderThePointerAndOnToItsParent) {
    HWND parent = answeringWindow(0);
    ASSERT_TRUE(parent);
    HWND child = make(0, WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, parent);
    ASSERT_TRUE(child);
    pumpPending();
    log().clear();
    send({moveTo(1, 1), moveTo(120, 130), wheel(WHEEL_DELTA), wheel(-WHEEL_DELTA)});
    pumpPending();
    auto wheels = only(WM_MOUSEWHEEL);
    ASSERT_EQ(wheels.size(), 4u);  // each step to the child, then passed on to the parent
    const HWND order[] = {child, parent, child, parent};
    const short deltas[] = {WHEEL_DELTA, WHEEL_DELTA, -WHEEL_DELTA, -WHEEL_DELTA};
    for (size_t i = 0; i < wheels.size(); ++i) {
        EXPECT_EQ(wheels[i].window, order[i]);
        EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[i].wParam), deltas[i]);
        EXPECT_EQ(LOWORD(wheels[i].lParam), 120);  // screen coordinates
        EXPECT_EQ(HIWORD(wheels[i].lParam), 130);
    }
}

TEST_F(Input, AltHeldShowsInTheAsyncKeyStateAndSendsSystemKeys) {
    HWND window = answeringWindow(0);
    ASSERT_TRUE(window);
    ASSERT_TRUE(SetForegroundWindow(window));
    EXPECT_EQ(GetFocus(), window);
    GetAsyncKeyState(VK_MENU);
    EXPECT_FALSE(GetAsyncKeyState(VK_MENU) & 0x8000);
    log().clear();
    send({key(VK_MENU, false)});
    EXPECT_TRUE(GetAsyncKeyState(VK_MENU) & 0x8000);
    send({key(VK_MENU, true)});
    EXPECT_FALSE(GetAsyncKeyState(VK_MENU) & 0x8000);
    send({key('A', false), key('A', true)});
    pumpPending();
    std::vector<std::pair<UINT, WPARAM>> keys;
    for (const Logged& entry : log())
        if (entry.message >= WM_KEYDOWN && entry.message <= WM_SYSKEYUP) keys.push_back({entry.message, entry.wParam});
    const std::vector<std::pair<UINT, WPARAM>> expected = {{WM_SYSKEYDOWN, VK_MENU},
                                                           {WM_SYSKEYUP, VK_MENU},
                                                           {WM_KEYDOWN, 'A'},
                                                           {WM_CHAR, 'a'},
                                                           {WM_KEYUP, 'A'}};
    EXPECT_EQ(keys, expected);
}

TEST_F(Input, AbsoluteMovesLandOnTheirPixel) {
    const POINT targets[] = {{0, 0}, {130, 140}, {GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1}};
    for (const POINT& target : targets) {
        send({moveTo(target.x, target.y)});
        POINT cursor{};
        ASSERT_TRUE(GetCursorPos(&cursor));
        EXPECT_EQ(cursor.x, target.x);
        EXPECT_EQ(cursor.y, target.y);
    }
    ASSERT_TRUE(SetCursorPos(-50, 20));  // the pointer stays on the screen
    POINT cursor{};
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, 0);
    EXPECT_EQ(cursor.y, 20);
}

TEST_F(Input, SecondClickSoonAfterIsADoubleClick) {
    HWND window = answeringWindow(0);
    ASSERT_TRUE(window);
    log().clear();
    send({moveTo(1, 1), moveTo(130, 140), button(MOUSEEVENTF_LEFTDOWN), button(MOUSEEVENTF_LEFTUP),
          button(MOUSEEVENTF_LEFTDOWN), button(MOUSEEVENTF_LEFTUP)});
    pumpPending();
    std::vector<UINT> kinds;
    for (const Seen& s : mouseMessages()) kinds.push_back(s.message);
    const std::vector<UINT> expected = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    EXPECT_EQ(kinds, expected);
}

TEST_F(Input, LayeredWindowsLetThePointerThroughTheirColourKey) {
    HWND beneath = answeringWindow(0);
    HWND layered = make(WS_EX_LAYERED, WS_POPUP, 100, 100, 200, 100);
    ASSERT_TRUE(beneath && layered);
    const COLORREF key = RGB(255, 0, 230);
    ASSERT_TRUE(SetLayeredWindowAttributes(layered, key, 255, LWA_COLORKEY | LWA_ALPHA));
    // Top-most, so that activating the window beneath by a click does not lift it above.
    SetWindowPos(layered, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    pumpPending();
    // Left half the key colour, right half solid.
    HDC dc = GetDC(layered);
    ASSERT_TRUE(dc);
    HBRUSH keyBrush = CreateSolidBrush(key), solid = CreateSolidBrush(RGB(0, 128, 0));
    RECT left{0, 0, 100, 100}, right{100, 0, 200, 100};
    FillRect(dc, &left, keyBrush);
    FillRect(dc, &right, solid);
    DeleteObject(keyBrush);
    DeleteObject(solid);
    ReleaseDC(layered, dc);

    struct Case {
        int x;
        HWND expected;
    };
    const Case cases[] = {{150, beneath}, {250, layered}};
    std::vector<HWND> pressed;
    for (const Case& c : cases) {
        log().clear();
        clickAt(c.x, 140);
        pumpPending();
        auto presses = only(WM_LBUTTONDOWN);
        pressed.push_back(presses.size() == 1 ? presses[0].window : nullptr);
    }
    EXPECT_EQ(pressed[1], cases[1].expected);
    KNOWN_WINE_DIFFERENCE("Wine's display-less driver does not see through a colour key",
                          EXPECT_EQ(pressed[0], cases[0].expected));
}

}  // namespace

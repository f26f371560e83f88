// The move and size loops of WM_SYSCOMMAND, started as the plug-in starts
// them (a caption hit test, a posted SC_MOVE | HTCAPTION or, with Alt held,
// SC_SIZE | WMSZ_BOTTOMRIGHT) and driven by SendInput. Each step of the
// pointer is injected once the loop has taken the previous one, so the
// steps arrive one by one as a hand would make them. Should the loop take
// no step for several seconds (a system that does not feed it the pointer),
// a watchdog posts Escape so that the test fails instead of hanging.
#include "input_helpers.h"
#include "message_log.h"

using namespace messagelog;
using namespace inputs;

namespace {

constexpr UINT_PTR kWatchdog = 77;
constexpr int kStalledSeconds = 5;

class SizeMoveLoop : public LoggingWindows {
protected:
    void SetUp() override {
        LoggingWindows::SetUp();
        handler() = [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            auto wParamIs = [wParam](UINT_PTR id) { return wParam == id; };
            switch (message) {
            case WM_NCHITTEST: result = HTCAPTION; return true;
            case WM_NCLBUTTONDOWN:
                PostMessageA(window, WM_SYSCOMMAND, (GetAsyncKeyState(VK_MENU) & 0x8000) ? 0xF008 : 0xF012, 0);
                log().clear();  // the loop's record starts here
                result = 0;
                return true;
            case WM_GETMINMAXINFO:
                reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{5, 5};
                result = 0;
                return true;
            case WM_ENTERSIZEMOVE:
                SetTimer(window, kWatchdog, 1000, nullptr);
                [[fallthrough]];
            case WM_WINDOWPOSCHANGED:
                if (inLoop_ || message == WM_ENTERSIZEMOVE) {
                    inLoop_ = true;
                    ++steps_;
                    nextStep();
                }
                return false;
            case WM_TIMER:
                if (wParamIs(kWatchdog)) watch(window);
                result = 0;
                return true;
            case WM_EXITSIZEMOVE:
                KillTimer(window, kWatchdog);
                inLoop_ = false;
                done_ = true;
                loop_ = log();
                return false;
            default: return false;
            }
        };
        window_ = make(0, WS_POPUP, 100, 100, 120, 30);
        ASSERT_TRUE(window_);
        ShowWindow(window_, SW_SHOW);  // active, as after the click that starts a drag
        pumpPending();
    }

    void TearDown() override {
        send({key(VK_MENU, true), button(MOUSEEVENTF_LEFTUP)});
        pumpPending();
        LoggingWindows::TearDown();
    }

    // The pointer's path after the press; the button comes up at the end
    // (or Escape is pressed, when `escape_`).
    void nextStep() {
        if (step_ < path_.size()) {
            const POINT& to = path_[step_++];
            send({moveTo(to.x, to.y)});
        } else if (step_ == path_.size()) {
            ++step_;
            if (escape_)
                send({key(VK_ESCAPE, false), key(VK_ESCAPE, true)});
            else
                send({button(MOUSEEVENTF_LEFTUP)});
        }
    }

    // Presses at `start` (with Alt held when `alt`), then runs messages
    // until the loop has ended.
    void drag(POINT start, std::vector<POINT> path, bool alt) {
        path_ = std::move(path);
        step_ = 0;
        done_ = false;
        std::vector<INPUT> press = {moveTo(1, 1), moveTo(start.x, start.y)};
        if (alt) press.push_back(key(VK_MENU, false));
        press.push_back(button(MOUSEEVENTF_LEFTDOWN));
        send(press);
        MSG message;
        while (!done_ && GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (alt) send({key(VK_MENU, true)});
        pumpPending();
        ASSERT_FALSE(stalled_) << "the loop took no pointer step for " << kStalledSeconds << " s";
    }

    // Ends a loop that takes no step: Escape ends it on every system.
    void watch(HWND window) {
        if (steps_ != stepsSeen_) {
            stepsSeen_ = steps_;
            quietSeconds_ = 0;
            return;
        }
        if (++quietSeconds_ < kStalledSeconds) return;
        stalled_ = true;
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    }

    HWND window_ = nullptr;
    int steps_ = 0, stepsSeen_ = 0, quietSeconds_ = 0;
    bool stalled_ = false;
    std::vector<POINT> path_;
    size_t step_ = 0;
    bool inLoop_ = false;
    bool done_ = false;
    bool escape_ = false;
    std::vector<Logged> loop_;  // from the press to WM_EXITSIZEMOVE

    std::vector<Logged> loopOnly(UINT message) const {
        std::vector<Logged> found;
        for (const Logged& entry : loop_)
            if (entry.message == message) found.push_back(entry);
        return found;
    }
};

void expectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

TEST_F(SizeMoveLoop, DraggingTheCaptionMovesTheWindowStepByStep) {
    ASSERT_NO_FATAL_FAILURE(drag({110, 110}, {{150, 130}, {200, 160}}, false));
    ASSERT_TRUE(done_);
    EXPECT_TRUE(sequenceIs(
        loop_, {{"w", window_}},
        {msgW("w", WM_SYSCOMMAND, 0xF012), msg("w", WM_GETMINMAXINFO), msg("w", WM_ENTERSIZEMOVE), msg("w", WM_MOVING),
         pos("w", WM_WINDOWPOSCHANGING, SWP_NOSIZE), posAnyOrder("w", WM_WINDOWPOSCHANGED, SWP_NOSIZE),
         msg("w", WM_MOVE), msg("w", WM_MOVING), pos("w", WM_WINDOWPOSCHANGING, SWP_NOSIZE),
         posAnyOrder("w", WM_WINDOWPOSCHANGED, SWP_NOSIZE), msg("w", WM_MOVE),
         msg("w", WM_CAPTURECHANGED), msg("w", WM_EXITSIZEMOVE)}));
    auto moving = loopOnly(WM_MOVING);
    ASSERT_EQ(moving.size(), 2u);
    expectRect(moving[0].rect, 140, 120, 260, 150);
    expectRect(moving[1].rect, 190, 150, 310, 180);
    auto changed = loopOnly(WM_WINDOWPOSCHANGED);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[1].pos.x, 190);
    EXPECT_EQ(changed[1].pos.y, 150);
    EXPECT_EQ(changed[1].pos.cx, 120);
    EXPECT_EQ(changed[1].pos.cy, 30);
    RECT rect;
    GetWindowRect(window_, &rect);
    expectRect(rect, 190, 150, 310, 180);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SizeMoveLoop, AltDragSizesFromTheBottomRightCorner) {
    ASSERT_NO_FATAL_FAILURE(drag({150, 110}, {{170, 120}, {190, 150}}, true));
    ASSERT_TRUE(done_);
    EXPECT_TRUE(sequenceIs(
        loop_, {{"w", window_}},
        {msgW("w", WM_SYSCOMMAND, 0xF008), msg("w", WM_GETMINMAXINFO), msg("w", WM_ENTERSIZEMOVE),
         // The loop passes the whole rectangle, with the place unchanged.
         msgW("w", WM_SIZING, WMSZ_BOTTOMRIGHT), posAsked("w", WM_WINDOWPOSCHANGING, 0),
         msgW("w", WM_NCCALCSIZE, TRUE), posAnyOrder("w", WM_WINDOWPOSCHANGED, SWP_NOMOVE),
         msgW("w", WM_SIZE, SIZE_RESTORED), msgW("w", WM_SIZING, WMSZ_BOTTOMRIGHT),
         posAsked("w", WM_WINDOWPOSCHANGING, 0), msgW("w", WM_NCCALCSIZE, TRUE),
         posAnyOrder("w", WM_WINDOWPOSCHANGED, SWP_NOMOVE), msgW("w", WM_SIZE, SIZE_RESTORED),
         msg("w", WM_CAPTURECHANGED), msg("w", WM_EXITSIZEMOVE)}));
    auto sizing = loopOnly(WM_SIZING);
    ASSERT_EQ(sizing.size(), 2u);
    expectRect(sizing[0].rect, 100, 100, 240, 140);  // the dragged rectangle, before it is applied
    expectRect(sizing[1].rect, 100, 100, 260, 170);
    RECT rect;
    GetWindowRect(window_, &rect);
    expectRect(rect, 100, 100, 260, 170);
}

TEST_F(SizeMoveLoop, SizingStopsAtTheMinimumTrackingSize) {
    // From a 120 by 30 window pressed at (150, 110), the pointer may go no
    // further left than 150 - 115 = 35 nor further up than 110 - 25 = 85.
    ASSERT_NO_FATAL_FAILURE(drag({150, 110}, {{20, 20}}, true));
    ASSERT_TRUE(done_);
    auto sizing = loopOnly(WM_SIZING);
    ASSERT_EQ(sizing.size(), 1u);
    expectRect(sizing[0].rect, 100, 100, 105, 105);
    RECT rect;
    GetWindowRect(window_, &rect);
    expectRect(rect, 100, 100, 105, 105);
}

TEST_F(SizeMoveLoop, ChangingDuringTheLoopMayPlaceTheWindowElsewhere) {
    auto moveAndSnap = handler();
    handler() = [moveAndSnap](HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        if (message == WM_WINDOWPOSCHANGING) {
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (pos->x < 10) pos->x = 0;  // snap to the left edge, as the host's snapping does
        }
        return moveAndSnap(window, message, wParam, lParam, result);
    };
    ASSERT_NO_FATAL_FAILURE(drag({110, 110}, {{15, 110}}, false));  // 95 to the left: the window would stand at x 5
    ASSERT_TRUE(done_);
    RECT rect;
    GetWindowRect(window_, &rect);
    expectRect(rect, 0, 100, 120, 130);
}

TEST_F(SizeMoveLoop, EscapePutsTheWindowBackWhereItStarted) {
    escape_ = true;
    ASSERT_NO_FATAL_FAILURE(drag({110, 110}, {{150, 130}}, false));
    ASSERT_TRUE(done_);
    auto changed = loopOnly(WM_WINDOWPOSCHANGED);
    ASSERT_EQ(changed.size(), 2u);  // the step, then the way back
    EXPECT_EQ(changed[0].pos.x, 140);
    EXPECT_EQ(changed[1].pos.x, 100);
    RECT rect;
    GetWindowRect(window_, &rect);
    expectRect(rect, 100, 100, 220, 130);
}

}  // namespace

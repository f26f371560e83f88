// Other threads: posting and invalidating from any thread wakes the
// window's thread, and a message sent from another thread runs on the
// window's own thread.
#include "message_log.h"
#include "window_helpers.h"

#include <atomic>
#include <thread>

using namespace messagelog;

namespace {

constexpr UINT kMarker = WM_APP + 10;
constexpr UINT kAsk = WM_APP + 11;

class CrossThread : public LoggingWindows {
protected:
    void SetUp() override {
        LoggingWindows::SetUp();
        handler() = [this](HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
            if (message == kAsk) {
                askedOn_ = std::this_thread::get_id();
                result = static_cast<LRESULT>(wParam * 2);
                return true;
            }
            return testsupport::recordPaint(window, message, paints_, result);
        };
        window_ = make(0, WS_POPUP, 0, 0, 100, 50);
        ASSERT_TRUE(window_);
        ShowWindow(window_, SW_SHOWNA);
        pumpPending();
        paints_.clear();
    }

    // Runs messages until the marker arrives.
    void runUntilMarker() {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            if (message.message == kMarker) return;
            DispatchMessageA(&message);
        }
    }

    HWND window_ = nullptr;
    std::vector<PAINTSTRUCT> paints_;
    std::thread::id askedOn_;
};

TEST_F(CrossThread, PostFromAnotherThreadWakesAWaitingGetMessage) {
    std::atomic<bool> waiting{false};
    std::thread poster([&] {
        while (!waiting) std::this_thread::yield();
        PostMessageA(window_, kMarker, 5, 6);
    });
    waiting = true;
    MSG message;
    ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
    poster.join();
    EXPECT_EQ(message.message, kMarker);
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_EQ(message.lParam, 6);
}

TEST_F(CrossThread, InvalidationFromAnotherThreadWakesAWaitingGetMessage) {
    std::atomic<bool> waiting{false};
    std::thread painter([&] {
        while (!waiting) std::this_thread::yield();
        RECT part{1, 2, 3, 4};
        InvalidateRect(window_, &part, FALSE);
    });
    waiting = true;
    MSG message;
    ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
    painter.join();
    EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageA(&message);
    ASSERT_EQ(paints_.size(), 1u);
    EXPECT_EQ(paints_[0].rcPaint.left, 1);
    EXPECT_EQ(paints_[0].rcPaint.bottom, 4);
}

TEST_F(CrossThread, InvalidationsFromAnotherThreadGiveOnePaint) {
    // The window's thread takes no message meanwhile, so all three
    // invalidations gather before the paint is made.
    std::thread painter([&] {
        RECT parts[] = {{0, 0, 10, 10}, {50, 20, 60, 30}, {20, 40, 30, 50}};
        for (const RECT& part : parts) InvalidateRect(window_, &part, FALSE);
    });
    painter.join();
    pumpPending();
    ASSERT_EQ(paints_.size(), 1u);
    EXPECT_EQ(paints_[0].rcPaint.left, 0);
    EXPECT_EQ(paints_[0].rcPaint.top, 0);
    EXPECT_EQ(paints_[0].rcPaint.right, 60);
    EXPECT_EQ(paints_[0].rcPaint.bottom, 50);
}

TEST_F(CrossThread, ManyThreadsInvalidatingWhileTheWindowPaints) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    std::vector<std::thread> painters;
    for (int t = 0; t < kThreads; ++t) {
        painters.emplace_back([&, t] {
            RECT column{t * 20, 0, t * 20 + 10, 50};
            for (int round = 0; round < kRounds; ++round) InvalidateRect(window_, &column, FALSE);
        });
    }
    std::thread waiter([&] {
        for (auto& painter : painters) painter.join();
        PostMessageA(window_, kMarker, 0, 0);
    });
    runUntilMarker();
    waiter.join();
    pumpPending();
    ASSERT_FALSE(paints_.empty());
    RECT covered{};
    for (const PAINTSTRUCT& paint : paints_) UnionRect(&covered, &covered, &paint.rcPaint);
    EXPECT_EQ(covered.left, 0);
    EXPECT_EQ(covered.right, (kThreads - 1) * 20 + 10);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(CrossThread, SentMessageRunsOnTheWindowsThread) {
    LRESULT answer = 0;
    std::thread sender([&] {
        answer = SendMessageA(window_, kAsk, 21, 0);
        PostMessageA(window_, kMarker, 0, 0);
    });
    runUntilMarker();  // GetMessageA runs the sent message while it waits
    sender.join();
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(askedOn_, std::this_thread::get_id());
}

}  // namespace

// The message queue on one thread: sending, posting, the retrieval order,
// filters, WM_QUIT and timers.
#include "message_log.h"

using namespace messagelog;

namespace {

class MessageQueue : public LoggingWindows {
protected:
    void SetUp() override {
        LoggingWindows::SetUp();
        window_ = make(0, WS_POPUP, 0, 0, 10, 10);
        ASSERT_TRUE(window_);
        log().clear();
    }
    HWND window_ = nullptr;
};

constexpr UINT kFirst = WM_APP + 1;
constexpr UINT kSecond = WM_APP + 2;
constexpr UINT kThird = WM_APP + 3;

TEST_F(MessageQueue, SendRunsTheProcedureAtOnceAndReturnsItsAnswer) {
    handler() = [](HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        if (message != kFirst) return false;
        result = static_cast<LRESULT>(wParam + static_cast<WPARAM>(lParam));
        return true;
    };
    EXPECT_EQ(SendMessageA(window_, kFirst, 40, 2), 42);
    ASSERT_EQ(log().size(), 1u);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));  // nothing was queued
}

TEST_F(MessageQueue, PostedMessagesComeInOrderAndQuitComesLast) {
    ASSERT_TRUE(PostMessageA(window_, kFirst, 1, 10));
    PostQuitMessage(3);
    ASSERT_TRUE(PostMessageA(window_, kSecond, 2, 20));
    ASSERT_TRUE(PostMessageA(nullptr, kThird, 3, 30));  // to the thread itself
    EXPECT_TRUE(log().empty()) << "posting runs nothing";

    struct Want {
        HWND window;
        UINT message;
        WPARAM wParam;
    };
    const Want wanted[] = {{window_, kFirst, 1}, {window_, kSecond, 2}, {nullptr, kThird, 3}};
    MSG message;
    for (const Want& want : wanted) {
        ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
        EXPECT_EQ(message.hwnd, want.window);
        EXPECT_EQ(message.message, want.message);
        EXPECT_EQ(message.wParam, want.wParam);
        DispatchMessageA(&message);
    }
    EXPECT_FALSE(GetMessageA(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    // Dispatched posts reach the procedure; the thread's own message has no window to go to.
    auto first = only(kFirst);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].lParam, 10);
    EXPECT_TRUE(only(kThird).empty());
}

TEST_F(MessageQueue, PeekLeavesOrTakesAndFiltersByRangeAndWindow) {
    HWND other = make(0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(other);
    PostMessageA(window_, kFirst, 0, 0);
    PostMessageA(other, kSecond, 0, 0);
    PostMessageA(window_, kThird, 0, 0);

    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(message.message, kFirst);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, kThird, kThird, PM_REMOVE));
    EXPECT_EQ(message.message, kThird);
    ASSERT_TRUE(PeekMessageA(&message, other, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, kSecond);
    EXPECT_FALSE(PeekMessageA(&message, other, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, kFirst);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, PostingToAMissingWindowFails) {
    HWND gone = make(0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(gone);
    DestroyWindow(gone);
    EXPECT_FALSE(PostMessageA(gone, kFirst, 0, 0));
    EXPECT_EQ(SendMessageA(gone, kFirst, 0, 0), 0);
    MSG message;
    EXPECT_EQ(GetMessageA(&message, gone, 0, 0), -1);
}

TEST_F(MessageQueue, MessagesPostedToADestroyedWindowAreDropped) {
    HWND doomed = make(0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(doomed);
    PostMessageA(doomed, kFirst, 0, 0);
    PostMessageA(window_, kSecond, 0, 0);
    DestroyWindow(doomed);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, kSecond);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, TimerMessagesArriveUntilKilled) {
    ASSERT_EQ(SetTimer(window_, 7, 10, nullptr), 7u);
    MSG message;
    for (int tick = 0; tick < 2; ++tick) {
        ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
        EXPECT_EQ(message.hwnd, window_);
        EXPECT_EQ(message.message, static_cast<UINT>(WM_TIMER));
        EXPECT_EQ(message.wParam, 7u);
        DispatchMessageA(&message);
    }
    EXPECT_EQ(only(WM_TIMER).size(), 2u);
    EXPECT_TRUE(KillTimer(window_, 7));
    EXPECT_FALSE(KillTimer(window_, 7));
    // With the timer gone, a posted message is all that comes.
    PostMessageA(window_, kFirst, 0, 0);
    ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, kFirst);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

int timerCalls = 0;
void CALLBACK countTimer(HWND, UINT message, UINT_PTR, DWORD) {
    if (message == WM_TIMER) ++timerCalls;
}

TEST_F(MessageQueue, TimerProcedureIsCalledByDispatch) {
    timerCalls = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 10, countTimer);
    ASSERT_NE(id, 0u);
    MSG message;
    ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(message.hwnd, nullptr);
    EXPECT_EQ(message.wParam, id);
    DispatchMessageA(&message);
    EXPECT_EQ(timerCalls, 1);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(MessageQueue, DestroyingAWindowEndsItsTimers) {
    HWND doomed = make(0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_TRUE(doomed);
    ASSERT_EQ(SetTimer(doomed, 1, 10, nullptr), 1u);
    DestroyWindow(doomed);
    EXPECT_FALSE(KillTimer(doomed, 1));
}

}  // namespace

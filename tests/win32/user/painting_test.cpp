// Update regions and WM_PAINT: invalidations gather into one paint, which
// comes when the queue has nothing else, and BeginPaint reports and
// validates the update rectangle.
#include "message_log.h"
#include "window_helpers.h"

using namespace messagelog;

namespace {

class Painting : public LoggingWindows {
protected:
    void SetUp() override {
        LoggingWindows::SetUp();
        handler() = [this](HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
            if (message == WM_ERASEBKGND) {
                ++erases_;
                result = 0;  // like the plug-in's class: no background brush, nothing erased
                return true;
            }
            return testsupport::recordPaint(window, message, paints_, result);
        };
        window_ = make(0, WS_POPUP, 0, 0, 100, 50);
        ASSERT_TRUE(window_);
        ShowWindow(window_, SW_SHOWNA);
        pumpPending();  // the paint that showing asks for
        paints_.clear();
        erases_ = 0;
        log().clear();
    }

    HWND window_ = nullptr;
    std::vector<PAINTSTRUCT> paints_;
    int erases_ = 0;
};

void expectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

TEST_F(Painting, ShowingAWindowAsksForOnePaintOfAllOfIt) {
    HWND window = make(0, WS_POPUP, 0, 0, 30, 20);
    ASSERT_TRUE(window);
    ShowWindow(window, SW_SHOWNA);
    pumpPending();
    ASSERT_EQ(paints_.size(), 1u);
    expectRect(paints_[0].rcPaint, 0, 0, 30, 20);
}

TEST_F(Painting, SeveralInvalidationsGiveOnePaintOfTheirBoundingRectangle) {
    RECT first{10, 5, 20, 15};
    RECT second{30, 20, 40, 45};
    RECT beyond{90, 40, 200, 200};  // clipped to the client area
    InvalidateRect(window_, &first, FALSE);
    InvalidateRect(window_, &second, FALSE);
    InvalidateRect(window_, &beyond, FALSE);
    pumpPending();
    ASSERT_EQ(paints_.size(), 1u);
    expectRect(paints_[0].rcPaint, 10, 5, 100, 50);
    EXPECT_EQ(erases_, 0);
    EXPECT_FALSE(paints_[0].fErase);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE)) << "BeginPaint validated";
}

TEST_F(Painting, PaintComesAfterPostedMessages) {
    InvalidateRect(window_, nullptr, FALSE);
    PostMessageA(window_, WM_APP, 0, 0);
    MSG message;
    ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_APP));
    ASSERT_TRUE(GetMessageA(&message, nullptr, 0, 0));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(message.hwnd, window_);
    DispatchMessageA(&message);
    ASSERT_EQ(paints_.size(), 1u);
    expectRect(paints_[0].rcPaint, 0, 0, 100, 50);
}

TEST_F(Painting, AnUnansweredPaintStaysUntilValidated) {
    InvalidateRect(window_, nullptr, FALSE);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
    // Not dispatched: the window still has its update region.
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
    RECT update;
    EXPECT_TRUE(GetUpdateRect(window_, &update, FALSE));
    expectRect(update, 0, 0, 100, 50);
    ValidateRect(window_, nullptr);
    EXPECT_FALSE(GetUpdateRect(window_, &update, FALSE));
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Painting, EraseIsAskedForOnlyWhenAnInvalidationWantsIt) {
    RECT part{0, 0, 10, 10};
    InvalidateRect(window_, &part, TRUE);
    pumpPending();
    ASSERT_EQ(paints_.size(), 1u);
    EXPECT_EQ(erases_, 1);
    EXPECT_TRUE(paints_[0].fErase) << "the window did not erase, so BeginPaint says it must";

    InvalidateRect(window_, &part, FALSE);
    pumpPending();
    ASSERT_EQ(paints_.size(), 2u);
    EXPECT_EQ(erases_, 1);
    EXPECT_FALSE(paints_[1].fErase);
}

TEST_F(Painting, HiddenWindowsCollectNoPaint) {
    ShowWindow(window_, SW_HIDE);
    InvalidateRect(window_, nullptr, FALSE);
    pumpPending();
    EXPECT_TRUE(paints_.empty());
}

TEST_F(Painting, UpdateWindowPaintsAtOnceOnlyWhenNeeded) {
    UpdateWindow(window_);
    EXPECT_TRUE(paints_.empty());
    RECT part{5, 6, 7, 8};
    InvalidateRect(window_, &part, FALSE);
    UpdateWindow(window_);
    ASSERT_EQ(paints_.size(), 1u);
    expectRect(paints_[0].rcPaint, 5, 6, 7, 8);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(Painting, ParentsWithoutClipChildrenInvalidateTheirChildren) {
    struct Case {
        const char* name;
        DWORD parentStyle;
        size_t childPaints;
    };
    const Case cases[] = {{"without WS_CLIPCHILDREN", WS_POPUP | WS_VISIBLE, 1},
                          {"with WS_CLIPCHILDREN", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HWND parent = make(0, c.parentStyle, 0, 0, 100, 100);
        HWND child = make(0, WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, parent);
        ASSERT_TRUE(parent && child);
        pumpPending();
        paints_.clear();
        log().clear();
        RECT covering{0, 0, 15, 15};  // the child's corner from (10, 10) to (15, 15)
        InvalidateRect(parent, &covering, FALSE);
        pumpPending();
        size_t childPaints = 0;
        for (const Logged& entry : log())
            if (entry.window == child && entry.message == WM_PAINT) ++childPaints;
        EXPECT_EQ(childPaints, c.childPaints);
        if (childPaints == 1) {
            ASSERT_EQ(paints_.size(), 2u);  // the parent first, then the child
            expectRect(paints_[1].rcPaint, 0, 0, 5, 5);
        }
        DestroyWindow(parent);
        log().clear();
    }
}

}  // namespace

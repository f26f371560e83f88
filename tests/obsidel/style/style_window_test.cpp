// The host calls that act on windows and fonts: SnapWindowToEdge,
// MakeSticky / RemoveSticky and CreateStyleFont.
#include <obsidel/api.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "style.h"
#include "window_edges.h"

namespace {

class TestWindow {
public:
    TestWindow(int x, int y, int width, int height) {
        static const ATOM registered = [] {
            WNDCLASSA windowClass{};
            windowClass.lpfnWndProc = DefWindowProcA;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "HostStyleTestWindow";
            return RegisterClassA(&windowClass);
        }();
        EXPECT_NE(registered, 0);
        window_ = CreateWindowExA(WS_EX_TOOLWINDOW, "HostStyleTestWindow", "", WS_POPUP, x, y, width, height, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(window_, nullptr);
    }
    ~TestWindow() { DestroyWindow(window_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

TEST(HostSnap, MovesNearEdgesOntoTheScreenEdges) {
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(W, 300);
    ASSERT_GT(H, 300);
    struct Case {
        const char* name;
        int x, y, cx, cy;
        UINT flags;
        LPARAM distance;
        int expectedX, expectedY;
    };
    const Case cases[] = {
        {"near top left", 5, 7, 100, 20, 1, 10, 0, 0},
        {"exactly at the distance", 10, 10, 100, 20, 1, 10, 0, 0},
        {"one beyond the distance", 11, 11, 100, 20, 1, 10, 11, 11},
        {"hanging off the left", -8, 300, 100, 20, 1, 10, 0, 300},
        {"near bottom right", W - 104, H - 17, 100, 20, 1, 10, W - 100, H - 20},
        {"far edges not asked for", W - 104, H - 17, 100, 20, 0, 10, W - 104, H - 17},
        {"near edges without the flag", 3, 4, 100, 20, 0, 10, 0, 0},
        {"past the right edge", W - 95, 150, 100, 20, 1, 10, W - 100, 150},
        {"far from every edge", 200, 150, 100, 20, 1, 10, 200, 150},
        // Nearly screen-wide: left gap 4, right gap 2; the nearer edge wins.
        {"nearer far edge wins", 4, 150, W - 6, 20, 1, 10, 6, 150},
        {"tie goes to the near edge", 3, 150, W - 6, 20, 1, 10, 0, 150},
        {"distance zero snaps only the exact place", 1, 0, 100, 20, 1, 0, 1, 0},
    };
    for (const Case& c : cases) {
        WINDOWPOS pos{};
        pos.x = c.x, pos.y = c.y, pos.cx = c.cx, pos.cy = c.cy;
        const int moved = SnapWindowToEdge(&pos, c.distance, c.flags);
        EXPECT_EQ(pos.x, c.expectedX) << c.name;
        EXPECT_EQ(pos.y, c.expectedY) << c.name;
        EXPECT_EQ(pos.cx, c.cx) << c.name;  // the size is never changed
        EXPECT_EQ(pos.cy, c.cy) << c.name;
        EXPECT_EQ(moved, c.x != c.expectedX || c.y != c.expectedY ? 1 : 0) << c.name;
    }
}

TEST(HostSnap, LeavesARecordThatDoesNotMoveAlone) {
    WINDOWPOS pos{};
    pos.x = 3, pos.y = 4, pos.cx = 50, pos.cy = 20, pos.flags = SWP_NOMOVE;
    EXPECT_EQ(SnapWindowToEdge(&pos, 10, 1), 0);
    EXPECT_EQ(pos.x, 3);
    EXPECT_EQ(pos.y, 4);
    EXPECT_EQ(SnapWindowToEdge(nullptr, 10, 1), 0);
}

TEST(HostSnap, TakesThePresentSizeWhenTheRecordKeepsIt) {
    const int W = GetSystemMetrics(SM_CXSCREEN), H = GetSystemMetrics(SM_CYSCREEN);
    TestWindow window(40, 40, 120, 30);
    WINDOWPOS pos{};
    pos.hwnd = window.handle();
    pos.x = W - 123, pos.y = H - 28;  // right gap 3, bottom gap 2 at 120 by 30
    pos.flags = SWP_NOSIZE | SWP_NOZORDER;
    EXPECT_EQ(SnapWindowToEdge(&pos, 10, 1), 1);
    EXPECT_EQ(pos.x, W - 120);
    EXPECT_EQ(pos.y, H - 30);
}

TEST(HostSticky, RecordsEachWindowUntilItIsRemoved) {
    TestWindow first(0, 0, 10, 10), second(20, 0, 10, 10);
    EXPECT_FALSE(obsidel::isSticky(first.handle()));
    MakeSticky(first.handle());
    EXPECT_TRUE(obsidel::isSticky(first.handle()));
    EXPECT_FALSE(obsidel::isSticky(second.handle()));
    MakeSticky(first.handle());  // twice is still one mark
    RemoveSticky(first.handle());
    EXPECT_FALSE(obsidel::isSticky(first.handle()));
    RemoveSticky(second.handle());  // never marked: nothing happens
    EXPECT_FALSE(obsidel::isSticky(second.handle()));
    MakeSticky(nullptr);
    EXPECT_FALSE(obsidel::isSticky(nullptr));
}

TEST(HostStyleFont, MakesTheItemsFaceHeightAndWeight) {
    StyleItem item{};
    std::strcpy(item.fontFace, "DejaVu Sans Mono");
    item.fontHeight = 17;
    item.fontWeight = FW_BOLD;
    HFONT font = CreateStyleFont(&item);
    ASSERT_NE(font, nullptr);
    LOGFONTA described{};
    ASSERT_EQ(GetObjectA(font, sizeof described, &described), static_cast<int>(sizeof described));
    EXPECT_EQ(described.lfHeight, 17);
    EXPECT_EQ(described.lfWeight, FW_BOLD);
    EXPECT_STREQ(described.lfFaceName, "DejaVu Sans Mono");
    EXPECT_NE(DeleteObject(font), 0);

    // Without an item: the current style's toolbar font.
    HFONT current = CreateStyleFont(nullptr);
    ASSERT_NE(current, nullptr);
    ASSERT_EQ(GetObjectA(current, sizeof described, &described), static_cast<int>(sizeof described));
    EXPECT_EQ(described.lfHeight, obsidel::currentStyle().toolbar.fontHeight);
    EXPECT_STREQ(described.lfFaceName, obsidel::currentStyle().toolbar.fontFace);
    DeleteObject(current);
}

}  // namespace

// GDI object counts (GetGuiResources): each object made raises the count by
// one and deleting it brings the count back. Native only: Wine's count is a
// stub that always answers 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

DWORD gdiObjects() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

struct MakeCase {
    const char* name;
    std::function<HGDIOBJ()> make;
};

TEST(GdiObjectCounts, RiseWhenMadeAndReturnWhenDeleted) {
    const MakeCase cases[] = {
        {"solid brush", [] { return HGDIOBJ(CreateSolidBrush(RGB(1, 2, 3))); }},
        {"pen", [] { return HGDIOBJ(CreatePen(PS_SOLID, 2, RGB(1, 2, 3))); }},
        {"bitmap", [] { return HGDIOBJ(CreateBitmap(3, 3, 1, 32, nullptr)); }},
    };
    for (const MakeCase& c : cases) {
        const DWORD before = gdiObjects();
        HGDIOBJ object = c.make();
        ASSERT_NE(object, nullptr) << c.name;
        EXPECT_EQ(gdiObjects(), before + 1) << c.name;
        EXPECT_TRUE(DeleteObject(object)) << c.name;
        EXPECT_EQ(gdiObjects(), before) << c.name;
    }
}

TEST(GdiObjectCounts, MemoryDcsCountUntilDeleted) {
    const DWORD before = gdiObjects();
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(gdiObjects(), before + 1);
    DeleteDC(dc);
    EXPECT_EQ(gdiObjects(), before);
}

TEST(GdiObjectCounts, StockObjectsAreNotCounted) {
    const DWORD before = gdiObjects();
    GetStockObject(BLACK_PEN);
    GetStockObject(NULL_BRUSH);
    GetStockObject(DEFAULT_GUI_FONT);
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(gdiObjects(), before);
}

TEST(GdiObjectCounts, ObjectDeletedWhileSelectedIsFreedWhenItsDcGoes) {
    const DWORD before = gdiObjects();
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    SelectObject(dc, brush);
    EXPECT_EQ(gdiObjects(), before + 2);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(gdiObjects(), before + 2) << "a selected brush must stay usable until deselected";
    DeleteDC(dc);
    EXPECT_EQ(gdiObjects(), before);
}

TEST(GdiObjectCounts, ObjectDeletedWhileSelectedIsFreedWhenReplaced) {
    const DWORD before = gdiObjects();
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HGDIOBJ previous = SelectObject(dc, pen);
    DeleteObject(pen);
    EXPECT_EQ(SelectObject(dc, previous), pen);
    EXPECT_EQ(gdiObjects(), before + 1);
    DeleteDC(dc);
    EXPECT_EQ(gdiObjects(), before);
}

TEST(GdiObjectCounts, WindowDcsAreLentNotMadeWhileBackBuffersCount) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "GdiObjectCountsTest";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "GdiObjectCountsTest", "", WS_POPUP, 0, 0, 30, 20, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);

    const DWORD before = gdiObjects();
    HDC windowDc = GetDC(window);
    EXPECT_EQ(gdiObjects(), before) << "a window's DC is lent from the window manager's cache";
    HDC back = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, 30, 20);
    HGDIOBJ previous = SelectObject(back, bitmap);
    EXPECT_EQ(gdiObjects(), before + 2);
    ReleaseDC(window, windowDc);
    EXPECT_TRUE(DeleteObject(SelectObject(back, previous)));
    DeleteDC(back);
    EXPECT_EQ(gdiObjects(), before);

    DestroyWindow(window);
    UnregisterClassA("GdiObjectCountsTest", GetModuleHandleA(nullptr));
}

}  // namespace

// Drawing through a window's DC, as the plug-in paints: a back buffer made
// compatible with the window's DC, drawn off screen, then copied or blended
// onto the window.
#include <windows.h>

#include <gtest/gtest.h>

#include "gdi_canvas.h"

namespace {

using gditest::rows;

class WindowDc : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "GdiWindowDcTest";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        window_ = CreateWindowExA(WS_EX_TOOLWINDOW, "GdiWindowDcTest", "", WS_POPUP, 10, 10, width, height, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        ShowWindow(window_, SW_SHOWNA);
        windowDc_ = GetDC(window_);
        ASSERT_NE(windowDc_, nullptr);
    }
    void TearDown() override {
        if (windowDc_) ReleaseDC(window_, windowDc_);
        if (window_) DestroyWindow(window_);
        UnregisterClassA("GdiWindowDcTest", GetModuleHandleA(nullptr));
    }

    void fillWindow(COLORREF color) {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all = {0, 0, width, height};
        FillRect(windowDc_, &all, brush);
        DeleteObject(brush);
    }

    // The window's pixels in `part`, '.' for `plain`, 'x' for `marked`.
    std::string windowPicture(const RECT& part, COLORREF plain, COLORREF marked) const {
        std::string text;
        for (int y = part.top; y < part.bottom; ++y) {
            for (int x = part.left; x < part.right; ++x) {
                const COLORREF pixel = GetPixel(windowDc_, x, y);
                text += pixel == plain ? '.' : pixel == marked ? 'x' : '?';
            }
            text += '\n';
        }
        return text;
    }

    static constexpr int width = 40;
    static constexpr int height = 30;
    HWND window_ = nullptr;
    HDC windowDc_ = nullptr;
};

TEST_F(WindowDc, BackBufferCompatibleWithTheWindowHoldsEveryColour) {
    HDC back = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc_, width, height);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof(info), &info), int(sizeof(info)));
    EXPECT_EQ(info.bmWidth, width);
    EXPECT_EQ(info.bmHeight, height);
    EXPECT_EQ(info.bmBitsPixel, 32);
    HGDIOBJ previous = SelectObject(back, bitmap);
    ASSERT_NE(previous, nullptr);
    // A colour that a one-bit or 16-bit bitmap could not keep.
    EXPECT_EQ(SetPixel(back, 3, 2, RGB(255, 0, 230)), RGB(255, 0, 230));
    EXPECT_EQ(GetPixel(back, 3, 2), RGB(255, 0, 230));
    EXPECT_EQ(SelectObject(back, previous), bitmap);
    DeleteObject(bitmap);
    DeleteDC(back);
}

TEST_F(WindowDc, FrameDrawnOffScreenIsCopiedOntoTheWindow) {
    fillWindow(RGB(0, 0, 0));
    HDC back = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc_, width, height);
    HGDIOBJ previous = SelectObject(back, bitmap);
    HBRUSH key = CreateSolidBrush(RGB(255, 0, 230));
    RECT all = {0, 0, width, height};
    FillRect(back, &all, key);
    DeleteObject(key);
    // A bar of the "h" layout: its rectangle passed upside down, base row
    // 24, four rows long: rows 21 to 24.
    HBRUSH bar = CreateSolidBrush(RGB(255, 255, 255));
    RECT barRect = {5, 24, 8, 20};
    FillRect(back, &barRect, bar);
    DeleteObject(bar);

    // Copy only part of the frame (an update rectangle): the rest of the
    // window keeps what it had.
    ASSERT_TRUE(BitBlt(windowDc_, 4, 19, 6, 7, back, 4, 19, SRCCOPY));
    EXPECT_EQ(windowPicture({3, 18, 11, 27}, RGB(255, 0, 230), RGB(255, 255, 255)),
              rows({"????????", "?......?", "?......?", "?.xxx..?", "?.xxx..?", "?.xxx..?", "?.xxx..?",
                    "?......?", "????????"}));
    EXPECT_EQ(GetPixel(windowDc_, 3, 18), RGB(0, 0, 0));

    SelectObject(back, previous);
    DeleteObject(bitmap);
    DeleteDC(back);
}

TEST_F(WindowDc, BlendedFrameMixesWithWhatTheWindowShows) {
    fillWindow(RGB(0, 0, 0));
    HDC back = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc_, width, height);
    HGDIOBJ previous = SelectObject(back, bitmap);
    HBRUSH frame = CreateSolidBrush(RGB(200, 100, 50));
    RECT all = {0, 0, width, height};
    FillRect(back, &all, frame);
    DeleteObject(frame);

    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 128, 0};
    ASSERT_TRUE(AlphaBlend(windowDc_, 0, 0, width, height, back, 0, 0, width, height, blend));
    // (200 * 128 + 127) / 255 = 100.9, (100 * 128 + 127) / 255 = 50.7, (50 * 128 + 127) / 255 = 25.6
    EXPECT_EQ(GetPixel(windowDc_, 0, 0), RGB(100, 50, 25));
    // A second frame over the first: (200 * 128 + 100 * 127 + 127) / 255 = 150.7,
    // (100 * 128 + 50 * 127 + 127) / 255 = 75.6, (50 * 128 + 25 * 127 + 127) / 255 = 38.0.
    ASSERT_TRUE(AlphaBlend(windowDc_, 0, 0, width, height, back, 0, 0, width, height, blend));
    EXPECT_EQ(GetPixel(windowDc_, width - 1, height - 1), RGB(150, 75, 38));

    SelectObject(back, previous);
    DeleteObject(bitmap);
    DeleteDC(back);
}

}  // namespace

// Block transfers between DCs.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "gdi_canvas.h"

namespace {

using gditest::Canvas;
using gditest::rows;

void paint(Canvas& canvas, const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(canvas.dc(), &rect, brush);
    DeleteObject(brush);
}

TEST(GdiBitBlt, CopiesTheBlockToTheGivenPlace) {
    Canvas source(4, 3);
    paint(source, {1, 0, 3, 2}, gditest::ink);
    SetPixel(source.dc(), 2, 1, gditest::fill);
    Canvas dest(5, 4);
    ASSERT_TRUE(BitBlt(dest.dc(), 2, 1, 3, 2, source.dc(), 1, 0, SRCCOPY));
    EXPECT_EQ(dest.picture(), rows({".....", "..##.", "..#o.", "....."}));
}

TEST(GdiBitBlt, CopyWithinOneDcReadsBeforeItWrites) {
    // Shifting right and down by one inside the same bitmap must move the
    // picture, not smear its first column across the block.
    Canvas canvas(4, 3);
    SetPixel(canvas.dc(), 0, 0, gditest::ink);
    SetPixel(canvas.dc(), 1, 0, gditest::fill);
    SetPixel(canvas.dc(), 0, 1, gditest::fill);
    ASSERT_TRUE(BitBlt(canvas.dc(), 1, 1, 3, 2, canvas.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(canvas.picture(), rows({"#o..", "o#o.", ".o.."}));

    Canvas back(4, 1);
    SetPixel(back.dc(), 2, 0, gditest::ink);
    SetPixel(back.dc(), 3, 0, gditest::fill);
    ASSERT_TRUE(BitBlt(back.dc(), 0, 0, 3, 1, back.dc(), 1, 0, SRCCOPY));
    EXPECT_EQ(back.picture(), rows({".#oo"}));
}

TEST(GdiBitBlt, ClipsToTheDestination) {
    Canvas source(3, 3, gditest::ink);
    Canvas dest(4, 3);
    ASSERT_TRUE(BitBlt(dest.dc(), 2, -1, 3, 3, source.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(dest.picture(), rows({"..##", "..##", "...."}));
}

struct BlendCase {
    BYTE alpha;
    COLORREF source;
    COLORREF dest;
    COLORREF expected;  // each channel (s * a + d * (255 - a) + 127) / 255, worked out by hand
};

TEST(GdiAlphaBlend, ConstantAlphaMixesEachChannelWithRounding) {
    const BlendCase cases[] = {
        {0, RGB(255, 0, 200), RGB(0, 255, 100), RGB(0, 255, 100)},
        {255, RGB(255, 0, 200), RGB(0, 255, 100), RGB(255, 0, 200)},
        // red 32767 / 255 = 128.5; green 32512 / 255 = 127.5; blue 38427 / 255 = 150.7.
        {128, RGB(255, 0, 200), RGB(0, 255, 100), RGB(128, 127, 150)},
        // red (0 + 128 * 254 + 127) / 255 = 127.99; green (255 + 0 + 127) / 255 = 1.5;
        // blue (200 + 100 * 254 + 127) / 255 = 100.88.
        {1, RGB(0, 255, 200), RGB(128, 0, 100), RGB(127, 1, 100)},
        // red (200 * 64 + 100 * 191 + 127) / 255 = 125.6; green (0 + 50 * 191 + 127) / 255 = 37.95;
        // blue (255 * 64 + 0 + 127) / 255 = 64.5.
        {64, RGB(200, 0, 255), RGB(100, 50, 0), RGB(125, 37, 64)},
        // red (10 * 200 + 250 * 55 + 127) / 255 = 62.3; green (250 * 200 + 10 * 55 + 127) / 255 = 198.7.
        {200, RGB(10, 250, 0), RGB(250, 10, 0), RGB(62, 198, 0)},
    };
    for (const BlendCase& c : cases) {
        Canvas source(1, 1, c.source);
        Canvas dest(1, 1, c.dest);
        const BLENDFUNCTION blend = {AC_SRC_OVER, 0, c.alpha, 0};
        ASSERT_TRUE(AlphaBlend(dest.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 1, 1, blend)) << int(c.alpha);
        EXPECT_EQ(GetPixel(dest.dc(), 0, 0), c.expected) << "alpha " << int(c.alpha);
        EXPECT_EQ(GetPixel(source.dc(), 0, 0), c.source) << "alpha " << int(c.alpha);
    }
}

TEST(GdiAlphaBlend, BlendsOnlyTheBlockAtItsPlace) {
    // Each frame laid over the last: a block of ink at alpha 128 over black
    // lands only on its own pixels.
    Canvas source(4, 3, RGB(200, 100, 50));
    Canvas dest(4, 3, RGB(0, 0, 0));
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 128, 0};
    ASSERT_TRUE(AlphaBlend(dest.dc(), 1, 1, 2, 2, source.dc(), 1, 1, 2, 2, blend));
    // (200 * 128 + 127) / 255 = 100.9; (100 * 128 + 127) / 255 = 50.7; (50 * 128 + 127) / 255 = 25.6.
    const std::map<char, COLORREF> legend = {{'.', RGB(0, 0, 0)}, {'m', RGB(100, 50, 25)}};
    EXPECT_EQ(dest.picture(legend), rows({"....", ".mm.", ".mm."}));
}

// Every source byte against every destination byte at every alpha (the
// low byte of a 256x256 block takes each pair once; the other bytes mix
// other pairs), each to the rounding of the formula.
TEST(GdiAlphaBlend, EveryByteAtEveryAlphaFollowsTheFormulaExactly) {
    constexpr int kSide = 256;
    std::vector<uint32_t> sourceBits(kSide * kSide), destBits(kSide * kSide);
    for (uint32_t j = 0; j < kSide; ++j)
        for (uint32_t i = 0; i < kSide; ++i) {
            sourceBits[j * kSide + i] = i | j << 8 | (i ^ j) << 16 | (255 - i) << 24;
            destBits[j * kSide + i] = j | (255 - j) << 8 | i << 16 | (i ^ 0x5A) << 24;
        }
    HDC sourceDc = CreateCompatibleDC(nullptr), pristineDc = CreateCompatibleDC(nullptr);
    HBITMAP sourceBitmap = CreateBitmap(kSide, kSide, 1, 32, sourceBits.data());
    HBITMAP pristine = CreateBitmap(kSide, kSide, 1, 32, destBits.data());
    HGDIOBJ keptSource = SelectObject(sourceDc, sourceBitmap), keptPristine = SelectObject(pristineDc, pristine);
    Canvas dest(kSide, kSide);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, -kSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint32_t> mixed(kSide * kSide);
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        ASSERT_TRUE(BitBlt(dest.dc(), 0, 0, kSide, kSide, pristineDc, 0, 0, SRCCOPY));
        const BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(alpha), 0};
        ASSERT_TRUE(AlphaBlend(dest.dc(), 0, 0, kSide, kSide, sourceDc, 0, 0, kSide, kSide, blend));
        ASSERT_EQ(GetDIBits(dest.dc(), dest.bitmap(), 0, kSide, mixed.data(), &info, DIB_RGB_COLORS), kSide);
        for (std::size_t p = 0; p < mixed.size(); ++p)
            for (int shift = 0; shift < 32; shift += 8) {
                const uint32_t s = (sourceBits[p] >> shift) & 0xFF, d = (destBits[p] >> shift) & 0xFF;
                ASSERT_EQ((mixed[p] >> shift) & 0xFF, (s * alpha + d * (255 - alpha) + 127) / 255)
                    << "source " << s << " destination " << d << " alpha " << alpha;
            }
    }
    SelectObject(sourceDc, keptSource);
    SelectObject(pristineDc, keptPristine);
    DeleteObject(sourceBitmap);
    DeleteObject(pristine);
    DeleteDC(sourceDc);
    DeleteDC(pristineDc);
}

TEST(GdiAlphaBlend, RefusesBlocksOutsideTheSourceAndNegativeSizes) {
    Canvas source(4, 4, gditest::ink);
    Canvas dest(4, 4);
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 128, 0};
    EXPECT_FALSE(AlphaBlend(dest.dc(), 0, 0, 2, 2, source.dc(), 3, 3, 2, 2, blend));
    EXPECT_FALSE(AlphaBlend(dest.dc(), 0, 0, 2, 2, source.dc(), -1, 0, 2, 2, blend));
    EXPECT_FALSE(AlphaBlend(dest.dc(), 2, 2, -2, 2, source.dc(), 0, 0, 2, 2, blend));
    EXPECT_EQ(dest.picture(), rows({"....", "....", "....", "...."}));
}

TEST(GdiDIBits, ReadsRowsBottomUpOrTopDownBySignOfHeight) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(3, 2, 1, 32, nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
    const RECT all = {0, 0, 3, 2};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SetPixel(dc, 0, 0, RGB(1, 2, 3));
    SetPixel(dc, 2, 0, RGB(4, 5, 6));
    SetPixel(dc, 1, 1, RGB(7, 8, 9));
    SelectObject(dc, previous);  // bits are read from a bitmap that no DC holds
    const DWORD b = 0x0A141E;    // RGB(10, 20, 30) as a DIB pixel, 0xRRGGBB

    struct Order {
        const char* name;
        LONG height;
        std::vector<DWORD> expected;
    };
    const Order orders[] = {
        {"bottom-up", 2, {b, 0x070809, b, 0x010203, b, 0x040506}},
        {"top-down", -2, {0x010203, b, 0x040506, b, 0x070809, b}},
    };
    for (const Order& order : orders) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 3;
        info.bmiHeader.biHeight = order.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        std::vector<DWORD> bits(6, 0xDEADBEEF);
        EXPECT_EQ(GetDIBits(dc, bitmap, 0, 2, bits.data(), &info, DIB_RGB_COLORS), 2) << order.name;
        for (DWORD& pixel : bits) pixel &= 0x00FFFFFF;  // the fourth byte is unused in BI_RGB
        EXPECT_EQ(bits, order.expected) << order.name;
    }
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST(GdiDIBits, WithoutABufferFillsInTheSize) {
    HBITMAP bitmap = CreateBitmap(5, 3, 1, 32, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_NE(GetDIBits(dc, bitmap, 0, 0, nullptr, &info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(info.bmiHeader.biWidth, 5);
    EXPECT_EQ(info.bmiHeader.biHeight, 3);
    EXPECT_EQ(info.bmiHeader.biBitCount, 32);
    EXPECT_EQ(info.bmiHeader.biSizeImage, 5u * 3u * 4u);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

}  // namespace

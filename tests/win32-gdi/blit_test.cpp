// Block transfers between DCs.
#include <windows.h>

#include <gtest/gtest.h>

#include "pixel_canvas.h"

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

}  // namespace

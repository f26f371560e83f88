// FillRect and single pixels: the left and top edges are covered, the right
// and bottom ones are not, and a rectangle passed backwards covers the same
// number of pixels ending at its first coordinate.
#include <windows.h>

#include <gtest/gtest.h>

#include "known_difference.h"
#include "gdi_canvas.h"

namespace {

using gditest::Canvas;
using gditest::rows;

struct FillCase {
    const char* name;
    RECT rect;
    std::vector<std::string> expected;
};

TEST(GdiFillRect, CoversLeftAndTopEdgesOnly) {
    const FillCase cases[] = {
        {"plain", {1, 1, 4, 3}, {"......", ".ooo..", ".ooo..", "......", "......"}},
        // top 4 below bottom 1: the rows bottom + 1 through top.
        {"upside down", {1, 4, 4, 1}, {"......", "......", ".ooo..", ".ooo..", ".ooo.."}},
        // right 1 left of left 4: the columns right + 1 through left.
        {"right to left", {4, 1, 1, 3}, {"......", "..ooo.", "..ooo.", "......", "......"}},
        {"both reversed", {5, 3, 3, 0}, {"......", "....oo", "....oo", "....oo", "......"}},
        {"one pixel", {2, 2, 3, 3}, {"......", "......", "..o...", "......", "......"}},
        {"no width", {2, 1, 2, 4}, {"......", "......", "......", "......", "......"}},
        {"no height", {0, 3, 6, 3}, {"......", "......", "......", "......", "......"}},
        {"past every edge", {-3, -2, 9, 8}, {"oooooo", "oooooo", "oooooo", "oooooo", "oooooo"}},
        {"hanging off the top left", {-2, -2, 2, 1}, {"oo....", "......", "......", "......", "......"}},
        {"upside down past the bottom", {1, 9, 3, 3}, {"......", "......", "......", "......", ".oo..."}},
    };
    for (const FillCase& c : cases) {
        Canvas canvas(6, 5);
        HBRUSH brush = CreateSolidBrush(gditest::fill);
        EXPECT_NE(FillRect(canvas.dc(), &c.rect, brush), 0) << c.name;
        DeleteObject(brush);
        EXPECT_EQ(canvas.picture(), rows(c.expected)) << c.name;
    }
}

TEST(GdiFillRect, UsesTheGivenBrushNotTheSelectedOne) {
    Canvas canvas(3, 1);
    HBRUSH selected = CreateSolidBrush(gditest::ink);
    HGDIOBJ previous = SelectObject(canvas.dc(), selected);
    HBRUSH given = CreateSolidBrush(gditest::fill);
    RECT rect = {0, 0, 2, 1};
    FillRect(canvas.dc(), &rect, given);
    EXPECT_EQ(canvas.picture(), rows({"oo."}));
    SelectObject(canvas.dc(), previous);
    DeleteObject(selected);
    DeleteObject(given);
}

TEST(GdiFillRect, HollowBrushLeavesThePixels) {
    Canvas canvas(3, 2);
    RECT rect = {0, 0, 3, 2};
    FillRect(canvas.dc(), &rect, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(canvas.picture(), rows({"...", "..."}));
}

TEST(GdiPixels, SetPixelStoresTheColourAndGetPixelReadsIt) {
    Canvas canvas(3, 2);
    EXPECT_EQ(SetPixel(canvas.dc(), 2, 1, gditest::ink), gditest::ink);
    EXPECT_EQ(SetPixel(canvas.dc(), 0, 0, gditest::fill), gditest::fill);
    EXPECT_EQ(canvas.picture(), rows({"o..", "..#"}));
    EXPECT_EQ(GetPixel(canvas.dc(), 1, 1), gditest::background);
}

TEST(GdiPixels, OutsideTheBitmapNothingIsReadOrWritten) {
    Canvas canvas(3, 2);
    const POINT outside[] = {{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {100, 100}};
    for (const POINT& p : outside) {
        KNOWN_WINE_DIFFERENCE("Wine's SetPixel answers the colour for a pixel outside the bitmap, where Windows "
                              "answers -1",
                              EXPECT_EQ(SetPixel(canvas.dc(), p.x, p.y, gditest::ink), COLORREF(-1))
                                  << p.x << "," << p.y);
        EXPECT_EQ(GetPixel(canvas.dc(), p.x, p.y), CLR_INVALID) << p.x << "," << p.y;
    }
    EXPECT_EQ(canvas.picture(), rows({"...", "..."}));
}

}  // namespace

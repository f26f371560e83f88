// Polygon and Rectangle: the inside is filled with the selected brush by the
// alternate rule (left and top edges in, right and bottom edges out), then
// the closed outline is drawn with the selected pen.
#include <windows.h>

#include <gtest/gtest.h>

#include "gdi_canvas.h"

namespace {

using gditest::Canvas;
using gditest::InkAndFill;
using gditest::rows;

TEST(GdiPolygon, AlternateRuleLeavesAHoleWhereTheOutlineCrossesTwice) {
    // A square with a smaller square inside it, traced the same way round:
    // the inner square is crossed twice from outside, so it stays empty.
    const POINT points[] = {{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 0}, {2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}};
    Canvas canvas(7, 7);
    InkAndFill brushOnly(canvas.dc(), 1, PS_NULL);
    EXPECT_TRUE(Polygon(canvas.dc(), points, 10));
    EXPECT_EQ(canvas.picture(),
              rows({"oooooo.", "oooooo.", "oo..oo.", "oo..oo.", "oooooo.", "oooooo.", "......."}));
}

TEST(GdiPolygon, OutlineIsTheClosedLineThroughEveryPoint) {
    // A right triangle: the fill stops short of the slanted and right edges;
    // the outline covers every corner, since each line starts at one.
    const POINT points[] = {{1, 1}, {5, 1}, {5, 5}};
    Canvas canvas(7, 7);
    InkAndFill inkAndFill(canvas.dc(), 1);
    EXPECT_TRUE(Polygon(canvas.dc(), points, 3));
    EXPECT_EQ(canvas.picture(),
              rows({".......", ".#####.", "..#oo#.", "...#o#.", "....##.", ".....#.", "......."}));
}

struct TabCase {
    const char* name;
    int borderWidth;
    POINT points[3];
    RECT corner;  // the part of the 100 x 25 window that the picture shows
    std::vector<std::string> expected;
};

// The tab of the plug-in's window: a right triangle in a corner of a 100 x 25
// window, inset by the border width w, its legs reaching to 10 pixels from
// the edges, filled with the brush and outlined with a pen of width w.
TEST(GdiPolygon, CornerTabOfAHundredByTwentyFiveWindow) {
    const TabCase cases[] = {
        {"bottom right, border 1",
         1,
         {{99, 24}, {90, 24}, {99, 15}},
         {88, 13, 100, 25},
         {"............", "............", "...........#", "..........##", ".........#o#", "........#oo#",
          ".......#ooo#", "......#oooo#", ".....#ooooo#", "....#oooooo#", "...#ooooooo#", "..##########"}},
        // Border 2: lines of width 2 with round ends, so every corner gets a
        // 2 x 2 dot reaching up and left of it.
        {"bottom right, border 2",
         2,
         {{98, 23}, {90, 23}, {98, 15}},
         {88, 13, 100, 25},
         {"............", ".........##.", "........###.", ".......####.", "......#####.", ".....######.",
          "....####o##.", "...####oo##.", "..####ooo##.", ".##########.", ".##########.", "............"}},
        {"top left, border 1",
         1,
         {{1, 1}, {10, 1}, {1, 10}},
         {0, 0, 12, 12},
         {"............", ".##########.", ".#ooooooo#..", ".#oooooo#...", ".#ooooo#....", ".#oooo#.....",
          ".#ooo#......", ".#oo#.......", ".#o#........", ".##.........", ".#..........", "............"}},
    };
    for (const TabCase& c : cases) {
        Canvas canvas(100, 25);
        {
            InkAndFill inkAndFill(canvas.dc(), c.borderWidth);
            EXPECT_TRUE(Polygon(canvas.dc(), c.points, 3)) << c.name;
        }
        EXPECT_EQ(canvas.picture(c.corner), rows(c.expected)) << c.name;
        EXPECT_EQ(canvas.changedOutside(c.corner), 0) << c.name;
    }
}

struct RectangleCase {
    const char* name;
    int penWidth;
    int penStyle;
    RECT corners;
    std::vector<std::string> expected;
};

TEST(GdiRectangle, OutlineRunsOnePixelInsideTheRightAndBottomEdges) {
    const RectangleCase cases[] = {
        {"pen and brush", 1, PS_SOLID, {1, 1, 6, 5},
         {"........", ".#####..", ".#ooo#..", ".#ooo#..", ".#####..", "........"}},
        {"corners given backwards", 1, PS_SOLID, {6, 5, 1, 1},
         {"........", ".#####..", ".#ooo#..", ".#ooo#..", ".#####..", "........"}},
        // Without a pen the fill alone is one pixel smaller each way.
        {"null pen", 1, PS_NULL, {1, 1, 6, 5},
         {"........", ".oooo...", ".oooo...", ".oooo...", "........", "........"}},
        {"no width", 1, PS_SOLID, {2, 1, 2, 5},
         {"........", "........", "........", "........", "........", "........"}},
    };
    for (const RectangleCase& c : cases) {
        Canvas canvas(8, 6);
        {
            InkAndFill inkAndFill(canvas.dc(), c.penWidth, c.penStyle);
            EXPECT_TRUE(Rectangle(canvas.dc(), c.corners.left, c.corners.top, c.corners.right, c.corners.bottom))
                << c.name;
        }
        EXPECT_EQ(canvas.picture(), rows(c.expected)) << c.name;
    }
}

}  // namespace

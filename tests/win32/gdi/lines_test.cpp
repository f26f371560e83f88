// Lines: the end point is left out, each step takes the pixel nearest to the
// true line, a point exactly halfway goes to the smaller coordinate (so a line
// covers the same pixels from either end), and wider pens draw round ends
// that include the end point.
#include <windows.h>

#include <gtest/gtest.h>

#include "gdi_canvas.h"

namespace {

using gditest::Canvas;
using gditest::InkAndFill;
using gditest::rows;

struct LineCase {
    const char* name;
    int width, height;
    int penWidth;
    POINT from, to;
    std::vector<std::string> expected;
};

void drawLineCase(const LineCase& c) {
    Canvas canvas(c.width, c.height);
    {
        InkAndFill pen(canvas.dc(), c.penWidth);
        MoveToEx(canvas.dc(), c.from.x, c.from.y, nullptr);
        EXPECT_TRUE(LineTo(canvas.dc(), c.to.x, c.to.y)) << c.name;
    }
    EXPECT_EQ(canvas.picture(), rows(c.expected)) << c.name;
}

TEST(GdiLines, ThinLinesLeaveOutTheEndPointAndStepToTheNearestPixel) {
    const LineCase cases[] = {
        {"level, left to right", 7, 2, 1, {1, 0}, {5, 0}, {".####..", "......."}},
        {"level, right to left", 7, 2, 1, {5, 0}, {1, 0}, {"..####.", "......."}},
        {"upright, upward", 2, 6, 1, {1, 5}, {1, 1}, {"..", "..", ".#", ".#", ".#", ".#"}},
        {"diagonal", 5, 5, 1, {4, 0}, {0, 4}, {"....#", "...#.", "..#..", ".#...", "....."}},
        // 2 rows over 6 columns: offsets round(i / 3) = 0 0 1 1 1 2.
        {"shallow slope", 7, 3, 1, {0, 0}, {6, 2}, {"##.....", "..###..", ".....#."}},
        // 2 columns over 6 rows, the steep mirror of the above.
        {"steep slope", 3, 7, 1, {0, 0}, {2, 6}, {"#..", "#..", ".#.", ".#.", ".#.", "..#", "..."}},
        // One row over four columns: at column 2 the line is exactly halfway
        // between rows 0 and 1, and row 0 (the smaller) is taken, whichever
        // end the line starts from.
        {"halfway, forward", 5, 2, 1, {0, 0}, {4, 1}, {"###..", "...#."}},
        {"halfway, backward", 5, 2, 1, {4, 1}, {0, 0}, {".##..", "...##"}},
        {"halfway, leftward and down", 5, 2, 1, {4, 0}, {0, 1}, {"..###", ".#..."}},
        {"halfway, steep", 2, 5, 1, {0, 0}, {1, 4}, {"#.", "#.", "#.", ".#", ".."}},
        {"no length", 3, 3, 1, {1, 1}, {1, 1}, {"...", "...", "..."}},
        {"from outside the bitmap", 4, 3, 1, {-3, 1}, {3, 1}, {"....", "###.", "...."}},
        {"width 0 draws one pixel wide", 4, 1, 0, {0, 0}, {3, 0}, {"###."}},
    };
    for (const LineCase& c : cases) drawLineCase(c);
}

TEST(GdiLines, JoinedLinesDrawEachPixelOnce) {
    // An L from (1,1) right to (4,1) and down to (4,3): the corner is drawn
    // by the second line, and the last end point is left out.
    Canvas canvas(6, 5);
    InkAndFill pen(canvas.dc(), 1);
    MoveToEx(canvas.dc(), 1, 1, nullptr);
    LineTo(canvas.dc(), 4, 1);
    LineTo(canvas.dc(), 4, 3);
    POINT position{};
    GetCurrentPositionEx(canvas.dc(), &position);
    EXPECT_EQ(position.x, 4);
    EXPECT_EQ(position.y, 3);
    EXPECT_EQ(canvas.picture(), rows({"......", ".####.", "....#.", "......", "......"}));
}

TEST(GdiLines, NullPenDrawsNothingButMovesThePosition) {
    Canvas canvas(4, 2);
    InkAndFill nullPen(canvas.dc(), 1, PS_NULL);
    MoveToEx(canvas.dc(), 0, 0, nullptr);
    EXPECT_TRUE(LineTo(canvas.dc(), 3, 1));
    POINT position{};
    GetCurrentPositionEx(canvas.dc(), &position);
    EXPECT_EQ(position.x, 3);
    EXPECT_EQ(position.y, 1);
    EXPECT_EQ(canvas.picture(), rows({"....", "...."}));
}

// A wide pen's end is a round dot in the w x w box whose left column is
// x - w/2 and top row y - w/2: for w = 2 the full box; w = 3 a plus;
// w = 4 rows of 2, 4, 4, 2; w = 5 rows of 3, 5, 5, 5, 3.
TEST(GdiLines, WidePenEndsAreRoundDots) {
    const LineCase cases[] = {
        {"width 2", 5, 5, 2, {2, 2}, {2, 2}, {".....", ".##..", ".##..", ".....", "....."}},
        {"width 3", 5, 5, 3, {2, 2}, {2, 2}, {".....", "..#..", ".###.", "..#..", "....."}},
        {"width 4", 6, 6, 4, {3, 3}, {3, 3}, {"......", "..##..", ".####.", ".####.", "..##..", "......"}},
        {"width 5", 7, 7, 5, {3, 3},
         {3, 3},
         {".......", "..###..", ".#####.", ".#####.", ".#####.", "..###..", "......."}},
    };
    for (const LineCase& c : cases) drawLineCase(c);
}

TEST(GdiLines, WideLinesJoinTheirRoundEndsWithABand) {
    const LineCase cases[] = {
        // Rows 1..3 between the ends; the end dots (pluses) reach one
        // column further at each end, and the end point is included.
        {"level, width 3", 9, 5, 3, {2, 2}, {6, 2},
         {".........", "..#####..", ".#######.", "..#####..", "........."}},
        {"upright, width 2", 4, 6, 2, {2, 1}, {2, 4}, {".##.", ".##.", ".##.", ".##.", ".##.", "...."}},
        // Sloping, width 2: 2 x 2 dots at (0..1, 0..1) and (4..5, 2..3),
        // joined by the band (2,0) (6,2) (5,4) (1,2).
        {"sloping, width 2", 8, 5, 2, {1, 1}, {5, 3}, {"##......", "####....", ".#####..", "...###..", "........"}},
    };
    for (const LineCase& c : cases) drawLineCase(c);
}

}  // namespace

namespace {

TEST(GdiLines, FarCoordinatesDrawOnlyTheVisiblePart) {
    // A diagonal from far above-left to far below-right crosses the bitmap
    // on its own diagonal.
    Canvas line(4, 4);
    {
        InkAndFill pen(line.dc(), 1);
        MoveToEx(line.dc(), -1000000000, -1000000000, nullptr);
        LineTo(line.dc(), 1000000000, 1000000000);
    }
    EXPECT_EQ(line.picture(), rows({"#...", ".#..", "..#.", "...#"}));

    // The lower left half-plane of that diagonal, by a polygon: row y
    // holds the columns left of x = y.
    Canvas half(4, 4);
    {
        InkAndFill brushOnly(half.dc(), 1, PS_NULL);
        const POINT points[] = {{-1000000000, -1000000000}, {1000000000, 1000000000}, {-1000000000, 1000000000}};
        Polygon(half.dc(), points, 3);
    }
    EXPECT_EQ(half.picture(), rows({"....", "o...", "oo..", "ooo."}));

    // A dot far wider than the bitmap covers all of it.
    Canvas dot(4, 4);
    {
        InkAndFill pen(dot.dc(), 1000);
        MoveToEx(dot.dc(), 2, 2, nullptr);
        LineTo(dot.dc(), 2, 2);
    }
    EXPECT_EQ(dot.picture(), rows({"####", "####", "####", "####"}));
}

}  // namespace

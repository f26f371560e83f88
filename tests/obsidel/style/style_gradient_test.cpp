// MakeStyleGradient: the colour ramps of each texture, the raised and sunken
// bevels, and the border. Expected colours are worked out from the rules in
// style_paint.cpp's header: per channel c0 + (c1 - c0) * i / (n - 1),
// rounded half up; light = v + (255 - v) / 2 and dark = v / 2 of the pixel
// beneath.
#include <obsidel/api.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "style.h"
#include "pixel_canvas.h"
#include "test_support.h"

namespace {

constexpr COLORREF kUntouched = RGB(255, 255, 255);

// A canvas that starts white, so that what the gradient leaves alone shows.
class Canvas : public testsupport::Canvas {
public:
    Canvas(int width, int height) : testsupport::Canvas(width, height, kUntouched) {}
};

using testsupport::rows;

StyleItem item(int texture, COLORREF from, COLORREF to, int bevel = BEVEL_FLAT, int position = 1) {
    StyleItem style{};
    style.texture = texture;
    style.bevelStyle = bevel;
    style.bevelPosition = position;
    style.color = from;
    style.colorTo = to;
    return style;
}

// Loads a style whose border is `width` pixels of `color` (and nothing
// else of note); the built-in style comes back when the test ends.
class BorderStyle {
public:
    BorderStyle(int width, const char* color) {
        const std::string path = dir_.file("border.style");
        // Appended piece by piece: GCC 12 at -O3 for i686 takes "text" + std::string&& for an
        // overlapping copy (-Wrestrict), a false alarm that warnings-as-errors would stop on.
        std::string text = "borderWidth: ";
        text += std::to_string(width);
        text += "\nborderColor: ";
        text += color;
        text += "\n";
        testsupport::writeFile(path, text);
        EXPECT_TRUE(obsidel::loadStyleFile(path));
    }
    ~BorderStyle() { obsidel::useBuiltInStyle(); }

private:
    testsupport::TempDir dir_;
};

void paint(Canvas& canvas, RECT rect, StyleItem style, bool border = false) {
    MakeStyleGradient(canvas.dc(), &rect, &style, border ? 1 : 0);
}

struct RampCase {
    const char* name;
    StyleItem style;
    int width, height;
    // expected(x, y)
    COLORREF (*expected)(int, int);
};

TEST(HostStyleGradient, RampsFromColorToColorTo) {
    const RampCase cases[] = {
        {"horizontal", item(STYLE_HORIZONTAL, RGB(0, 100, 200), RGB(64, 60, 0)), 5, 3,
         [](int x, int) { return RGB(16 * x, 100 - 10 * x, 200 - 50 * x); }},
        {"vertical", item(STYLE_VERTICAL, RGB(0, 100, 200), RGB(64, 60, 0)), 2, 5,
         [](int, int y) { return RGB(16 * y, 100 - 10 * y, 200 - 50 * y); }},
        // 5 by 5: the position is (x / 4 + y / 4) / 2.
        {"diagonal square", item(STYLE_DIAGONAL, RGB(0, 0, 0), RGB(80, 160, 240)), 5, 5,
         [](int x, int y) { return RGB(10 * (x + y), 20 * (x + y), 30 * (x + y)); }},
        // 9 by 3: (x / 8 + y / 2) / 2 of 160 is 10x + 40y.
        {"diagonal wide", item(STYLE_DIAGONAL, RGB(0, 0, 0), RGB(160, 0, 0)), 9, 3,
         [](int x, int y) { return RGB(10 * x + 40 * y, 0, 0); }},
        // From the bottom-left pixel to the top-right one.
        {"cross-diagonal", item(STYLE_CROSSDIAGONAL, RGB(0, 0, 0), RGB(80, 160, 240)), 5, 5,
         [](int x, int y) { return RGB(10 * (x + 4 - y), 20 * (x + 4 - y), 30 * (x + 4 - y)); }},
        // One column: the diagonal runs down it alone.
        {"diagonal one column", item(STYLE_DIAGONAL, RGB(0, 0, 0), RGB(40, 0, 0)), 1, 5,
         [](int, int y) { return RGB(10 * y, 0, 0); }},
        // 127.5 rounds up.
        {"halves round up", item(STYLE_HORIZONTAL, RGB(0, 0, 0), RGB(255, 255, 255)), 3, 1,
         [](int x, int) { return x == 0 ? RGB(0, 0, 0) : x == 1 ? RGB(128, 128, 128) : RGB(255, 255, 255); }},
        {"horizontal one column", item(STYLE_HORIZONTAL, RGB(9, 8, 7), RGB(255, 255, 255)), 1, 2,
         [](int, int) { return RGB(9, 8, 7); }},
        {"flat", item(STYLE_FLAT, RGB(12, 34, 56), RGB(255, 0, 0)), 4, 3, [](int, int) { return RGB(12, 34, 56); }},
    };
    for (const RampCase& c : cases) {
        Canvas canvas(c.width, c.height);
        paint(canvas, {0, 0, c.width, c.height}, c.style);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(canvas.at(x, y), c.expected(x, y)) << c.name << " at (" << x << ", " << y << ")";
    }
}

TEST(HostStyleGradient, BevelLightensAndDarkensTheEdges) {
    const COLORREF base = RGB(100, 100, 100);
    const std::map<char, COLORREF> legend = {
        {'.', base}, {'L', RGB(177, 177, 177)}, {'D', RGB(50, 50, 50)}, {' ', kUntouched}};
    struct Case {
        const char* name;
        int bevel, position;
        std::string expected;
    };
    const Case cases[] = {
        {"raised", BEVEL_RAISED, 1, rows({"LLLLLD", "L....D", "L....D", "DDDDDD"})},
        {"sunken", BEVEL_SUNKEN, 1, rows({"DDDDDL", "D....L", "D....L", "LLLLLL"})},
        {"raised inside", BEVEL_RAISED, 2, rows({"......", ".LLLD.", ".DDDD.", "......"})},
        {"flat", BEVEL_FLAT, 1, rows({"......", "......", "......", "......"})},
    };
    for (const Case& c : cases) {
        Canvas canvas(6, 4);
        paint(canvas, {0, 0, 6, 4}, item(STYLE_FLAT, base, base, c.bevel, c.position));
        EXPECT_EQ(canvas.picture(legend), c.expected) << c.name;
    }
}

TEST(HostStyleGradient, BevelTakesTheGradientBeneath) {
    // Ramp 0, 50, 100, 150, 200 across; raised: the top row and left column
    // light, the bottom row and right column dark.
    Canvas canvas(5, 3);
    paint(canvas, {0, 0, 5, 3}, item(STYLE_HORIZONTAL, RGB(0, 0, 0), RGB(200, 200, 200), BEVEL_RAISED));
    const int expected[3][5] = {
        {127, 152, 177, 202, 100},
        {127, 50, 100, 150, 100},
        {0, 25, 50, 75, 100},
    };
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const int v = expected[y][x];
            EXPECT_EQ(canvas.at(x, y), RGB(v, v, v)) << "(" << x << ", " << y << ")";
        }
}

TEST(HostStyleGradient, BorderTakesTheOuterPixelsWhenAskedFor) {
    BorderStyle style(1, "#ff0000");
    const COLORREF base = RGB(100, 100, 100);
    const std::map<char, COLORREF> legend = {
        {'.', base}, {'L', RGB(177, 177, 177)}, {'D', RGB(50, 50, 50)}, {'B', RGB(255, 0, 0)}};
    Canvas bordered(8, 6);
    paint(bordered, {0, 0, 8, 6}, item(STYLE_FLAT, base, base, BEVEL_RAISED), true);
    EXPECT_EQ(bordered.picture(legend),
              rows({"BBBBBBBB", "BLLLLLDB", "BL....DB", "BL....DB", "BDDDDDDB", "BBBBBBBB"}));
    Canvas plain(8, 6);
    paint(plain, {0, 0, 8, 6}, item(STYLE_FLAT, base, base, BEVEL_RAISED), false);
    EXPECT_EQ(plain.picture(legend), rows({"LLLLLLLD", "L......D", "L......D", "L......D", "L......D", "DDDDDDDD"}));
}

TEST(HostStyleGradient, GradientSpansTheAreaInsideTheBorder) {
    BorderStyle style(2, "#0000ff");
    Canvas canvas(9, 5);
    paint(canvas, {0, 0, 9, 5}, item(STYLE_HORIZONTAL, RGB(0, 0, 0), RGB(64, 0, 0)), true);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool inside = x >= 2 && x < 7 && y == 2;
            EXPECT_EQ(canvas.at(x, y), inside ? RGB(16 * (x - 2), 0, 0) : RGB(0, 0, 255)) << x << ", " << y;
        }
    // A border wider than half the rectangle covers all of it.
    Canvas small(3, 3);
    paint(small, {0, 0, 3, 3}, item(STYLE_FLAT, RGB(1, 2, 3), RGB(1, 2, 3)), true);
    const std::map<char, COLORREF> legend = {{'B', RGB(0, 0, 255)}};
    EXPECT_EQ(small.picture(legend), rows({"BBB", "BBB", "BBB"}));
}

TEST(HostStyleGradient, ZeroBorderWidthDrawsNoBorder) {
    BorderStyle style(0, "#0000ff");
    Canvas canvas(3, 2);
    paint(canvas, {0, 0, 3, 2}, item(STYLE_FLAT, RGB(7, 7, 7), RGB(7, 7, 7)), true);
    EXPECT_EQ(canvas.picture({{'.', RGB(7, 7, 7)}}), rows({"...", "..."}));
}

TEST(HostStyleGradient, APaintLikeTheOneBeforeAndEachChangeAfterItShowTheirOwnPixels) {
    // Painted in turn on one canvas, as a plug-in paints every frame: each
    // change of what the pixels depend on shows, and going back shows the first again.
    const StyleItem first = item(STYLE_HORIZONTAL, RGB(0, 0, 0), RGB(64, 0, 0));
    StyleItem otherEnd = first;
    otherEnd.colorTo = RGB(0, 64, 0);
    StyleItem sunken = item(STYLE_FLAT, RGB(100, 100, 100), RGB(100, 100, 100), BEVEL_SUNKEN);
    StyleItem sunkenInside = sunken;
    sunkenInside.bevelPosition = 2;
    struct Step {
        const char* change;
        StyleItem style;
        int width;
        COLORREF (*expected)(int x, int y);
    };
    const Step steps[] = {
        {"first", first, 5, [](int x, int) { return RGB(16 * x, 0, 0); }},
        {"the same again", first, 5, [](int x, int) { return RGB(16 * x, 0, 0); }},
        {"another end colour", otherEnd, 5, [](int x, int) { return RGB(0, 16 * x, 0); }},
        {"another width", first, 3, [](int x, int) { return RGB(32 * x, 0, 0); }},
        {"a sunken bevel", sunken, 5,
         [](int x, int y) {
             // Sunken: the bottom row and right column light, the top row and left column dark.
             if (x == 4 || y == 2) return RGB(177, 177, 177);
             return x == 0 || y == 0 ? RGB(50, 50, 50) : RGB(100, 100, 100);
         }},
        {"the bevel one pixel inside", sunkenInside, 5,
         [](int x, int y) { return x >= 1 && x <= 3 && y == 1 ? RGB(177, 177, 177) : RGB(100, 100, 100); }},
        {"the first again", first, 5, [](int x, int) { return RGB(16 * x, 0, 0); }},
    };
    Canvas canvas(5, 3);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.change);
        paint(canvas, {0, 0, step.width, 3}, step.style);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < step.width; ++x) EXPECT_EQ(canvas.at(x, y), step.expected(x, y)) << x << ", " << y;
    }
    // A border from the style is part of what the pixels depend on.
    BorderStyle style(1, "#ff0000");
    paint(canvas, {0, 0, 5, 3}, first, true);
    EXPECT_EQ(canvas.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(canvas.at(1, 1), RGB(0, 0, 0));
    EXPECT_EQ(canvas.at(3, 1), RGB(64, 0, 0));
}

TEST(HostStyleGradient, PaintsOnlyItsRectangle) {
    const std::map<char, COLORREF> legend = {{' ', kUntouched}, {'o', RGB(0, 0, 200)}};
    Canvas canvas(8, 5);
    paint(canvas, {2, 1, 6, 3}, item(STYLE_FLAT, RGB(0, 0, 200), RGB(0, 0, 200)));
    EXPECT_EQ(canvas.picture(legend), rows({"        ", "  oooo  ", "  oooo  ", "        ", "        "}));

    // A ramp is laid over the rectangle, not over the whole surface.
    Canvas ramp(8, 1);
    paint(ramp, {3, 0, 6, 1}, item(STYLE_HORIZONTAL, RGB(0, 0, 0), RGB(200, 0, 0)));
    EXPECT_EQ(ramp.at(3, 0), RGB(0, 0, 0));
    EXPECT_EQ(ramp.at(4, 0), RGB(100, 0, 0));
    EXPECT_EQ(ramp.at(5, 0), RGB(200, 0, 0));
    EXPECT_EQ(ramp.at(6, 0), kUntouched);

    // Empty or reversed rectangles, and missing arguments, paint nothing.
    Canvas untouched(4, 4);
    StyleItem style = item(STYLE_FLAT, RGB(0, 0, 200), RGB(0, 0, 200));
    RECT empty{1, 1, 1, 3}, reversed{3, 3, 1, 1}, whole{0, 0, 4, 4};
    MakeStyleGradient(untouched.dc(), &empty, &style, 0);
    MakeStyleGradient(untouched.dc(), &reversed, &style, 0);
    MakeStyleGradient(untouched.dc(), nullptr, &style, 0);
    MakeStyleGradient(untouched.dc(), &whole, nullptr, 0);
    MakeStyleGradient(nullptr, &whole, &style, 0);
    EXPECT_EQ(untouched.picture(legend), rows({"    ", "    ", "    ", "    "}));
}

}  // namespace

// Fonts and text. Glyph shapes belong to the font, so these tests check
// measures and where the ink lands, not single pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gdi_canvas.h"

namespace {

using gditest::Canvas;

constexpr COLORREF paper = RGB(255, 255, 255);
constexpr COLORREF text = RGB(0, 0, 160);
constexpr COLORREF highlight = RGB(0, 200, 0);

// A canvas with a font of the given height selected, black-on-white text
// and a transparent background.
class TextCanvas : public Canvas {
public:
    TextCanvas(int width, int height, LONG fontHeight) : Canvas(width, height, paper) {
        font_ = CreateFontA(fontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "");
        previous_ = SelectObject(dc(), font_);
        SetTextColor(dc(), text);
        SetBkMode(dc(), TRANSPARENT);
    }
    ~TextCanvas() {
        SelectObject(dc(), previous_);
        DeleteObject(font_);
    }

    SIZE extent(const char* run) const {
        SIZE size{-1, -1};
        EXPECT_TRUE(GetTextExtentPoint32A(dc(), run, static_cast<int>(std::strlen(run)), &size)) << run;
        return size;
    }

    // The smallest rectangle holding every pixel that is no longer paper
    // (empty when nothing was drawn).
    RECT ink() const {
        RECT box = {width(), height(), 0, 0};
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) {
                if (GetPixel(dc(), x, y) == paper) continue;
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
        return box;
    }

private:
    HFONT font_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

bool isEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

::testing::AssertionResult inside(const RECT& ink, const RECT& box) {
    if (isEmpty(ink)) return ::testing::AssertionFailure() << "no ink at all";
    if (ink.left >= box.left && ink.top >= box.top && ink.right <= box.right && ink.bottom <= box.bottom) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "ink (" << ink.left << "," << ink.top << ")-(" << ink.right << ","
                                         << ink.bottom << ") leaves the box (" << box.left << "," << box.top
                                         << ")-(" << box.right << "," << box.bottom << ")";
}

TEST(GdiFonts, HeightIsTheCellWhenPositiveAndTheCharacterWhenNegative) {
    TextCanvas cell(10, 10, 20);
    TEXTMETRICA metrics{};
    ASSERT_TRUE(GetTextMetricsA(cell.dc(), &metrics));
    EXPECT_EQ(metrics.tmHeight, 20);
    EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, metrics.tmHeight);
    EXPECT_EQ(cell.extent("Hello").cy, 20);

    // A character height of 16: the cell adds the internal leading on top.
    // (The face's own metrics are rounded, so the em may come out a pixel off.)
    TextCanvas character(10, 10, -16);
    ASSERT_TRUE(GetTextMetricsA(character.dc(), &metrics));
    EXPECT_NEAR(metrics.tmHeight - metrics.tmInternalLeading, 16, 1);
    EXPECT_GT(metrics.tmHeight, 16);
    EXPECT_EQ(metrics.tmAscent + metrics.tmDescent, metrics.tmHeight);
}

TEST(GdiFonts, ExtentsAddUpCharacterByCharacter) {
    TextCanvas canvas(10, 10, -16);
    const SIZE a = canvas.extent("a");
    const SIZE w = canvas.extent("W");
    const SIZE aw = canvas.extent("aWa");
    EXPECT_GT(a.cx, 0);
    EXPECT_EQ(aw.cx, 2 * a.cx + w.cx);
    EXPECT_EQ(aw.cy, a.cy);
    const SIZE none = canvas.extent("");
    EXPECT_EQ(none.cx, 0);
    EXPECT_EQ(none.cy, 0);

    TextCanvas larger(10, 10, -32);
    EXPECT_GT(larger.extent("aWa").cx, aw.cx);
}

TEST(GdiFonts, LogFontComesBackAndSelectionSwapsFonts) {
    LOGFONTA asked{};
    asked.lfHeight = -13;
    asked.lfWeight = FW_BOLD;
    std::strcpy(asked.lfFaceName, "Sans");
    HFONT font = CreateFontIndirectA(&asked);
    ASSERT_NE(font, nullptr);
    LOGFONTA back{};
    ASSERT_EQ(GetObjectA(font, sizeof(back), &back), int(sizeof(back)));
    EXPECT_EQ(back.lfHeight, -13);
    EXPECT_EQ(back.lfWeight, FW_BOLD);
    EXPECT_STREQ(back.lfFaceName, "Sans");

    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(dc, font);
    EXPECT_EQ(original, GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(SelectObject(dc, original), font);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(font));
}

TEST(GdiText, TextOutInksOnlyTheCellAtThePoint) {
    TextCanvas canvas(90, 40, -16);
    const SIZE size = canvas.extent("HIH");
    ASSERT_TRUE(TextOutA(canvas.dc(), 7, 5, "HIH", 3));
    EXPECT_TRUE(inside(canvas.ink(), {7, 5, 7 + size.cx, 5 + size.cy}));

    // Every pixel is the paper, the text colour, or a mix of the two, and
    // some are at least mostly text.
    bool dark = false;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const COLORREF pixel = GetPixel(canvas.dc(), x, y);
            EXPECT_EQ(GetRValue(pixel), GetGValue(pixel)) << x << "," << y;  // text has no red or green
            EXPECT_GE(GetBValue(pixel), GetBValue(text)) << x << "," << y;
            if (GetRValue(pixel) < 64) dark = true;
        }
    }
    EXPECT_TRUE(dark);
}

TEST(GdiText, OpaqueBackgroundFillsTheCell) {
    TextCanvas canvas(90, 40, -16);
    SetBkMode(canvas.dc(), OPAQUE);
    SetBkColor(canvas.dc(), highlight);
    const SIZE size = canvas.extent("HIH");
    ASSERT_TRUE(TextOutA(canvas.dc(), 7, 5, "HIH", 3));
    EXPECT_TRUE(inside(canvas.ink(), {7, 5, 7 + size.cx, 5 + size.cy}));
    // The cell's corners are background: ink starts below the top and
    // before the right end of the last advance.
    EXPECT_EQ(GetPixel(canvas.dc(), 7, 5), highlight);
    EXPECT_EQ(GetPixel(canvas.dc(), 7 + size.cx - 1, 5 + size.cy - 1), highlight);
}

struct PlacementCase {
    const char* name;
    UINT format;
    RECT rect;
    // Where the cell's top left must be, from the rectangle and the text's
    // extent (cx, cy).
    int (*left)(const RECT& r, int cx);
    int (*top)(const RECT& r, int cy);
};

TEST(GdiText, DrawTextPlacesALineInItsRectangle) {
    // Centred: across, half the room left over; down, half the height less
    // half the text's height, each half rounded down.
    auto centreX = [](const RECT& r, int cx) { return int(r.left + (r.right - r.left - cx) / 2); };
    auto centreY = [](const RECT& r, int cy) { return int(r.top + (r.bottom - r.top) / 2 - cy / 2); };
    const PlacementCase cases[] = {
        {"left top", DT_LEFT | DT_TOP | DT_SINGLELINE, {10, 10, 130, 60},
         [](const RECT& r, int) { return int(r.left); }, [](const RECT& r, int) { return int(r.top); }},
        {"centre", DT_CENTER | DT_VCENTER | DT_SINGLELINE, {10, 10, 130, 60}, centreX, centreY},
        {"centre, odd sizes", DT_CENTER | DT_VCENTER | DT_SINGLELINE, {10, 10, 131, 61}, centreX, centreY},
        {"right bottom", DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, {10, 10, 130, 60},
         [](const RECT& r, int cx) { return int(r.right - cx); },
         [](const RECT& r, int cy) { return int(r.bottom - cy); }},
    };
    for (const PlacementCase& c : cases) {
        TextCanvas canvas(140, 70, -16);
        const SIZE size = canvas.extent("Menu");
        RECT rect = c.rect;
        const int returned = DrawTextA(canvas.dc(), "Menu", -1, &rect, c.format);
        const int left = c.left(c.rect, size.cx);
        const int top = c.top(c.rect, size.cy);
        EXPECT_TRUE(inside(canvas.ink(), {left, top, left + size.cx, top + size.cy})) << c.name;
        // The height of the text, or for a centred or bottom line the
        // distance from the rectangle's top to the text's bottom.
        const int expected = (c.format & (DT_VCENTER | DT_BOTTOM)) ? top - c.rect.top + size.cy : size.cy;
        EXPECT_EQ(returned, expected) << c.name;
    }
}

TEST(GdiText, CalcRectMeasuresWithoutDrawing) {
    TextCanvas canvas(100, 60, -16);
    const SIZE wide = canvas.extent("Configuration");
    RECT rect = {4, 6, 20, 8};
    EXPECT_EQ(DrawTextA(canvas.dc(), "Configuration", -1, &rect, DT_CALCRECT | DT_SINGLELINE), wide.cy);
    EXPECT_EQ(rect.left, 4);
    EXPECT_EQ(rect.top, 6);
    EXPECT_EQ(rect.right, 4 + wide.cx);
    EXPECT_EQ(rect.bottom, 6 + wide.cy);

    // Two lines: as wide as the wider, as high as both.
    const SIZE second = canvas.extent("Tab");
    rect = {0, 0, 10, 10};
    EXPECT_EQ(DrawTextA(canvas.dc(), "Tab\nConfiguration", -1, &rect, DT_CALCRECT), 2 * wide.cy);
    EXPECT_EQ(rect.right, std::max(wide.cx, second.cx));
    EXPECT_EQ(rect.bottom, 2 * wide.cy);
    EXPECT_TRUE(isEmpty(canvas.ink()));
}

TEST(GdiText, PrefixMarksAreHiddenUnlessNoPrefix) {
    TextCanvas canvas(10, 10, -16);
    RECT rect = {0, 0, 200, 50};
    DrawTextA(canvas.dc(), "&File", -1, &rect, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(rect.right, canvas.extent("File").cx);
    rect = {0, 0, 200, 50};
    DrawTextA(canvas.dc(), "&File", -1, &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(rect.right, canvas.extent("&File").cx);
    rect = {0, 0, 200, 50};
    DrawTextA(canvas.dc(), "Save && quit", -1, &rect, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(rect.right, canvas.extent("Save & quit").cx);
}

TEST(GdiText, LongLinesAreCutWithAnEllipsisAndClippedToTheRectangle) {
    TextCanvas canvas(200, 40, -16);
    const char* longText = "ConfigurationConfiguration";  // no blanks: ink runs to the clip
    ASSERT_GT(canvas.extent(longText).cx, 60);
    RECT rect = {10, 5, 70, 35};
    DrawTextA(canvas.dc(), longText, -1, &rect, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_LE(rect.right - rect.left, 60);
    EXPECT_GT(rect.right - rect.left, canvas.extent("...").cx);

    rect = {10, 5, 70, 35};
    DrawTextA(canvas.dc(), longText, -1, &rect, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_TRUE(inside(canvas.ink(), rect));

    // Without the ellipsis the line is simply clipped at the rectangle.
    canvas.clear(paper);
    DrawTextA(canvas.dc(), longText, -1, &rect, DT_SINGLELINE);
    const RECT ink = canvas.ink();
    EXPECT_TRUE(inside(ink, rect));
    EXPECT_GE(ink.right, rect.right - 3) << "the clipped line should run to the rectangle's edge";
}

TEST(GdiText, EmptyTextDrawsNothing) {
    TextCanvas canvas(20, 20, -16);
    RECT rect = {0, 0, 20, 20};
    EXPECT_EQ(DrawTextA(canvas.dc(), "", 0, &rect, DT_SINGLELINE), 0);
    EXPECT_TRUE(TextOutA(canvas.dc(), 0, 0, "", 0));
    EXPECT_TRUE(isEmpty(canvas.ink()));
}

}  // namespace

// The bars of both layouts, frame by frame. Every expected picture is worked
// out by hand from the layout rules: the drawing area starts at e = bevel +
// border width; a band's size is the span over the band count in single
// precision; band k covers x0 + trunc(k * size) up to x0 + trunc((k + 1) *
// size); a side-by-side bar of length n fills the n rows ending at the base
// line (height - e); a stacked bar of length n fills columns x0 .. x0 + n - 1.
#include <cstdint>

#include "display_fixture.h"

namespace displaytest {
namespace {

class RenderLayout : public PluginWindowTest {};

// The figure of width 100, e = 3 and 32 bands: size 2.9375. The band edges,
// k * 2.9375 truncated, plus 3; bands 0, 1, 2 and 31 have the edges 3-5,
// 5-8, 8-11 and 94-97.
constexpr int kEdges100[33] = {3,  5,  8,  11, 14, 17, 20, 23, 26, 29, 32, 35, 38, 41, 44, 47, 50,
                               52, 55, 58, 61, 64, 67, 70, 73, 76, 79, 82, 85, 88, 91, 94, 97};

TEST_F(RenderLayout, SideBySideBandsOfWidth100TouchWithoutGaps) {
    createFrameWindow(100, 25, 1, 0, 32, "h");
    plugin.bevelWidth = 2;  // e = 2 + 1
    // Neighbouring bands alternate between 2 and 5 rows, so each band's
    // columns show in the picture.
    for (int k = 0; k < 32; ++k) plugin.bars[k] = static_cast<unsigned char>(k % 2 ? 5 : 2);
    paint();

    std::string expected;
    const int baseLine = 25 - 3;
    for (int y = 0; y < 25; ++y) {
        for (int x = 0; x < 100; ++x) {
            char shown = '.';
            for (int k = 0; k < 32; ++k) {
                const int length = k % 2 ? 5 : 2;
                if (x >= kEdges100[k] && x < kEdges100[k + 1] && y <= baseLine && y > baseLine - length) shown = '#';
            }
            expected += shown;
        }
        expected += '\n';
    }
    EXPECT_EQ(backBuffer(), expected);

    // The figure's own numbers, read straight from the pixels of the base line
    // and of the row that only the 5-row bands reach.
    auto bar = [](int x, int y) { return GetPixel(plugin.backBufferDC, x, y) == kBar; };
    EXPECT_FALSE(bar(2, 22));
    EXPECT_TRUE(bar(3, 22) && bar(4, 22) && !bar(4, 18));   // band 0: 3 up to 5
    EXPECT_TRUE(bar(5, 18) && bar(7, 18) && !bar(8, 18));   // band 1: 5 up to 8
    EXPECT_TRUE(bar(8, 22) && bar(10, 22) && !bar(10, 18)); // band 2: 8 up to 11
    EXPECT_TRUE(bar(94, 18) && bar(96, 18));                // band 31: 94 up to 97
    EXPECT_FALSE(bar(97, 22));                               // width - e
}

TEST_F(RenderLayout, StackedBandsOfHeight25GetARowOrNone) {
    createFrameWindow(100, 25, 3, 0, 32, "v");
    for (int k = 0; k < 32; ++k) plugin.bars[k] = static_cast<unsigned char>(10 + k);
    paint();

    // size 0.59375: band k starts at row 3 + trunc(k * 0.59375). Bands 0, 2,
    // 4, 7, ... get no row; rows 3 to 21 belong, in order, to these bands:
    const int owner[19] = {1, 3, 5, 6, 8, 10, 11, 13, 15, 16, 18, 20, 21, 23, 25, 26, 28, 30, 31};
    std::string expected;
    for (int y = 0; y < 25; ++y) {
        const int band = y >= 3 && y <= 21 ? owner[y - 3] : -1;
        for (int x = 0; x < 100; ++x) expected += band >= 0 && x >= 3 && x < 3 + 10 + band ? '#' : '.';
        expected += '\n';
    }
    EXPECT_EQ(backBuffer(), expected);

    // The figure: position 1 gets row 3, position 3 row 4.
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 3 + 10, 3), kBar);      // bar of band 1 is 11 long
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 3 + 11, 3), kBackground);
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 3 + 12, 4), kBar);      // band 3: 13 long
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 3 + 13, 4), kBackground);
}

TEST_F(RenderLayout, UpsideDownBarRectangleFillsTheRowsAboveTheBaseLine) {
    // 12 by 10, e = 1, 4 bands: size 2.5, edges 1, 3, 6, 8, 11; base line 9.
    createFrameWindow(12, 10, 1, 0, 4, "h");
    struct Case {
        const char* name;
        std::initializer_list<int> bars;
        std::string expected;
    };
    const Case cases[] = {
        {"lengths 4, 0, 9, 1", {4, 0, 9, 1},
         rows({"............",
               "......##....",
               "......##....",
               "......##....",
               "......##....",
               "......##....",
               ".##...##....",
               ".##...##....",
               ".##...##....",
               ".##...#####."})},
        // Longer than the area: cut at the bitmap's top edge.
        {"a bar of 255", {0, 255, 0, 0},
         rows({"...###......",
               "...###......",
               "...###......",
               "...###......",
               "...###......",
               "...###......",
               "...###......",
               "...###......",
               "...###......",
               "...###......"})},
    };
    for (const Case& c : cases) {
        setBars(0, c.bars);
        paint();
        EXPECT_EQ(backBuffer(), c.expected) << c.name;
    }
}

TEST_F(RenderLayout, BandsNarrowerThanAPixelDrawNothing) {
    // 6 wide, e = 1: span 4 over 8 bands, size 0.5. Bands 0, 2, 4 and 6 start
    // and end on the same column; band 2j + 1 takes column j + 1.
    createFrameWindow(6, 10, 1, 0, 8, "h");
    setBars(0, {1, 2, 3, 4, 5, 6, 7, 8});
    paint();
    EXPECT_EQ(backBuffer(), rows({"......",
                                  "......",
                                  "....#.",
                                  "....#.",
                                  "...##.",
                                  "...##.",
                                  "..###.",
                                  "..###.",
                                  ".####.",
                                  ".####."}));
}

TEST_F(RenderLayout, OnlyExactlyLowercaseHIsSideBySide) {
    // 12 by 10, e = 1, 4 bands. Stacked: size 8 / 4 = 2, band k on rows
    // 1 + 2k and 2 + 2k.
    const std::string stacked = rows({"............",
                                      ".###........",
                                      ".###........",
                                      ".#####......",
                                      ".#####......",
                                      "............",
                                      "............",
                                      ".########...",
                                      ".########...",
                                      "............"});
    // Side by side: edges 1, 3, 6, 8, 11 and base line 9.
    const std::string sideBySide = rows({"............",
                                         "............",
                                         "........###.",
                                         "........###.",
                                         "........###.",
                                         "...###..###.",
                                         "...###..###.",
                                         ".#####..###.",
                                         ".#####..###.",
                                         ".#####..###."});
    struct Case {
        const char* scopeType;
        const std::string& expected;
    };
    const Case cases[] = {{"h", sideBySide}, {"v", stacked}, {"H", stacked}, {"", stacked}, {"hh", stacked}};
    createFrameWindow(12, 10, 1, 0, 4, "h");
    setBars(0, {3, 5, 0, 8});
    for (const Case& c : cases) {
        plugin.scopeType.set(c.scopeType);
        paint();
        EXPECT_EQ(backBuffer(), c.expected) << '"' << c.scopeType << '"';
    }
}

TEST_F(RenderLayout, DrawsTheBandsFromFreqMinOnwardAtTheLeftEdge) {
    // Bands 5 to 8 take the places of positions 0 to 3.
    createFrameWindow(12, 10, 1, 5, 9, "h");
    setBars(0, {9, 9, 9, 9, 9});  // bands below freqMin are not drawn
    setBars(5, {4, 0, 9, 1});
    setBars(9, {9, 9});            // nor bands from freqMax on
    paint();
    EXPECT_EQ(backBuffer(), rows({"............",
                                  "......##....",
                                  "......##....",
                                  "......##....",
                                  "......##....",
                                  "......##....",
                                  ".##...##....",
                                  ".##...##....",
                                  ".##...##....",
                                  ".##...#####."}));
}

TEST_F(RenderLayout, PaintLeavesTheBackBufferHoldingWhatItHeldBefore) {
    createFrameWindow(20, 12, 1, 0, 4, "h");
    plugin.peakMarkers = true;
    plugin.transBackEnabled = true;  // the tab's pen and brush too
    plugin.styleFont = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "DejaVu Sans");
    HDC dc = plugin.backBufferDC;
    HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN);
    HGDIOBJ brush = GetCurrentObject(dc, OBJ_BRUSH);
    paint();
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);
    EXPECT_EQ(bitmap, plugin.backBufferBitmap);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);  // the one thing a paint leaves changed
    EXPECT_EQ(GetObjectType(plugin.styleFont), static_cast<DWORD>(OBJ_FONT));  // selected, never deleted
}

TEST_F(RenderLayout, LogBandsShareTheWindowAndDrawTheirOwnBarsAsLongAsTheWindow) {
    // Octave bands from 1 kHz up to the one that holds 8 kHz: 3 bands,
    // slots 0 to 2 of the log bars, whatever the exact range (32 bands)
    // says. In a window 12 wide and 300 high with no inset each band is 4
    // columns; bars longer than a byte holds still draw whole.
    createFrameWindow(12, 300, 0, 0, 32, "h");
    plugin.spectrum.logScale = 1;
    plugin.spectrum.lowHz = 1000;
    plugin.spectrum.highHz = 8000;
    plugin.spectrum.bandsPerOctave = 1;
    for (int k = 0; k < 32; ++k) plugin.bars[k] = 200;  // the exact analysis's bars: not drawn
    const int lengths[3] = {299, 10, 256};
    for (int k = 0; k < 3; ++k) plugin.logSpectrum.bars[k] = static_cast<std::uint16_t>(lengths[k]);
    paint();

    std::string expected;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 12; ++x) expected += y > 300 - lengths[x / 4] ? '#' : '.';
        expected += '\n';
    }
    EXPECT_EQ(backBuffer(), expected);
}

}  // namespace
}  // namespace displaytest

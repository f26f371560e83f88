// The background (style gradient or colour key), the corner tab over the
// colour key, frames without bands, and the copy against the blend.
#include "display_fixture.h"

namespace displaytest {
namespace {

class RenderBackground : public PluginWindowTest {
protected:
    // 16 by 14, no bands, border width 1: only the background and the tab.
    void tabWindow(const char* position) {
        createFrameWindow(16, 14, 1, 0, 0, "h");
        plugin.transBackEnabled = true;
        plugin.styleItem.color = kTabFill;  // the colour at byte 16 fills the tab
        vumira::copyText(plugin.tabPosition, position);
    }
};

// The tab: a right triangle with its right angle in the corner, inset by
// the border width 1, legs reaching to 10 pixels from the window's edges
// (so 10 pixels long), filled inside and outlined with a 1-pixel pen.
const std::string kTabBottomRight = rows({"kkkkkkkkkkkkkkkk",
                                          "kkkkkkkkkkkkkkkk",
                                          "kkkkkkkkkkkkkkkk",
                                          "kkkkkkkkkkkkkkkk",
                                          "kkkkkkkkkkkkkkkb",
                                          "kkkkkkkkkkkkkkbb",
                                          "kkkkkkkkkkkkkbtb",
                                          "kkkkkkkkkkkkbttb",
                                          "kkkkkkkkkkkbtttb",
                                          "kkkkkkkkkkbttttb",
                                          "kkkkkkkkkbtttttb",
                                          "kkkkkkkkbttttttb",
                                          "kkkkkkkbtttttttb",
                                          "kkkkkkbbbbbbbbbb"});

TEST_F(RenderBackground, TabStandsInTheChosenCorner) {
    const std::string topRight = rows({"kkkkkkkkkkkkkkkk",
                                       "kkkkkkbbbbbbbbbb",
                                       "kkkkkkkbtttttttb",
                                       "kkkkkkkkbttttttb",
                                       "kkkkkkkkkbtttttb",
                                       "kkkkkkkkkkbttttb",
                                       "kkkkkkkkkkkbtttb",
                                       "kkkkkkkkkkkkbttb",
                                       "kkkkkkkkkkkkkbtb",
                                       "kkkkkkkkkkkkkkbb",
                                       "kkkkkkkkkkkkkkkb",
                                       "kkkkkkkkkkkkkkkk",
                                       "kkkkkkkkkkkkkkkk",
                                       "kkkkkkkkkkkkkkkk"});
    const std::string bottomLeft = rows({"kkkkkkkkkkkkkkkk",
                                         "kkkkkkkkkkkkkkkk",
                                         "kkkkkkkkkkkkkkkk",
                                         "kkkkkkkkkkkkkkkk",
                                         "kbkkkkkkkkkkkkkk",
                                         "kbbkkkkkkkkkkkkk",
                                         "kbtbkkkkkkkkkkkk",
                                         "kbttbkkkkkkkkkkk",
                                         "kbtttbkkkkkkkkkk",
                                         "kbttttbkkkkkkkkk",
                                         "kbtttttbkkkkkkkk",
                                         "kbttttttbkkkkkkk",
                                         "kbtttttttbkkkkkk",
                                         "kbbbbbbbbbbkkkkk"});
    const std::string topLeft = rows({"kkkkkkkkkkkkkkkk",
                                      "kbbbbbbbbbbkkkkk",
                                      "kbtttttttbkkkkkk",
                                      "kbttttttbkkkkkkk",
                                      "kbtttttbkkkkkkkk",
                                      "kbttttbkkkkkkkkk",
                                      "kbtttbkkkkkkkkkk",
                                      "kbttbkkkkkkkkkkk",
                                      "kbtbkkkkkkkkkkkk",
                                      "kbbkkkkkkkkkkkkk",
                                      "kbkkkkkkkkkkkkkk",
                                      "kkkkkkkkkkkkkkkk",
                                      "kkkkkkkkkkkkkkkk",
                                      "kkkkkkkkkkkkkkkk"});
    const std::string none = rows({"kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk",
                                   "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk",
                                   "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk",
                                   "kkkkkkkkkkkkkkkk", "kkkkkkkkkkkkkkkk"});
    struct Case {
        const char* position;
        const std::string& expected;
    };
    const Case cases[] = {{"br", kTabBottomRight}, {"tr", topRight}, {"bl", bottomLeft}, {"tl", topLeft},
                          {"ht", none},            {"xx", kTabBottomRight}, {"BR", kTabBottomRight},
                          {"", kTabBottomRight}};
    for (const Case& c : cases) {
        tabWindow(c.position);
        paint();
        EXPECT_EQ(backBuffer(), c.expected) << '"' << c.position << '"';
        DestroyWindow(plugin.pluginWindow.load());
    }
}

TEST_F(RenderBackground, NoTabWithoutTheSeeThroughBackground) {
    tabWindow("br");
    plugin.transBackEnabled = false;
    plugin.styleItem.color = kBackground;
    paint();
    std::string expected;
    for (int y = 0; y < 14; ++y) expected += std::string(16, '.') + "\n";
    EXPECT_EQ(backBuffer(), expected);
}

TEST_F(RenderBackground, TabAndBarsShareTheFrame) {
    // The bars are drawn first, then the tab over them.
    tabWindow("br");
    plugin.freqMin = 0;
    plugin.freqMax = 2;
    plugin.bandCount = 2;  // edges 1, 8, 15 and base line 13
    setBars(0, {2, 11});
    paint();
    EXPECT_EQ(backBuffer(), rows({"kkkkkkkkkkkkkkkk",
                                  "kkkkkkkkkkkkkkkk",
                                  "kkkkkkkkkkkkkkkk",
                                  "kkkkkkkk#######k",
                                  "kkkkkkkk#######b",
                                  "kkkkkkkk######bb",
                                  "kkkkkkkk#####btb",
                                  "kkkkkkkk####bttb",
                                  "kkkkkkkk###btttb",
                                  "kkkkkkkk##bttttb",
                                  "kkkkkkkk#btttttb",
                                  "kkkkkkkkbttttttb",
                                  "k######btttttttb",
                                  "k#####bbbbbbbbbb"}));
}

TEST_F(RenderBackground, WithoutBandsOnlyTheBackgroundIsDrawn) {
    createFrameWindow(10, 6, 1, 3, 3, "h");
    plugin.peakMarkers = true;
    vumira::copyText(plugin.peakType, "line");
    setBars(0, {5, 5, 5, 5, 5, 5});
    setPeaks(0, {2, 2, 2, 2, 2, 2});
    for (const char* scopeType : {"h", "v"}) {
        plugin.scopeType.set(scopeType);
        paint();
        EXPECT_EQ(backBuffer(), rows({"..........", "..........", "..........", "..........", "..........",
                                      ".........."}))
            << scopeType;
    }
}

TEST_F(RenderBackground, BackgroundIsTheStyleGradientWithItsBorder) {
    // A vertical ramp 0, 40, 80, 120 of blue inside the host style's border
    // (the built-in style: 1 pixel of #7a8899) when the border is shown.
    createFrameWindow(5, 6, 1, 0, 0, "h");
    plugin.styleItem.texture = STYLE_VERTICAL;
    plugin.styleItem.color = RGB(0, 0, 0);
    plugin.styleItem.colorTo = RGB(0, 0, 120);
    plugin.showBorder = true;
    paint();
    const COLORREF border = RGB(0x7a, 0x88, 0x99);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool inside = x >= 1 && x <= 3 && y >= 1 && y <= 4;
            EXPECT_EQ(GetPixel(plugin.backBufferDC, x, y), inside ? RGB(0, 0, 40 * (y - 1)) : border) << x << ", " << y;
        }
    plugin.showBorder = false;
    paint();
    for (int y = 0; y < 6; ++y) EXPECT_EQ(GetPixel(plugin.backBufferDC, 0, y), RGB(0, 0, 24 * y)) << y;
}

// The window's own pixels, read through its DC.
COLORREF windowPixel(int x, int y) {
    HWND window = plugin.pluginWindow.load();
    HDC dc = GetDC(window);
    const COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return pixel;
}

TEST_F(RenderBackground, MotionBlurBlendsWhileTheSeeThroughBackgroundCopies) {
    plugin.layeredSupported = false;  // a plain window, read back as drawn
    createFrameWindow(8, 4, 0, 0, 0, "h");
    plugin.blendFunction.SourceConstantAlpha = 128;

    plugin.styleItem.color = RGB(200, 0, 0);
    paint();  // copied: the window shows the frame
    EXPECT_EQ(windowPixel(3, 2), RGB(200, 0, 0));

    plugin.motionBlur = true;
    plugin.styleItem.color = RGB(0, 0, 200);
    paint();  // 128/255 of the new frame over 127/255 of the old one
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 3, 2), RGB(0, 0, 200));
    EXPECT_EQ(windowPixel(3, 2), RGB(100, 0, 100));
    paint();  // the trail fades: 100 * 127/255 and (200 * 128 + 100 * 127)/255
    EXPECT_EQ(windowPixel(0, 0), RGB(50, 0, 150));

    plugin.transBackEnabled = true;  // never blended
    vumira::copyText(plugin.tabPosition, "ht");
    paint();
    for (int x = 0; x < 8; ++x) EXPECT_EQ(windowPixel(x, 3), vumira::colorKey) << x;
}

}  // namespace
}  // namespace displaytest

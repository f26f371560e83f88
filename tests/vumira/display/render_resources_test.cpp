// Paints hold on to no drawing objects: each paint makes and deletes its own
// pens and brushes, so the process's object count is the same after any
// number of paints, with the tab or without. Reads GetGuiResources, which
// Wine only stubs: native runs only.
#include "display_fixture.h"

namespace displaytest {
namespace {

class RenderResources : public PluginWindowTest {};

DWORD gdiObjects() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

TEST_F(RenderResources, ThousandPaintsLeaveTheObjectCountAsItWas) {
    struct Case {
        const char* name;
        bool seeThrough;
        const char* tab;
        const char* peakType;
    };
    const Case cases[] = {
        {"style background, dots", false, "br", "dot"},
        {"see-through with the tab, line", true, "br", "line"},
        {"see-through without a tab", true, "ht", "dot"},
    };
    for (const Case& c : cases) {
        HWND window = createFrameWindow(100, 25, 2, 0, 32, "h");
        plugin.bevelWidth = 1;
        plugin.showBorder = true;
        plugin.styleItem.texture = STYLE_DIAGONAL;  // a gradient of many fills
        plugin.styleItem.bevelStyle = BEVEL_RAISED;
        plugin.styleItem.colorTo = RGB(200, 100, 0);
        plugin.peakMarkers = true;
        plugin.transBackEnabled = c.seeThrough;
        vumira::copyText(plugin.tabPosition, c.tab);
        vumira::copyText(plugin.peakType, c.peakType);
        plugin.styleFont = CreateStyleFont(&plugin.styleItem);
        for (int k = 0; k < 32; ++k) {
            plugin.bars[k] = static_cast<unsigned char>(k % 20);
            plugin.peaks[k] = static_cast<float>(k % 20 + 1);
        }

        const DWORD before = gdiObjects();
        ASSERT_GT(before, 0u) << "the count must see the window's back buffer";
        for (int i = 0; i < 1000; ++i) {
            InvalidateRect(window, nullptr, FALSE);
            UpdateWindow(window);
        }
        EXPECT_EQ(gdiObjects(), before) << c.name;

        DeleteObject(plugin.styleFont);
        plugin.styleFont = nullptr;
        DestroyWindow(window);
    }
}

TEST_F(RenderResources, ResizingReplacesTheBackBufferWithoutLeaking) {
    HWND window = createPluginWindow();
    const DWORD before = gdiObjects();
    for (int i = 0; i < 200; ++i) {
        SendMessageA(window, WM_SIZE, 0, MAKELPARAM(20 + i % 50, 20));
        RECT dragged{0, 0, 30 + i % 7, 40};
        SendMessageA(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
    }
    EXPECT_EQ(gdiObjects(), before);
    DestroyWindow(window);
    EXPECT_EQ(gdiObjects(), before - 2) << "the back buffer's DC and bitmap go with the window";
}

}  // namespace
}  // namespace displaytest

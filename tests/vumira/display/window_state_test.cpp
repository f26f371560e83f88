// applyWindowState: hidden with the other plug-ins, docked, layered with its
// colour key and opacity, on top or not, placed, and repainted.
#include "display_fixture.h"

namespace displaytest {
namespace {

class WindowState : public PluginWindowTest {
protected:
    static LONG exStyle() { return GetWindowLongA(plugin.pluginWindow.load(), GWL_EXSTYLE); }
};

TEST_F(WindowState, HidesWithThePluginsAndChangesNothingElse) {
    HWND window = createPluginWindow();
    plugin.pluginsHidden = true;
    plugin.toggleWithPlugins = true;
    plugin.posX = 200;  // not applied while hidden
    plugin.inSlit = true;  // nor is the layered style taken away
    const LONG before = exStyle();
    vumira::applyWindowState();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(exStyle(), before);
    EXPECT_EQ(windowRect().left, 40);

    // Shown again at the stored place once the plug-ins show.
    plugin.inSlit = false;
    plugin.pluginsHidden = false;
    vumira::applyWindowState();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(windowRect().left, 200);
}

TEST_F(WindowState, StaysVisibleWhenItDoesNotToggleWithThePlugins) {
    HWND window = createPluginWindow();
    plugin.pluginsHidden = true;
    plugin.toggleWithPlugins = false;
    vumira::applyWindowState();
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WindowState, FloatingIsLayeredWithTheColourKeyAndItsOpacity) {
    HWND window = createPluginWindow();
    struct Case {
        bool transparency;
        int alpha;
        BYTE expectedAlpha;
    };
    // The opacity is the low 8 bits of the alpha setting: 300 is 44.
    const Case cases[] = {{false, 60, 255}, {true, 60, 60}, {true, 300, 44}, {false, 300, 255}, {true, 255, 255}};
    for (const Case& c : cases) {
        plugin.transparencyEnabled = c.transparency;
        plugin.transparencyAlpha = c.alpha;
        vumira::applyWindowState();
        EXPECT_NE(exStyle() & WS_EX_LAYERED, 0);
        COLORREF key = 0;
        BYTE alpha = 0;
        DWORD flags = 0;
        ASSERT_TRUE(GetLayeredWindowAttributes(window, &key, &alpha, &flags));
        EXPECT_EQ(key, RGB(255, 0, 230));
        EXPECT_EQ(alpha, c.expectedAlpha) << c.alpha;
        EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
    }
}

TEST_F(WindowState, DockedDropsTheLayeredStyle) {
    HWND window = createPluginWindow();
    ASSERT_NE(exStyle() & WS_EX_LAYERED, 0);
    plugin.inSlit = true;
    plugin.posX = 5;
    plugin.posY = 6;
    vumira::applyWindowState();
    EXPECT_EQ(exStyle() & WS_EX_LAYERED, 0);
    EXPECT_NE(exStyle() & WS_EX_TOOLWINDOW, 0);  // only the layered bit goes
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(windowRect().left, 5);  // placed docked too (the slit moves it after)

    plugin.inSlit = false;  // undocked: layered again
    vumira::applyWindowState();
    EXPECT_NE(exStyle() & WS_EX_LAYERED, 0);
}

TEST_F(WindowState, WithoutLayeredWindowsTheStyleIsNeverTouched) {
    plugin.layeredSupported = false;
    HWND window = createPluginWindow();
    const LONG created = exStyle();
    EXPECT_EQ(created & WS_EX_LAYERED, 0);
    plugin.transparencyEnabled = true;
    for (bool docked : {false, true, false}) {
        plugin.inSlit = docked;
        vumira::applyWindowState();
        EXPECT_EQ(exStyle() & ~WS_EX_TOPMOST, created & ~WS_EX_TOPMOST) << docked;
        COLORREF key = 0;
        BYTE alpha = 0;
        DWORD flags = 0;
        EXPECT_FALSE(GetLayeredWindowAttributes(window, &key, &alpha, &flags)) << docked;
    }
}

TEST_F(WindowState, PlacesTheWindowOnTopOrNot) {
    HWND window = createPluginWindow();
    plugin.posX = 120;
    plugin.posY = 80;
    plugin.width = 64;
    plugin.height = 20;
    plugin.alwaysOnTop = true;
    vumira::applyWindowState();
    RECT rect = windowRect();
    EXPECT_EQ(rect.left, 120);
    EXPECT_EQ(rect.top, 80);
    EXPECT_EQ(rect.right - rect.left, 64);
    EXPECT_EQ(rect.bottom - rect.top, 20);
    EXPECT_NE(exStyle() & WS_EX_TOPMOST, 0);
    plugin.alwaysOnTop = false;
    vumira::applyWindowState();
    EXPECT_EQ(exStyle() & WS_EX_TOPMOST, 0);
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(WindowState, AsksForAFullRepaint) {
    HWND window = createFrameWindow(12, 10, 1, 0, 4, "h");
    UpdateWindow(window);  // nothing left to paint
    plugin.styleItem.color = RGB(1, 2, 3);
    UpdateWindow(window);
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 11, 9), kBackground);  // not painted again
    vumira::applyWindowState();
    UpdateWindow(window);
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 11, 9), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 0, 0), RGB(1, 2, 3));
}

}  // namespace
}  // namespace displaytest

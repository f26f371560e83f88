// What the screen shows of the window: the colour key is see-through only
// while the window is layered; docked, or on a system without layered
// windows, the see-through background shows the key's own colour. Reads the
// screen as the subset composes it (written as PNG): native runs only.
#include <png.h>
#include <win32subset.h>

#include <vector>

#include "display_fixture.h"

namespace displaytest {
namespace {

constexpr COLORREF kDesktop = RGB(0, 90, 0);

struct Screen {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    COLORREF at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
        return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
    }
};

Screen readScreen(const std::string& path) {
    Screen screen;
    EXPECT_EQ(Win32SubsetWriteScreenPng(path.c_str()), 0);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "cannot read " << path;
        return screen;
    }
    image.format = PNG_FORMAT_RGB;
    screen.width = static_cast<int>(image.width);
    screen.height = static_cast<int>(image.height);
    screen.rgb.resize(PNG_IMAGE_SIZE(image));
    EXPECT_NE(png_image_finish_read(&image, nullptr, screen.rgb.data(), 0, nullptr), 0);
    return screen;
}

class RenderScreen : public PluginWindowTest {
protected:
    void SetUp() override {
        PluginWindowTest::SetUp();
        HDC desktop = GetDC(nullptr);
        HBRUSH brush = CreateSolidBrush(kDesktop);
        RECT all{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        FillRect(desktop, &all, brush);
        DeleteObject(brush);
        ReleaseDC(nullptr, desktop);
    }

    // A see-through window of 20 by 16 at (40, 30) without bands or tab.
    void seeThroughWindow() {
        createFrameWindow(20, 16, 1, 0, 0, "h");
        plugin.transBackEnabled = true;
        vumira::copyText(plugin.tabPosition, "ht");
        paint();
    }

    Screen screen() const { return readScreen(dir().file("screen.png")); }
};

TEST_F(RenderScreen, LayeredWindowShowsTheDesktopThroughTheColourKey) {
    seeThroughWindow();
    Screen shown = screen();
    ASSERT_GT(shown.width, 60);
    for (int x : {40, 50, 59}) EXPECT_EQ(shown.at(x, 35), kDesktop) << x;
}

TEST_F(RenderScreen, ColourKeyShowsItsOwnColourWithoutLayeredWindows) {
    plugin.layeredSupported = false;
    seeThroughWindow();
    Screen shown = screen();
    ASSERT_GT(shown.width, 60);
    for (int x : {40, 50, 59}) EXPECT_EQ(shown.at(x, 35), RGB(255, 0, 230)) << x;
    EXPECT_EQ(shown.at(39, 35), kDesktop);
}

TEST_F(RenderScreen, ColourKeyShowsItsOwnColourWhileDocked) {
    seeThroughWindow();
    plugin.inSlit = true;
    vumira::applyWindowState();
    paint();
    Screen shown = screen();
    ASSERT_GT(shown.width, 60);
    for (int x : {40, 50, 59}) EXPECT_EQ(shown.at(x, 35), RGB(255, 0, 230)) << x;
}

TEST_F(RenderScreen, TransparencyMixesTheFrameWithTheDesktop) {
    createFrameWindow(20, 16, 1, 0, 0, "h");
    plugin.styleItem.color = RGB(200, 0, 100);
    plugin.transparencyEnabled = true;
    plugin.transparencyAlpha = 128;
    vumira::applyWindowState();
    paint();
    Screen shown = screen();
    ASSERT_GT(shown.width, 60);
    // 128/255 of the frame over 127/255 of the desktop (0, 90, 0).
    EXPECT_EQ(shown.at(45, 35), RGB(100, 45, 50));
}

}  // namespace
}  // namespace displaytest

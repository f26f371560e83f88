// The pop-up menu as a person meets it: the obsidel program with the
// Vumira module on a private Xvfb, a right click on the plug-in's window
// and keys or clicks made with XTest, the result read from the rc file
// and, for the menu's windows, from a second X connection.
#include "host_on_x_server.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::HostSetup;
using testsupport::RunningHost;

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
};

bool waitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

class PopupMenuOnX11 : public testsupport::HostOnXServer {
protected:
    // Starts the host on this server, with the module's rc file `rc`, and
    // waits for the plug-in's window.
    void startHost(const std::string& rc = "") {
        HostSetup setup = onThisServer();
        setup.rc = rc;
        host_ = std::make_unique<RunningHost>(setup);
        ASSERT_TRUE(host_->ready()) << host_->log();
        ASSERT_TRUE(waitFor([&] { return !shownWindows().empty(); })) << host_->log();
        plugin_ = shownWindows().front();
    }

    // A toggle also shows the host's status text for a moment: not a menu level.
    bool isStatusText(::Window window) {
        char* name = nullptr;
        const bool status = XFetchName(x_, window, &name) && name && std::string(name) == "Obsidel status text";
        if (name) XFree(name);
        return status;
    }
    // The mapped top-level windows bigger than a pixel (the host's hidden
    // message windows are 1 by 1) but the status text, left to right.
    std::vector<Box> shownWindows() {
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        std::vector<Box> boxes;
        XSync(x_, False);
        if (!XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count)) return boxes;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(x_, children[i], &attributes)) continue;
            if (attributes.map_state != IsViewable || attributes.width <= 1) continue;
            if (isStatusText(children[i])) continue;
            boxes.push_back(Box{attributes.x, attributes.y, attributes.width, attributes.height});
        }
        if (children) XFree(children);
        std::sort(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.x < b.x; });
        return boxes;
    }
    // The menu's levels: the windows shown besides the plug-in's.
    std::vector<Box> menuLevels() {
        std::vector<Box> levels;
        for (const Box& box : shownWindows())
            if (box.x != plugin_.x || box.y != plugin_.y) levels.push_back(box);
        return levels;
    }

    std::vector<unsigned long> screenPixels(const Box& box) {
        std::vector<unsigned long> pixels;
        XImage* image = XGetImage(x_, DefaultRootWindow(x_), box.x, box.y, static_cast<unsigned>(box.width),
                                  static_cast<unsigned>(box.height), AllPlanes, ZPixmap);
        if (!image) return pixels;
        for (int y = 0; y < box.height; ++y)
            for (int x = 0; x < box.width; ++x) pixels.push_back(XGetPixel(image, x, y));
        XDestroyImage(image);
        return pixels;
    }

    void moveTo(int x, int y) {
        XTestFakeMotionEvent(x_, DefaultScreen(x_), x, y, CurrentTime);
        XSync(x_, False);
    }
    void click(unsigned button) {
        XTestFakeButtonEvent(x_, button, True, CurrentTime);
        XTestFakeButtonEvent(x_, button, False, CurrentTime);
        XSync(x_, False);
    }
    void key(KeySym symbol) {
        const KeyCode code = XKeysymToKeycode(x_, symbol);
        XTestFakeKeyEvent(x_, code, True, CurrentTime);
        XTestFakeKeyEvent(x_, code, False, CurrentTime);
        XSync(x_, False);
        // One key at a time, as a person types: each is handled before the next.
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }

    // A right click in the middle of the plug-in's window; true once the menu shows.
    bool openMenu() {
        moveTo(plugin_.x + plugin_.width / 2, plugin_.y + plugin_.height / 2);
        click(Button3);
        return waitFor([&] { return menuLevels().size() == 1; });
    }

    bool rcShows(const std::string& line) {
        return waitFor([&] { return testsupport::hasLine(host_->rc(), line); });
    }

    Box plugin_;
};

TEST_F(PopupMenuOnX11, ARightClickOpensTheMenuAndKeysPickAlwaysOnTop) {
    startHost();
    // Below the plug-in's window, where the first level (a title and five
    // rows) will lie: the bare screen until the menu opens.
    const Box area{plugin_.x + plugin_.width / 2, plugin_.bottom(), 100, 40};
    const auto before = screenPixels(area);
    ASSERT_TRUE(openMenu()) << host_->log();
    const Box level = menuLevels().front();
    // Near the pointer: its corner where the click was.
    EXPECT_EQ(level.x, plugin_.x + plugin_.width / 2);
    EXPECT_EQ(level.y, plugin_.y + plugin_.height / 2);
    EXPECT_GE(level.bottom(), area.bottom());
    // The window is mapped before its first paint reaches the screen.
    EXPECT_TRUE(waitFor([&] { return screenPixels(area) != before; })) << "the menu's window shows nothing";

    key(XK_Down);
    key(XK_Right);
    ASSERT_TRUE(waitFor([&] { return menuLevels().size() == 2; })) << "Right did not open Configuration";
    key(XK_Return);
    EXPECT_TRUE(rcShows("Vumira.plugin.alwaysontop: false")) << host_->rc();
    EXPECT_TRUE(waitFor([&] { return menuLevels().empty(); })) << "the menu stays open after the pick";
    EXPECT_TRUE(host_->logShows("AlwaysOnTop disabled"));
}

TEST_F(PopupMenuOnX11, KeySequencesWriteTheirSettings) {
    struct Case {
        const char* what;
        std::vector<KeySym> keys;  // after the right click
        const char* rcLine;
    };
    // Configuration's rows from its first: Always On Top, Docked to Slit,
    // Snap, Toggle With Plugins, Show Border, -, Start Monitor, -,
    // Transparency Enabled, Transparent Back, Alpha Value (default 60), ...,
    // Max Bar Height, -, Visual Style.
    const std::vector<KeySym> toAlpha = {XK_Down, XK_Right, XK_Down, XK_Down, XK_Down, XK_Down,
                                         XK_Down, XK_Down,  XK_Down, XK_Down};
    auto then = [&](std::vector<KeySym> more) {
        std::vector<KeySym> keys = toAlpha;
        keys.insert(keys.end(), more.begin(), more.end());
        return keys;
    };
    const Case cases[] = {
        {"Alpha Value typed", then({XK_1, XK_2, XK_3, XK_Return}), "Vumira.plugin.transparency.alpha: 123"},
        {"Alpha Value stepped", then({XK_Right, XK_Right, XK_Prior, XK_Left, XK_Return}),
         "Vumira.plugin.transparency.alpha: 71"},
        {"Max Bar Height's last of 128, through a scrolling level",
         {XK_Down, XK_Right, XK_End, XK_Up, XK_Right, XK_End, XK_Return}, "Vumira.plugin.style.maxBarHeight: 128"},
        {"Max Bar Height by wrapping upwards", {XK_Down, XK_Right, XK_End, XK_Up, XK_Right, XK_Up, XK_Up, XK_Return},
         "Vumira.plugin.style.maxBarHeight: 127"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startHost();
        ASSERT_TRUE(openMenu()) << host_->log();
        for (KeySym symbol : c.keys) key(symbol);
        EXPECT_TRUE(rcShows(c.rcLine)) << host_->rc();
        EXPECT_TRUE(waitFor([&] { return menuLevels().empty(); }));
        host_.reset();
    }
}

TEST_F(PopupMenuOnX11, ThePointerOpensASubmenuByRestingAndPicksByClicking) {
    startHost();
    ASSERT_TRUE(openMenu());
    // The main menu: a title and five rows, each as high as the title,
    // inside a frame of 3 pixels (border 1, bevel 1, padding 1).
    const Box main = menuLevels().front();
    const int row = (main.height - 6) / 6;
    const int configurationY = main.y + 3 + row + row / 2;
    moveTo(main.x + main.width / 2, configurationY);
    ASSERT_TRUE(waitFor([&] { return menuLevels().size() == 2; })) << "resting on Configuration opened nothing";
    // Its first item, Always On Top, is level with the row that opened it.
    const Box configuration = menuLevels().back();
    EXPECT_EQ(configuration.x, main.right());
    moveTo(configuration.x + configuration.width / 2, configurationY);
    click(Button1);
    EXPECT_TRUE(rcShows("Vumira.plugin.alwaysontop: false")) << host_->rc();
    EXPECT_TRUE(waitFor([&] { return menuLevels().empty(); }));
}

TEST_F(PopupMenuOnX11, AToggleFromElsewhereRefreshesTheOpenMenuInPlace) {
    startHost();
    // Reading the menu from a script pops nothing up.
    ASSERT_EQ(host_->run({"--menu"}).status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(menuLevels().empty()) << "--menu opened the pop-up";
    ASSERT_TRUE(openMenu());
    key(XK_Down);
    key(XK_Right);
    ASSERT_TRUE(waitFor([&] { return menuLevels().size() == 2; }));
    const std::vector<Box> levels = menuLevels();
    const auto before = screenPixels(levels.back());

    // The plug-in rebuilds its menu after the toggle (flag 0).
    ASSERT_EQ(host_->run({"--exec", "@VumiraInternal AlwaysOnTop"}).status, 0);
    ASSERT_TRUE(rcShows("Vumira.plugin.alwaysontop: false"));
    EXPECT_TRUE(waitFor([&] { return screenPixels(menuLevels().back()) != before; }))
        << "the check mark did not change";
    const std::vector<Box> after = menuLevels();
    ASSERT_EQ(after.size(), 2u) << "the menu did not stay open at its level";
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].x, levels[i].x);
        EXPECT_EQ(after[i].y, levels[i].y);
    }
    // Reading it leaves it as it stands.
    ASSERT_EQ(host_->run({"--menu"}).status, 0);
    EXPECT_EQ(menuLevels().size(), 2u);
    // The highlight stayed on Always On Top: Return toggles it back.
    key(XK_Return);
    EXPECT_TRUE(rcShows("Vumira.plugin.alwaysontop: true")) << host_->rc();
}

TEST_F(PopupMenuOnX11, AClickOutsideClosesTheMenuAndSendsNothing) {
    struct Case {
        const char* what;
        int x, y;  // from the plug-in window's corner
    };
    // The menu opens at the middle of the plug-in's window.
    const Case cases[] = {
        {"on the plug-in's window, left of the menu", 2, 2},
        {"on the empty screen, away from every window of the host", 900, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startHost();
        const std::string rcBefore = host_->rc();
        ASSERT_TRUE(openMenu());
        key(XK_Down);
        key(XK_Right);
        ASSERT_TRUE(waitFor([&] { return menuLevels().size() == 2; }));
        moveTo(plugin_.x + c.x, plugin_.y + c.y);
        click(Button1);
        EXPECT_TRUE(waitFor([&] { return menuLevels().empty(); })) << "the menu stays open";
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(host_->rc(), rcBefore);
        EXPECT_EQ(host_->log().find("VumiraPlugin ->"), std::string::npos) << host_->log();
        host_.reset();
    }
}

}  // namespace

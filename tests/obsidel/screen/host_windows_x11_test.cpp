// The host's own windows on a real X server: the program and the module run
// on a private Xvfb, and the test looks at the screen from a second X
// connection and types with XTest, as a person would see and use them.
// The message box of "About", with the plug-in running on behind it; the
// status text of a toggle, which comes and goes; the plug-in's window made
// sticky through the host.
#include "host_on_x_server.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::hasLine;
using testsupport::RunningHost;

struct Shown {
    ::Window id = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

class HostOnX11 : public testsupport::HostOnXServer {
protected:
    void SetUp() override {
        HostOnXServer::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        testsupport::HostSetup setup = onThisServer();
        setup.arguments = {"--wave-in", "demo"};
        host_ = std::make_unique<RunningHost>(setup);
        ASSERT_TRUE(host_->ready()) << host_->log();
        plugin_ = waitFor([&] { return largestMapped(); });
        ASSERT_NE(plugin_.id, 0u) << "the plug-in's window never showed; host log:\n" << host_->log();
    }

    static bool waitUntil(const std::function<bool()>& done, int milliseconds = 10000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return done();
    }

    Shown waitFor(const std::function<Shown()>& find) {
        Shown found;
        waitUntil([&] { return (found = find()).id != 0; });
        return found;
    }

    // The mapped top-level windows, each with its title.
    std::vector<std::pair<Shown, std::string>> mapped() {
        XSync(x_, False);
        std::vector<std::pair<Shown, std::string>> windows;
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count)) return windows;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(x_, children[i], &attributes) || attributes.map_state != IsViewable) continue;
            char* name = nullptr;
            std::string title;
            if (XFetchName(x_, children[i], &name) && name) {
                title = name;
                XFree(name);
            }
            windows.push_back({Shown{children[i], attributes.x, attributes.y, attributes.width, attributes.height},
                               title});
        }
        if (children) XFree(children);
        return windows;
    }

    Shown mappedNamed(const std::string& title) {
        for (const auto& [window, name] : mapped())
            if (name == title) return window;
        return Shown{};
    }

    Shown largestMapped() {
        Shown largest;
        for (const auto& [window, name] : mapped())
            if (window.width * window.height > largest.width * largest.height) largest = window;
        return largest;
    }

    // The window's pixels as the screen shows them.
    std::vector<unsigned long> pixelsOf(const Shown& window) {
        XSync(x_, False);
        std::vector<unsigned long> pixels;
        XImage* image = XGetImage(x_, DefaultRootWindow(x_), window.x, window.y, static_cast<unsigned>(window.width),
                                  static_cast<unsigned>(window.height), AllPlanes, ZPixmap);
        if (!image) return pixels;
        for (int y = 0; y < window.height; ++y)
            for (int x = 0; x < window.width; ++x) pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
        XDestroyImage(image);
        return pixels;
    }

    static size_t colours(const std::vector<unsigned long>& pixels) {
        return std::set<unsigned long>(pixels.begin(), pixels.end()).size();
    }

    std::set<std::string> states(::Window window) {
        std::set<std::string> names;
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(x_, window, XInternAtom(x_, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type,
                               &format, &count, &after, &data) == Success && data) {
            const auto* atoms = reinterpret_cast<const Atom*>(data);
            for (unsigned long i = 0; i < count; ++i) {
                char* name = XGetAtomName(x_, atoms[i]);
                names.insert(name);
                XFree(name);
            }
            XFree(data);
        }
        return names;
    }

    void typeKey(KeySym symbol) {
        XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, symbol), True, CurrentTime);
        XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, symbol), False, CurrentTime);
        XSync(x_, False);
    }
    void pointTo(int x, int y) {
        XTestFakeMotionEvent(x_, DefaultScreen(x_), x, y, CurrentTime);
        XSync(x_, False);
    }
    void click(int x, int y) {
        pointTo(x, y);
        XTestFakeButtonEvent(x_, 1, True, CurrentTime);
        XTestFakeButtonEvent(x_, 1, False, CurrentTime);
        XSync(x_, False);
    }

    // A command sent as a script would; the host may answer only once a box
    // is closed, so it runs beside the test.
    std::future<testsupport::Finished> exec(const std::string& command) {
        return std::async(std::launch::async, [this, command] { return host_->run({"--exec", command}); });
    }

    Shown plugin_;
};

const char* const kAboutCaption = "About this plugin...";

// The box closes by each of its keys and by a click on OK; while it is open
// the plug-in keeps painting and keeps taking commands.
TEST_F(HostOnX11, AboutBoxIsModalForItsCallerOnlyAndClosesByKeyOrClick) {
    struct Case {
        const char* name;
        KeySym key;  // 0: a click on OK
    };
    const Case cases[] = {{"Return", XK_Return}, {"Escape", XK_Escape}, {"Space", XK_space}, {"click on OK", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto about = exec("@VumiraInternal About");
        const Shown box = waitFor([&] { return mappedNamed(kAboutCaption); });
        ASSERT_NE(box.id, 0u) << host_->log();
        // Over the plug-in, on top, with text on it: not one flat colour.
        EXPECT_TRUE(waitUntil([&] { return colours(pixelsOf(box)) > 3; }, 3000)) << "nothing drawn on the box";

        if (&c == &cases[0]) {
            // The script that asked is told at once that a box waits for a
            // person, as a failure: the box, not the script, decides when it ends.
            ASSERT_EQ(about.wait_for(std::chrono::seconds(3)), std::future_status::ready) << "the client waited";
            const testsupport::Finished told = about.get();
            EXPECT_EQ(told.status, 1) << told.err;
            EXPECT_NE(told.err.find("the command opened a message box, which waits for a person to close it"),
                      std::string::npos)
                << told.err;
            // The plug-in goes on behind the box: its picture keeps changing,
            // and a command reaches it and is answered.
            const std::vector<unsigned long> before = pixelsOf(plugin_);
            EXPECT_TRUE(waitUntil([&] { return pixelsOf(plugin_) != before; }, 5000)) << "the spectrum stood still";
            auto command = exec("@VumiraInternal SetMaxHeight 77");
            ASSERT_EQ(command.wait_for(std::chrono::seconds(5)), std::future_status::ready);
            EXPECT_EQ(command.get().status, 0);
            EXPECT_TRUE(waitUntil([&] { return hasLine(host_->rc(), "Vumira.plugin.style.maxBarHeight: 77"); }))
                << host_->rc();
            EXPECT_NE(mappedNamed(kAboutCaption).id, 0u) << "the box closed by itself";
        }

        if (c.key) {
            pointTo(box.x + box.width / 2, box.y + 5);
            typeKey(c.key);
        } else {
            // The OK button is centred at the box's foot.
            click(box.x + box.width / 2, box.y + box.height - 20);
        }
        EXPECT_TRUE(waitUntil([&] { return mappedNamed(kAboutCaption).id == 0; })) << "the box stayed open";
        if (about.valid()) about.wait();
    }
    // Logged as well, once a box.
    std::string log = host_->log();
    size_t shown = 0;
    for (size_t at = log.find(kAboutCaption); at != std::string::npos; at = log.find(kAboutCaption, at + 1)) ++shown;
    EXPECT_EQ(shown, std::size(cases));
}

TEST_F(HostOnX11, StatusTextShowsBesideThePluginForAMomentAndANewerReplacesIt) {
    const char* const kStatusTitle = "Obsidel status text";
    exec("@VumiraInternal ToggleBorder").wait();
    const Shown first = waitFor([&] { return mappedNamed(kStatusTitle); });
    ASSERT_NE(first.id, 0u) << host_->log();
    EXPECT_TRUE(host_->logShows("VumiraPlugin -> "));
    // Just below the plug-in's window, at its left edge.
    EXPECT_EQ(first.x, plugin_.x);
    EXPECT_GE(first.y, plugin_.y + plugin_.height);
    EXPECT_LT(first.y, plugin_.y + plugin_.height + 20);
    std::vector<unsigned long> firstPixels;
    EXPECT_TRUE(waitUntil([&] { return colours(firstPixels = pixelsOf(first)) > 3; }, 3000)) << "no text on it";

    // The second toggle's text takes the same window's place.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    exec("@VumiraInternal ToggleBorder").wait();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitUntil([&] { return pixelsOf(mappedNamed(kStatusTitle)) != firstPixels; }, 3000))
        << "the newer text did not replace the older";
    size_t statusWindows = 0;
    for (const auto& [window, name] : mapped()) statusWindows += name == kStatusTitle ? 1 : 0;
    EXPECT_EQ(statusWindows, 1u);

    // Gone about two seconds after the newer text.
    EXPECT_TRUE(waitUntil([&] { return mappedNamed(kStatusTitle).id == 0; }, 6000)) << "the status text stayed";
    const auto shownFor = std::chrono::steady_clock::now() - started;
    EXPECT_GE(shownFor, std::chrono::milliseconds(1500));
}

TEST_F(HostOnX11, PluginWindowIsMadeStickyThroughTheHost) {
    EXPECT_TRUE(states(plugin_.id).count("_NET_WM_STATE_STICKY")) << "the plug-in's window is not sticky";
}

}  // namespace

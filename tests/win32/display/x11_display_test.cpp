// The x11 display against a private Xvfb: windows made with plain Win32
// calls, checked from a second X connection as a window manager or a user
// would see them (place, hints, states, shape, opacity, pixels), and input
// made with XTest reaching the windows through the subset's own loops.
#include <windows.h>
#include <win32subset.h>

// GoogleTest before Xlib, whose macros (None, Bool, Status) it would trip on.
#include "private_x_server.h"
#include "standard_error_file.h"
#include "test_support.h"
#include "window_helpers.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testsupport::PrivateXServer;
using testsupport::StandardErrorToFile;
using testsupport::windowRect;

// ---- windows that paint a known picture and record what reaches them ---------

struct Fill {
    RECT rect;
    COLORREF color;
};

struct TestWindow {
    std::vector<Fill> picture;  // painted in order at every WM_PAINT
    bool caption = false;       // like the plug-in: drag to move, Alt+drag to size
    std::function<void()> onEnterSizeMove;
    int paints = 0;
    std::vector<MSG> input;          // mouse and key messages, as they came
    std::vector<RECT> placements;    // every WM_WINDOWPOSCHANGED, as x, y, x + cx, y + cy
};

std::map<HWND, TestWindow>& testWindows() {
    static std::map<HWND, TestWindow> windows;
    return windows;
}

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto found = testWindows().find(window);
    if (found == testWindows().end()) return DefWindowProcA(window, message, wParam, lParam);
    TestWindow& test = found->second;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        for (const Fill& fill : test.picture) {
            HBRUSH brush = CreateSolidBrush(fill.color);
            FillRect(dc, &fill.rect, brush);
            DeleteObject(brush);
        }
        EndPaint(window, &paint);
        ++test.paints;
        return 0;
    }
    case WM_NCHITTEST:
        if (test.caption) return HTCAPTION;
        break;
    case WM_NCLBUTTONDOWN:
        if (test.caption) {
            const bool alt = (GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
            PostMessageA(window, WM_SYSCOMMAND, alt ? (SC_SIZE | WMSZ_BOTTOMRIGHT) : (SC_MOVE | HTCAPTION), 0);
            return 0;
        }
        break;
    case WM_ENTERSIZEMOVE:
        if (test.onEnterSizeMove) test.onEnterSizeMove();
        break;
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        test.placements.push_back(RECT{pos->x, pos->y, pos->x + pos->cx, pos->y + pos->cy});
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
    case WM_KEYUP:
        test.input.push_back(MSG{window, message, wParam, lParam, 0, POINT{}});
        break;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const char kClassName[] = "X11DisplayTestWindow";

// Runs this thread's messages until `done` holds or ten seconds pass.
bool pumpUntil(const std::function<bool()>& done, std::optional<WPARAM>* quit = nullptr) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                if (quit) *quit = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        Sleep(5);
    }
}

// ---- looking from the X side ------------------------------------------------------

struct XPlace {
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false;
    bool overrideRedirect = false;
    bool operator==(const XPlace&) const = default;
};

std::string textOf(const RECT& r) {
    return "{" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + "}";
}

class X11Display : public ::testing::Test {
protected:
    void SetUp() override {
        std::string missing = server_.start(overTcp_);
        SKIP_OR_FAIL_WITHOUT(missing.empty(), missing);
        ASSERT_EQ(Win32SubsetSetDisplay(("x11:" + std::string(overTcp_ ? "localhost" : "") + server_.name()).c_str()), 0);
        ASSERT_STREQ(Win32SubsetDisplayName(), "x11");
        x_ = XOpenDisplay(server_.name().c_str());
        ASSERT_NE(x_, nullptr);
        root_ = DefaultRootWindow(x_);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = testWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);
    }

    void TearDown() override {
        for (auto& [window, test] : testWindows()) DestroyWindow(window);
        testWindows().clear();
        UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
        if (x_) XCloseDisplay(x_);
        x_ = nullptr;
        Win32SubsetSetDisplay("headless");  // closes the connection before the server goes
        server_.stop();
    }

    HWND makeWindow(const std::string& title, DWORD exStyle, const RECT& rect, std::vector<Fill> picture,
                    DWORD style = WS_POPUP | WS_VISIBLE) {
        HWND window = CreateWindowExA(exStyle, kClassName, title.c_str(), style, rect.left, rect.top,
                                      rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(window, nullptr) << title;
        testWindows()[window].picture = std::move(picture);
        return window;
    }

    // The X window that shows the subset's window of this title.
    ::Window xWindowNamed(const std::string& title) {
        XSync(x_, False);
        ::Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        ::Window found = 0;
        if (!XQueryTree(x_, root_, &rootReturn, &parent, &children, &count)) return 0;
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(x_, children[i], &name) && name) {
                if (title == name) found = children[i];
                XFree(name);
            }
        }
        if (children) XFree(children);
        return found;
    }

    ::Window waitForXWindow(const std::string& title) {
        ::Window found = 0;
        pumpUntil([&] { return (found = xWindowNamed(title)) != 0; });
        return found;
    }

    XPlace placeOf(::Window window) {
        XSync(x_, False);
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(x_, window, &attributes)) return XPlace{};
        return XPlace{attributes.x, attributes.y, attributes.width, attributes.height,
                      attributes.map_state == IsViewable, attributes.override_redirect != False};
    }

    bool waitForPlace(::Window window, const XPlace& wanted) {
        return pumpUntil([&] { return placeOf(window) == wanted; });
    }

    std::vector<unsigned long> property(::Window window, const char* name, Atom type) {
        XSync(x_, False);
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> values;
        if (XGetWindowProperty(x_, window, XInternAtom(x_, name, False), 0, 64, False, type, &actualType, &format,
                               &count, &after, &data) == Success &&
            data && format == 32) {
            // Xlib hands 32-bit items over as longs, sign-extended.
            const auto* longs = reinterpret_cast<const long*>(data);
            for (unsigned long i = 0; i < count; ++i) values.push_back(static_cast<unsigned long>(longs[i]) & 0xFFFFFFFFul);
        }
        if (data) XFree(data);
        return values;
    }

    bool hasProperty(::Window window, const char* name) {
        XSync(x_, False);
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(x_, window, XInternAtom(x_, name, False), 0, 1, False, AnyPropertyType, &actualType,
                           &format, &count, &after, &data);
        if (data) XFree(data);
        return actualType != None;
    }

    std::set<std::string> atomNames(::Window window, const char* name) {
        std::set<std::string> names;
        for (unsigned long atom : property(window, name, XA_ATOM)) {
            char* text = XGetAtomName(x_, atom);
            if (text) {
                names.insert(text);
                XFree(text);
            }
        }
        return names;
    }

    struct ShapeRect {
        int x, y, width, height;
        bool operator==(const ShapeRect&) const = default;
    };
    std::vector<ShapeRect> shapeOf(::Window window, int kind) {
        XSync(x_, False);
        int count = 0, ordering = 0;
        XRectangle* rectangles = XShapeGetRectangles(x_, window, kind, &count, &ordering);
        std::vector<ShapeRect> result;
        for (int i = 0; i < count; ++i)
            result.push_back(ShapeRect{rectangles[i].x, rectangles[i].y, rectangles[i].width, rectangles[i].height});
        if (rectangles) XFree(rectangles);
        return result;
    }

    bool boundingShaped(::Window window) {
        XSync(x_, False);
        Bool shaped = False, clipShaped = False;
        int x = 0, y = 0, cx = 0, cy = 0;
        unsigned w = 0, h = 0, cw = 0, ch = 0;
        XShapeQueryExtents(x_, window, &shaped, &x, &y, &w, &h, &clipShaped, &cx, &cy, &cw, &ch);
        return shaped != False;
    }

    // Pixels of the window as the X server shows them, 0xRRGGBB.
    std::vector<uint32_t> pixelsOf(::Window window, int width, int height) {
        XSync(x_, False);
        std::vector<uint32_t> pixels;
        XImage* image = XGetImage(x_, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap);
        if (!image) return pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
        XDestroyImage(image);
        return pixels;
    }

    void pressKey(KeySym symbol, bool down) {
        XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, symbol), down ? True : False, CurrentTime);
    }
    void movePointer(int x, int y) { XTestFakeMotionEvent(x_, DefaultScreen(x_), x, y, CurrentTime); }
    void pressButton(unsigned button, bool down) { XTestFakeButtonEvent(x_, button, down ? True : False, CurrentTime); }

    bool haveXTest() {
        int event = 0, error = 0, major = 0, minor = 0;
        return XTestQueryExtension(x_, &event, &error, &major, &minor) != False;
    }

    PrivateXServer server_;
    bool overTcp_ = false;  // the subset connects over TCP, as to a remote server; the test itself does not
    Display* x_ = nullptr;
    ::Window root_ = 0;
};

// The same tests with the pictures in memory shared with the server, with
// the plain path that VUMIRA_X11_NO_SHM=1 keeps, and over TCP, where the
// server cannot read this process's memory.
enum class PicturePath { SharedMemory, Plain, OverTcp };

class X11Pictures : public X11Display, public ::testing::WithParamInterface<PicturePath> {
protected:
    void SetUp() override {
        if (GetParam() == PicturePath::Plain) setenv("VUMIRA_X11_NO_SHM", "1", 1);
        else unsetenv("VUMIRA_X11_NO_SHM");
        overTcp_ = GetParam() == PicturePath::OverTcp;
        X11Display::SetUp();
    }
    void TearDown() override {
        X11Display::TearDown();
        unsetenv("VUMIRA_X11_NO_SHM");
    }
    static bool shared() { return GetParam() == PicturePath::SharedMemory; }
};

INSTANTIATE_TEST_SUITE_P(Paths, X11Pictures,
                         ::testing::Values(PicturePath::SharedMemory, PicturePath::Plain, PicturePath::OverTcp),
                         [](const ::testing::TestParamInfo<PicturePath>& path) {
                             switch (path.param) {
                             case PicturePath::SharedMemory: return "SharedMemory";
                             case PicturePath::Plain: return "Plain";
                             case PicturePath::OverTcp: return "OverTcp";
                             }
                             return "";
                         });

// The System V segments that this process made, as the kernel lists them;
// `attached` is how many processes have it mapped (this one, the server).
struct Segment {
    size_t bytes = 0;
    int attached = 0;
    bool markedForRemoval = false;  // freed by the kernel once nobody has it mapped
};
std::vector<Segment> segmentsOfThisProcess() {
    std::ifstream list("/proc/sysvipc/shm");
    std::string line;
    std::getline(list, line);  // the column names
    std::vector<Segment> segments;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        long key = 0, id = 0, mode = 0, creator = 0, lastUser = 0;
        Segment segment;
        fields >> key >> id >> std::oct >> mode >> std::dec >> segment.bytes >> creator >> lastUser >> segment.attached;
        segment.markedForRemoval = (mode & SHM_DEST) != 0;
        if (fields && creator == getpid()) segments.push_back(segment);
    }
    return segments;
}

// The picture a list of fills gives a window of this size, 0xRRGGBB.
std::vector<uint32_t> pictureOf(const std::vector<Fill>& fills, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height), 0);
    for (const Fill& fill : fills)
        for (LONG y = std::max<LONG>(fill.rect.top, 0); y < std::min<LONG>(fill.rect.bottom, height); ++y)
            for (LONG x = std::max<LONG>(fill.rect.left, 0); x < std::min<LONG>(fill.rect.right, width); ++x)
                pixels[static_cast<size_t>(y * width + x)] =
                    static_cast<uint32_t>((GetRValue(fill.color) << 16) | (GetGValue(fill.color) << 8) | GetBValue(fill.color));
    return pixels;
}

bool isAt(HWND window, const RECT& wanted) {
    RECT rect = windowRect(window);
    return EqualRect(&rect, &wanted) != 0;
}

uint32_t rgb(int r, int g, int b) { return static_cast<uint32_t>((r << 16) | (g << 8) | b); }

// ---- tests ----------------------------------------------------------------------

// Stickiness is asked for (Win32SubsetSetSticky) and taken back on the
// running window; a window not asked stays on its own desktop.
TEST_F(X11Display, WindowsAppearAtTheirPlacesUndecoratedAndWithTheirStates) {
    struct Case {
        const char* title;
        DWORD exStyle;
        bool sticky;
        RECT rect;
        std::set<std::string> states;  // besides _NET_WM_STATE_STICKY
        const char* type;
    };
    const Case cases[] = {
        {"plain window", 0, true, {40, 30, 200, 90}, {}, "_NET_WM_WINDOW_TYPE_NORMAL"},
        {"tool window",
         WS_EX_TOOLWINDOW,
         false,
         {300, 50, 420, 80},
         {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"},
         "_NET_WM_WINDOW_TYPE_UTILITY"},
        {"top-most tool window",
         WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
         true,
         {600, 500, 700, 525},
         {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_ABOVE"},
         "_NET_WM_WINDOW_TYPE_UTILITY"},
        {"top-most window", WS_EX_TOPMOST, false, {0, 0, 16, 16}, {"_NET_WM_STATE_ABOVE"},
         "_NET_WM_WINDOW_TYPE_NORMAL"},
    };
    const std::vector<unsigned long> everyDesktop{0xFFFFFFFFul};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        HWND window = makeWindow(c.title, c.exStyle, c.rect, {{{0, 0, 400, 400}, RGB(10, 20, 30)}});
        if (c.sticky) Win32SubsetSetSticky(window, TRUE);
        ::Window shown = waitForXWindow(c.title);
        ASSERT_NE(shown, 0u);
        const XPlace wanted{c.rect.left, c.rect.top, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top, true, false};
        EXPECT_TRUE(waitForPlace(shown, wanted)) << "the X window is at " << placeOf(shown).x << ", " << placeOf(shown).y;
        // Motif hints: flags say "decorations given", and there are none.
        std::vector<unsigned long> motif = property(shown, "_MOTIF_WM_HINTS", AnyPropertyType);
        ASSERT_EQ(motif.size(), 5u);
        EXPECT_EQ(motif[0] & 2, 2u);
        EXPECT_EQ(motif[2], 0u);
        EXPECT_EQ(atomNames(shown, "_NET_WM_WINDOW_TYPE"), std::set<std::string>{c.type});

        // Each window, once mapped, is made sticky or no longer sticky and back.
        for (bool sticky : {c.sticky, !c.sticky, c.sticky}) {
            SCOPED_TRACE(sticky ? "sticky" : "not sticky");
            Win32SubsetSetSticky(window, sticky ? TRUE : FALSE);
            std::set<std::string> states = c.states;
            if (sticky) states.insert("_NET_WM_STATE_STICKY");
            EXPECT_TRUE(pumpUntil([&] { return atomNames(shown, "_NET_WM_STATE") == states; }));
            EXPECT_EQ(atomNames(shown, "_NET_WM_STATE"), states);
            EXPECT_EQ(property(shown, "_NET_WM_DESKTOP", XA_CARDINAL),
                      sticky ? everyDesktop : std::vector<unsigned long>{});
        }
    }
    EXPECT_FALSE(Win32SubsetSetSticky(nullptr, TRUE));
}

TEST_F(X11Display, HiddenWindowsAreUnmappedAndEmptyOnesNeverShow) {
    HWND window = makeWindow("shown and hidden", 0, {10, 10, 50, 30}, {});
    ::Window shown = waitForXWindow("shown and hidden");
    ASSERT_NE(shown, 0u);
    EXPECT_TRUE(pumpUntil([&] { return placeOf(shown).viewable; }));
    ShowWindow(window, SW_HIDE);
    EXPECT_TRUE(pumpUntil([&] { return !placeOf(shown).viewable; }));
    ShowWindow(window, SW_SHOWNOACTIVATE);
    EXPECT_TRUE(pumpUntil([&] { return placeOf(shown).viewable; }));
    // X has no window of width 0: the subset's empty window is simply not shown.
    SetWindowPos(window, nullptr, 10, 10, 0, 20, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(pumpUntil([&] { return !placeOf(shown).viewable; }));
    SetWindowPos(window, nullptr, 10, 10, 30, 20, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(waitForPlace(shown, XPlace{10, 10, 30, 20, true, false}));
}

TEST_F(X11Display, TopMostAndStackingFollowTheSubset) {
    HWND first = makeWindow("first", 0, {100, 100, 200, 200}, {});
    HWND second = makeWindow("second", 0, {150, 150, 250, 250}, {});
    ::Window firstShown = waitForXWindow("first"), secondShown = waitForXWindow("second");
    ASSERT_NE(firstShown, 0u);
    ASSERT_NE(secondShown, 0u);
    // XQueryTree lists the root's children bottom first.
    auto firstIsAbove = [&] {
        XSync(x_, False);
        ::Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(x_, root_, &rootReturn, &parent, &children, &count);
        int firstAt = -1, secondAt = -1;
        for (unsigned i = 0; i < count; ++i) {
            if (children[i] == firstShown) firstAt = static_cast<int>(i);
            if (children[i] == secondShown) secondAt = static_cast<int>(i);
        }
        if (children) XFree(children);
        return firstAt > secondAt;
    };
    auto above = [&](::Window window) { return atomNames(window, "_NET_WM_STATE").count("_NET_WM_STATE_ABOVE") == 1; };

    SetWindowPos(first, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(pumpUntil([&] { return above(firstShown) && firstIsAbove(); }));
    EXPECT_FALSE(above(secondShown));

    SetWindowPos(first, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(pumpUntil([&] { return !above(firstShown); }));
    SetWindowPos(second, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(pumpUntil([&] { return !firstIsAbove(); }));
}

TEST_P(X11Pictures, ColourKeyPixelsAreCutOutOfTheShape) {
    const COLORREF key = RGB(255, 0, 230);
    // An upside-down L on the key colour: a bar along the top and a stem.
    HWND window = makeWindow("keyed", WS_EX_LAYERED | WS_EX_TOOLWINDOW, {200, 200, 240, 220},
                             {{{0, 0, 40, 20}, key}, {{0, 0, 40, 4}, RGB(0, 0, 255)}, {{10, 4, 20, 20}, RGB(0, 255, 0)}});
    ::Window shown = waitForXWindow("keyed");
    ASSERT_NE(shown, 0u);
    // Layered without attributes: nothing shows.
    EXPECT_TRUE(pumpUntil([&] { return boundingShaped(shown) && shapeOf(shown, ShapeBounding).empty(); }));

    SetLayeredWindowAttributes(window, key, 255, LWA_COLORKEY);
    using R = std::vector<ShapeRect>;
    const R lShape{{0, 0, 40, 4}, {10, 4, 10, 16}};
    EXPECT_TRUE(pumpUntil([&] { return shapeOf(shown, ShapeBounding) == lShape; }));

    // The shape follows the picture at the next paint.
    testWindows()[window].picture = {{{0, 0, 40, 20}, key}, {{5, 5, 15, 10}, RGB(1, 2, 3)}};
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_TRUE(pumpUntil([&] { return shapeOf(shown, ShapeBounding) == R{{5, 5, 10, 5}}; }));

    // A paint that changes rows 7 and 8 only: those rows are cut out, and the
    // rows it left alone keep their part of the shape.
    testWindows()[window].picture = {{{0, 0, 40, 20}, key}, {{5, 5, 15, 10}, RGB(1, 2, 3)}, {{5, 7, 15, 9}, key}};
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_TRUE(pumpUntil([&] { return shapeOf(shown, ShapeBounding) == R{{5, 5, 10, 2}, {5, 9, 10, 1}}; }));

    // Another key: every row is looked at again.
    SetLayeredWindowAttributes(window, RGB(1, 2, 3), 255, LWA_COLORKEY);
    const R keyedOut{{0, 0, 40, 5}, {0, 5, 5, 2}, {15, 5, 25, 2}, {0, 7, 40, 2}, {0, 9, 5, 1}, {15, 9, 25, 1},
                     {0, 10, 40, 10}};
    EXPECT_TRUE(pumpUntil([&] { return shapeOf(shown, ShapeBounding) == keyedOut; }));

    // Without the layered style the window is whole again.
    SetWindowLongA(window, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    EXPECT_TRUE(pumpUntil([&] { return !boundingShaped(shown); }));
}

TEST_F(X11Display, TheOpacityPropertyCarriesTheConstantAlpha) {
    struct Case {
        const char* title;
        DWORD flags;
        BYTE alpha;
        std::optional<unsigned long> opacity;  // none: the property is absent
        bool pointerPasses;                    // an empty input shape
    };
    const Case cases[] = {
        {"half", LWA_ALPHA, 128, 0x80808080ul, false},
        {"opaque", LWA_ALPHA, 255, std::nullopt, false},
        {"alpha not asked for", LWA_COLORKEY, 100, std::nullopt, false},
        {"nearly clear with key", LWA_ALPHA | LWA_COLORKEY, 1, 0x01010101ul, false},
        {"clear", LWA_ALPHA, 0, 0ul, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        HWND window = makeWindow(c.title, WS_EX_LAYERED, {20, 20, 60, 40}, {{{0, 0, 40, 20}, RGB(9, 9, 9)}});
        SetLayeredWindowAttributes(window, RGB(255, 0, 230), c.alpha, c.flags);
        ::Window shown = waitForXWindow(c.title);
        ASSERT_NE(shown, 0u);
        EXPECT_TRUE(pumpUntil([&] { return placeOf(shown).viewable; }));
        if (c.opacity) {
            EXPECT_EQ(property(shown, "_NET_WM_WINDOW_OPACITY", XA_CARDINAL), std::vector<unsigned long>{*c.opacity});
        } else {
            EXPECT_FALSE(hasProperty(shown, "_NET_WM_WINDOW_OPACITY"));
        }
        EXPECT_EQ(shapeOf(shown, ShapeInput).empty(), c.pointerPasses);
        DestroyWindow(window);
        testWindows().erase(window);
    }
}

TEST_P(X11Pictures, PaintedPixelsAreWhatTheServerShows) {
    // Four quadrants and one odd pixel in the bottom-right corner.
    HWND window = makeWindow("pixels", 0, {500, 400, 564, 432},
                             {{{0, 0, 32, 16}, RGB(255, 0, 0)},
                              {{32, 0, 64, 16}, RGB(0, 255, 0)},
                              {{0, 16, 32, 32}, RGB(0, 0, 255)},
                              {{32, 16, 64, 32}, RGB(18, 52, 86)},
                              {{63, 31, 64, 32}, RGB(255, 255, 255)}});
    ::Window shown = waitForXWindow("pixels");
    ASSERT_NE(shown, 0u);
    auto expected = [](int x, int y) {
        if (x == 63 && y == 31) return rgb(255, 255, 255);
        if (y < 16) return x < 32 ? rgb(255, 0, 0) : rgb(0, 255, 0);
        return x < 32 ? rgb(0, 0, 255) : rgb(18, 52, 86);
    };
    std::vector<uint32_t> wanted;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) wanted.push_back(expected(x, y));
    EXPECT_TRUE(pumpUntil([&] { return testWindows()[window].paints > 0 && pixelsOf(shown, 64, 32) == wanted; }));
    std::vector<uint32_t> seen = pixelsOf(shown, 64, 32);
    ASSERT_EQ(seen.size(), wanted.size());
    for (size_t i = 0; i < seen.size(); ++i)
        if (seen[i] != wanted[i]) {
            ADD_FAILURE() << "first differing pixel at (" << i % 64 << ", " << i / 64 << "): 0x" << std::hex << seen[i]
                          << " instead of 0x" << wanted[i];
            break;
        }
}

TEST_P(X11Pictures, EveryRepaintShowsWhatChangedAndKeepsTheRest) {
    // Large enough that a frame changing every row goes through shared
    // memory where it is on, while a few changed pixels go over the
    // connection: both ways, one after the other, on the same picture.
    constexpr int kWidth = 512, kHeight = 160;
    const Fill black{{0, 0, kWidth, kHeight}, RGB(0, 0, 0)};
    // Rows of different colours, so that a row sent to the wrong place shows.
    auto stripes = [&](int shift) {
        std::vector<Fill> fills;
        for (int y = 0; y < kHeight; ++y)
            fills.push_back({{0, y, kWidth, y + 1}, RGB((y + shift) * 10 % 256, 255 - y * 7, shift * 40 % 256)});
        return fills;
    };
    // Frames as the plug-in paints them: the whole window each time, few
    // pixels changed, some frames like the one before; then every row
    // changed, as with motion blur.
    const std::vector<std::vector<Fill>> frames = {
        {black},
        {black, {{10, 12, 14, 24}, RGB(255, 0, 0)}, {{30, 4, 31, 5}, RGB(255, 255, 255)}},
        {black, {{10, 18, 14, 24}, RGB(255, 0, 0)}},
        {black, {{10, 18, 14, 24}, RGB(255, 0, 0)}},
        {black, {{0, 0, 1, 1}, RGB(0, 0, 255)}, {{47, 23, 48, 24}, RGB(0, 255, 0)}},
        stripes(0),
        stripes(3),
        {{{0, 0, kWidth, kHeight}, RGB(10, 200, 30)}},
    };
    HWND window = makeWindow("frames", 0, {300, 300, 300 + kWidth, 300 + kHeight}, frames[0]);
    ::Window shown = waitForXWindow("frames");
    ASSERT_NE(shown, 0u);
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const int paintsBefore = testWindows()[window].paints;
        testWindows()[window].picture = frames[i];
        InvalidateRect(window, nullptr, FALSE);
        const std::vector<uint32_t> wanted = pictureOf(frames[i], kWidth, kHeight);
        EXPECT_TRUE(pumpUntil([&] {
            return testWindows()[window].paints > paintsBefore && pixelsOf(shown, kWidth, kHeight) == wanted;
        }));
    }

    // Frames one after the other with no events read in between: each
    // present finds the server still busy with (or just done with) the last.
    for (int shift = 0; shift < 30; ++shift) {
        testWindows()[window].picture = stripes(shift);
        if (shift % 3 == 0) testWindows()[window].picture.push_back({{5, 2, 9, 20}, RGB(255, 255, 0)});
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }
    EXPECT_EQ(pixelsOf(shown, kWidth, kHeight), pictureOf(testWindows()[window].picture, kWidth, kHeight));
}

// A size change makes a new picture of the new size (in a new segment where
// memory is shared): what shows is the window's paint at that size.
TEST_P(X11Pictures, AResizedWindowShowsItsPictureAtTheNewSize) {
    const std::vector<Fill> picture = {{{0, 0, 400, 400}, RGB(30, 60, 90)},
                                       {{0, 0, 10, 10}, RGB(255, 0, 0)},
                                       {{20, 15, 70, 16}, RGB(0, 255, 0)},
                                       {{55, 5, 56, 45}, RGB(0, 0, 255)}};
    HWND window = makeWindow("resized", 0, {200, 100, 260, 130}, picture);
    ::Window shown = waitForXWindow("resized");
    ASSERT_NE(shown, 0u);
    ASSERT_TRUE(pumpUntil([&] { return pixelsOf(shown, 60, 30) == pictureOf(picture, 60, 30); }));
    struct Step {
        int width, height;
    };
    // Growing paints the new parts; shrinking keeps what the smaller window still shows.
    for (Step step : {Step{100, 50}, Step{30, 20}, Step{120, 12}}) {
        SCOPED_TRACE(std::to_string(step.width) + "x" + std::to_string(step.height));
        SetWindowPos(window, nullptr, 200, 100, step.width, step.height, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(waitForPlace(shown, XPlace{200, 100, step.width, step.height, true, false}));
        const std::vector<uint32_t> wanted = pictureOf(picture, step.width, step.height);
        EXPECT_TRUE(pumpUntil([&] { return pixelsOf(shown, step.width, step.height) == wanted; }));
    }
    // A change of a few rows at the last size.
    std::vector<Fill> changed = picture;
    changed.push_back({{100, 3, 110, 5}, RGB(250, 250, 250)});
    testWindows()[window].picture = changed;
    InvalidateRect(window, nullptr, FALSE);
    const std::vector<uint32_t> wanted = pictureOf(changed, 120, 12);
    EXPECT_TRUE(pumpUntil([&] { return pixelsOf(shown, 120, 12) == wanted; }));
}

// Each window's picture is one segment that both this process and the
// server map, marked for removal from the start; the plain path makes none.
TEST_P(X11Pictures, PicturesLiveInSharedMemoryOnlyWhereItIsOn) {
    HWND small = makeWindow("small", 0, {10, 10, 50, 30}, {{{0, 0, 40, 20}, RGB(1, 2, 3)}});
    HWND large = makeWindow("large", 0, {100, 10, 164, 42}, {{{0, 0, 64, 32}, RGB(4, 5, 6)}});
    ASSERT_NE(waitForXWindow("small"), 0u);
    ASSERT_NE(waitForXWindow("large"), 0u);
    StandardErrorToFile errors;
    auto sizes = [] {
        std::multiset<size_t> bytes;
        for (const Segment& segment : segmentsOfThisProcess()) bytes.insert(segment.bytes);
        return bytes;
    };
    using Sizes = std::multiset<size_t>;
    const Sizes both = shared() ? Sizes{40 * 20 * 4, 64 * 32 * 4} : Sizes{};
    EXPECT_TRUE(pumpUntil([&] { return sizes() == both; }))
        << sizes().size() << " segments (where none: does Xvfb offer MIT-SHM, and may this process make segments?)";
    for (const Segment& segment : segmentsOfThisProcess()) {
        EXPECT_EQ(segment.attached, 2) << "mapped by this process and the server";
        EXPECT_TRUE(segment.markedForRemoval);
    }

    // A new size, a new segment; the old one is gone once the server let go.
    SetWindowPos(small, nullptr, 10, 10, 80, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    const Sizes resized = shared() ? Sizes{80 * 40 * 4, 64 * 32 * 4} : Sizes{};
    EXPECT_TRUE(pumpUntil([&] { return sizes() == resized; })) << sizes().size() << " segments";

    for (HWND window : {small, large}) {
        DestroyWindow(window);
        testWindows().erase(window);
    }
    EXPECT_TRUE(pumpUntil([&] { return segmentsOfThisProcess().empty(); }))
        << segmentsOfThisProcess().size() << " segments left";
    EXPECT_EQ(errors.text(), "");
}

// Resources of this process's connection on the server, by type.
std::map<std::string, int> serverResourcesOf(Display* x, ::Window anyOfTheClients) {
    std::map<std::string, int> counts;
    int typeCount = 0;
    XResType* types = nullptr;
    if (!XResQueryClientResources(x, anyOfTheClients, &typeCount, &types)) return counts;
    for (int i = 0; i < typeCount; ++i) {
        char* name = XGetAtomName(x, types[i].resource_type);
        counts[name ? name : "?"] = static_cast<int>(types[i].count);
        if (name) XFree(name);
    }
    if (types) XFree(types);
    return counts;
}

TEST_P(X11Pictures, AThousandWindowsLeaveNoSegmentAndNoServerResourceBehind) {
    int event = 0, error = 0;
    SKIP_OR_FAIL_WITHOUT(XResQueryExtension(x_, &event, &error), "the X-Resource extension on Xvfb");
    // A window that stays, to name the subset's connection to the server.
    HWND anchor = makeWindow("anchor", 0, {0, 0, 20, 10}, {{{0, 0, 20, 10}, RGB(9, 9, 9)}});
    ::Window anchorShown = waitForXWindow("anchor");
    ASSERT_NE(anchorShown, 0u);
    ASSERT_TRUE(pumpUntil([&] { return testWindows()[anchor].paints > 0; }));
    const size_t segmentsBefore = segmentsOfThisProcess().size();
    EXPECT_EQ(segmentsBefore, shared() ? 1u : 0u);
    const std::map<std::string, int> before = serverResourcesOf(x_, anchorShown);
    ASSERT_FALSE(before.empty());
    StandardErrorToFile errors;  // an X error, such as a segment gone before the server attached it

    for (int cycle = 0; cycle < 1000; ++cycle) {
        HWND window = makeWindow("cycle", 0, {30 + cycle % 50, 30, 70 + cycle % 50, 50},
                                 {{{0, 0, 40, 20}, RGB(cycle % 256, 0, 0)}});
        UpdateWindow(window);  // one present
        if (cycle % 7 == 0) SetWindowPos(window, nullptr, 0, 0, 50, 25, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        DestroyWindow(window);
        testWindows().erase(window);
        if (cycle % 50 == 0) pumpUntil([] { return true; });
    }
    EXPECT_TRUE(pumpUntil([&] {
        return segmentsOfThisProcess().size() == segmentsBefore && serverResourcesOf(x_, anchorShown) == before;
    }));
    EXPECT_EQ(segmentsOfThisProcess().size(), segmentsBefore);
    const std::map<std::string, int> after = serverResourcesOf(x_, anchorShown);
    for (const auto& [type, count] : after) {
        auto found = before.find(type);
        EXPECT_EQ(count, found == before.end() ? 0 : found->second) << type;
    }
    EXPECT_EQ(errors.text(), "");
}

TEST_P(X11Pictures, ACoveredWindowShowsItsPictureAgainWithoutPaintingTwice) {
    HWND window = makeWindow("covered", 0, {300, 300, 340, 320}, {{{0, 0, 40, 20}, RGB(200, 100, 50)}});
    ::Window shown = waitForXWindow("covered");
    ASSERT_NE(shown, 0u);
    const std::vector<uint32_t> wanted(40 * 20, rgb(200, 100, 50));
    ASSERT_TRUE(pumpUntil([&] { return pixelsOf(shown, 40, 20) == wanted; }));
    const int paintsBefore = testWindows()[window].paints;

    // Another client's window covers it and goes away again.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = 0x000000;
    ::Window cover = XCreateWindow(x_, root_, 290, 290, 80, 60, 0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(x_, cover);
    XSync(x_, False);
    ASSERT_TRUE(pumpUntil([&] { return pixelsOf(shown, 40, 20) != wanted; })) << "the cover did not cover";
    XDestroyWindow(x_, cover);
    XSync(x_, False);
    EXPECT_TRUE(pumpUntil([&] { return pixelsOf(shown, 40, 20) == wanted; }));
    // A picture that blends over the one before must not be painted again.
    EXPECT_EQ(testWindows()[window].paints, paintsBefore);
}

TEST_F(X11Display, DraggingMovesTheWindowAndAltDraggingSizesIt) {
    SKIP_OR_FAIL_WITHOUT(haveXTest(), "the XTest extension on Xvfb");
    HWND window = makeWindow("dragged", WS_EX_TOOLWINDOW, {100, 100, 220, 140}, {{{0, 0, 400, 400}, RGB(40, 40, 40)}});
    TestWindow& test = testWindows()[window];
    test.caption = true;
    ::Window shown = waitForXWindow("dragged");
    ASSERT_NE(shown, 0u);
    ASSERT_TRUE(waitForPlace(shown, XPlace{100, 100, 120, 40, true, false}));

    // The rest of each drag is sent once the subset's own move loop runs, as
    // a hand would go on moving.
    test.onEnterSizeMove = [&] {
        movePointer(130, 120);
        movePointer(160, 130);
        pressButton(1, false);
        XSync(x_, False);
    };
    movePointer(110, 110);
    pressButton(1, true);
    XSync(x_, False);
    const RECT moved{150, 120, 270, 160};
    EXPECT_TRUE(pumpUntil([&] { return isAt(window, moved); }))
        << "the window is at " << textOf(windowRect(window));
    EXPECT_TRUE(waitForPlace(shown, XPlace{150, 120, 120, 40, true, false}));

    // With Alt held the same gesture drags the bottom-right corner.
    test.onEnterSizeMove = [&] {
        movePointer(290, 170);
        pressButton(1, false);
        pressKey(XK_Alt_L, false);
        XSync(x_, False);
    };
    movePointer(260, 150);
    pressKey(XK_Alt_L, true);
    pressButton(1, true);
    XSync(x_, False);
    const RECT sized{150, 120, 300, 180};
    EXPECT_TRUE(pumpUntil([&] { return isAt(window, sized); }))
        << "the window is at " << textOf(windowRect(window));
    EXPECT_TRUE(waitForPlace(shown, XPlace{150, 120, 150, 60, true, false}));
    EXPECT_TRUE(pumpUntil([] { return (GetAsyncKeyState(VK_MENU) & 0x8000) == 0; })) << "Alt stayed down";
}

TEST_F(X11Display, ClicksWheelAndKeysReachTheWindowUnderThePointer) {
    SKIP_OR_FAIL_WITHOUT(haveXTest(), "the XTest extension on Xvfb");
    HWND window = makeWindow("clicked", 0, {400, 300, 500, 350}, {{{0, 0, 100, 50}, RGB(0, 80, 0)}});
    ::Window shown = waitForXWindow("clicked");
    ASSERT_NE(shown, 0u);
    ASSERT_TRUE(waitForPlace(shown, XPlace{400, 300, 100, 50, true, false}));
    movePointer(425, 310);
    pressButton(3, true);
    pressButton(3, false);
    pressButton(4, true);
    pressButton(4, false);
    pressButton(5, true);
    pressButton(5, false);
    pressKey(XK_a, true);
    pressKey(XK_a, false);
    XSync(x_, False);
    const std::vector<MSG>& input = testWindows()[window].input;
    ASSERT_TRUE(pumpUntil([&] { return input.size() >= 6; })) << input.size() << " messages came";
    struct Expected {
        UINT message;
        WPARAM wParam;  // for the wheel: the high word only
        LPARAM lParam;  // client point for buttons, screen point for the wheel; unused for keys
    };
    const Expected expected[] = {
        {WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(25, 10)},
        {WM_RBUTTONUP, 0, MAKELPARAM(25, 10)},
        {WM_MOUSEWHEEL, static_cast<WORD>(WHEEL_DELTA), MAKELPARAM(425, 310)},
        {WM_MOUSEWHEEL, static_cast<WORD>(-WHEEL_DELTA), MAKELPARAM(425, 310)},
        {WM_KEYDOWN, 'A', 0},
        {WM_KEYUP, 'A', 0},
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE("message " + std::to_string(i));
        EXPECT_EQ(input[i].message, expected[i].message);
        if (expected[i].message == WM_MOUSEWHEEL) {
            EXPECT_EQ(HIWORD(input[i].wParam), expected[i].wParam);
            EXPECT_EQ(input[i].lParam, expected[i].lParam);
        } else if (expected[i].message == WM_KEYDOWN || expected[i].message == WM_KEYUP) {
            EXPECT_EQ(input[i].wParam, expected[i].wParam);
        } else {
            EXPECT_EQ(input[i].wParam, expected[i].wParam);
            EXPECT_EQ(input[i].lParam, expected[i].lParam);
        }
    }
}

TEST_F(X11Display, APlaceGivenByAnotherClientIsTakenByTheWindow) {
    HWND window = makeWindow("moved from outside", 0, {50, 50, 150, 100}, {});
    ::Window shown = waitForXWindow("moved from outside");
    ASSERT_NE(shown, 0u);
    ASSERT_TRUE(waitForPlace(shown, XPlace{50, 50, 100, 50, true, false}));
    // As a window manager would, from its own connection.
    XMoveResizeWindow(x_, shown, 333, 222, 90, 45);
    XSync(x_, False);
    const RECT wanted{333, 222, 423, 267};
    EXPECT_TRUE(pumpUntil([&] { return isAt(window, wanted); }))
        << "the window is at " << textOf(windowRect(window));
    const std::vector<RECT>& placements = testWindows()[window].placements;
    ASSERT_FALSE(placements.empty());
    EXPECT_TRUE(EqualRect(&placements.back(), &wanted)) << textOf(placements.back());
    // The subset does not push it back.
    EXPECT_EQ(placeOf(shown), (XPlace{333, 222, 90, 45, true, false}));
}

TEST_F(X11Display, ErrorsCausedByAnotherClientAreReportedAndSurvived) {
    HWND window = makeWindow("destroyed from outside", 0, {10, 300, 60, 330}, {{{0, 0, 50, 30}, RGB(1, 1, 1)}});
    ::Window shown = waitForXWindow("destroyed from outside");
    ASSERT_NE(shown, 0u);
    ASSERT_TRUE(pumpUntil([&] { return placeOf(shown).viewable; }));
    StandardErrorToFile errors;
    XDestroyWindow(x_, shown);
    XSync(x_, False);
    // Not pumped yet: the subset still takes the window for alive, and its
    // requests on it fail on the server (Xlib's own handler would exit).
    EXPECT_TRUE(SetWindowPos(window, nullptr, 20, 310, 40, 20, SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(pumpUntil([&] { return errors.text().find("BadWindow") != std::string::npos; })) << errors.text();
    // The window goes on working on the subset's side.
    const RECT wanted{20, 310, 60, 330};
    EXPECT_TRUE(isAt(window, wanted)) << textOf(windowRect(window));
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_TRUE(SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
    EXPECT_TRUE(DestroyWindow(window));
    testWindows().erase(window);
}

TEST_F(X11Display, ChoosingAnotherXDisplayMovesThereAndAFailedChoiceKeepsTheOne) {
    {
        StandardErrorToFile errors;  // the failure is reported; nothing else is wanted here
        EXPECT_EQ(Win32SubsetSetDisplay("x11::65000"), -1);  // no server there
    }
    HWND first = makeWindow("still here", 0, {5, 5, 25, 25}, {});
    EXPECT_NE(waitForXWindow("still here"), 0u);
    DestroyWindow(first);
    testWindows().erase(first);

    PrivateXServer other;
    std::string missing = other.start();
    ASSERT_TRUE(missing.empty()) << missing;
    ASSERT_EQ(Win32SubsetSetDisplay(("x11:" + other.name()).c_str()), 0);
    HWND second = makeWindow("moved over", 0, {5, 5, 25, 25}, {});
    Display* otherX = XOpenDisplay(other.name().c_str());
    ASSERT_NE(otherX, nullptr);
    auto onOther = [&] {
        XSync(otherX, False);
        ::Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        bool found = false;
        XQueryTree(otherX, DefaultRootWindow(otherX), &rootReturn, &parent, &children, &count);
        for (unsigned i = 0; i < count && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(otherX, children[i], &name) && name) {
                found = std::string(name) == "moved over";
                XFree(name);
            }
        }
        if (children) XFree(children);
        return found;
    };
    EXPECT_TRUE(pumpUntil(onOther));
    EXPECT_EQ(xWindowNamed("moved over"), 0u) << "also shown on the first server";
    XCloseDisplay(otherX);
    DestroyWindow(second);
    testWindows().erase(second);
    EXPECT_EQ(Win32SubsetSetDisplay("headless"), 0);  // before the other server ends
}

// The server going away is the one fault the program cannot go on through:
// the loop is told to quit, and what the program then does to its windows
// on the way out still works.
TEST_F(X11Display, ALostDisplayAsksTheLoopToQuitAndEndsNothingElse) {
    HWND window = makeWindow("lost", 0, {10, 10, 60, 40}, {{{0, 0, 50, 30}, RGB(5, 5, 5)}});
    ::Window shown = waitForXWindow("lost");
    ASSERT_NE(shown, 0u);
    ASSERT_TRUE(pumpUntil([&] { return placeOf(shown).viewable; }));
    XCloseDisplay(x_);  // the test's own connection would end the process
    x_ = nullptr;
    StandardErrorToFile errors;
    server_.stop(SIGKILL);
    std::optional<WPARAM> quit;
    EXPECT_TRUE(pumpUntil([&] { return quit.has_value(); }, &quit)) << "no WM_QUIT";
    EXPECT_EQ(quit.value_or(0), 1u);
    EXPECT_NE(errors.text().find("lost the connection to the X display"), std::string::npos) << errors.text();
    EXPECT_TRUE(SetWindowPos(window, nullptr, 30, 30, 20, 20, SWP_NOZORDER | SWP_NOACTIVATE));
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_TRUE(SetLayeredWindowAttributes(window, 0, 100, LWA_ALPHA) == FALSE);  // not layered: refused as ever
    EXPECT_TRUE(DestroyWindow(window));
    testWindows().erase(window);
    EXPECT_EQ(Win32SubsetSetDisplay("headless"), 0);
}

}  // namespace

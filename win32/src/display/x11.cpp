// The x11 display: the subset's top-level windows as real windows on an X
// server, through Xlib and the Shape extension.
//
// Provides (inside the subset): subset::display::x11Backend, named
// "x11[:DISPLAY]" (DISPLAY as Xlib reads it, ":1" or "host:1.0"; a bare
// number N means ":N"; none means $DISPLAY).
//
// Promises:
//  - Every top-level window is an ordinary X window (not override-redirect,
//    so a window manager keeps it on every desktop): no decorations
//    (_MOTIF_WM_HINTS), sticky (_NET_WM_STATE_STICKY, _NET_WM_DESKTOP all),
//    kept out of the task bar and pager when WS_EX_TOOLWINDOW
//    (_NET_WM_WINDOW_TYPE_UTILITY, _SKIP_TASKBAR, _SKIP_PAGER), above other
//    windows while top-most (_NET_WM_STATE_ABOVE), stacked among themselves
//    in the subset's z-order, titled with the window text.
//  - Placement is mirrored both ways: the subset's placement is applied with
//    XMoveResizeWindow; when something else (a window manager) gives the X
//    window another place or size, the subset's window is moved there with
//    SetWindowPos, so its procedure hears of it as of any move.
//  - The picture is the window's client pixels as last presented, sent with
//    XPutImage. A layered window's colour-key pixels are cut out of the
//    window with a bounding shape, rebuilt at each present; its constant
//    alpha goes to _NET_WM_WINDOW_OPACITY (alpha x 0xFFFFFFFF / 255, left out
//    at 255), which a compositing manager applies; at alpha 0 the pointer
//    passes through it (an empty input shape), as it does through key
//    pixels. A layered window without attributes shows nothing.
//  - Input: pointer moves, buttons 1-3 and the wheel (buttons 4 and 5, one
//    WHEEL_DELTA a notch) at root coordinates, and keys (Alt_L and Alt_R as
//    VK_MENU) go to the sink's deliverPointer / deliverKey. Alt, Shift and Control are
//    also taken from the modifier state of every pointer event, so Alt held
//    while dragging a window that has no keyboard focus still sizes it.
//    The window manager's close button posts WM_CLOSE.
//  - An exposed part is drawn again from the last picture presented, which
//    is what the window shows (its procedure is not asked to paint twice,
//    which would blend a motion-blurred picture twice); a window that has
//    presented nothing yet is invalidated instead.
//  - Events are read in pumpEvents on the thread that makes the windows
//    (the user-interface thread); a watcher thread only waits for the
//    connection to become readable and wakes the message loops.
//  - Trouble never ends the process: X protocol errors are printed on
//    standard error and otherwise ignored; when the connection is lost the
//    back end says so on standard error, asks the user-interface thread's
//    loop to quit (WM_QUIT), and from then on only keeps its records.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "display/backend.h"

namespace subset::display {
namespace {

// A place and size in X terms (root coordinates, each side at least 1).
struct Geometry {
    int x = 0, y = 0, width = 1, height = 1;
    bool operator==(const Geometry&) const = default;
};

Geometry geometryOf(const RECT& rect) {
    return Geometry{rect.left, rect.top, std::max<int>(rect.right - rect.left, 1),
                    std::max<int>(rect.bottom - rect.top, 1)};
}

struct NativeWindow {
    HWND window = nullptr;
    ::Window id = 0;
    bool alive = false;  // the X window exists and may be used
    bool toolWindow = false;
    bool noActivate = false;

    RECT rect{};           // the subset's placement
    Geometry asked;        // last geometry asked for or accepted from the server
    std::deque<Geometry> pending;  // asked for, not yet seen in a ConfigureNotify
    unsigned long lastRequest = 0; // serial of the last XMoveResizeWindow
    bool parentIsRoot = true;      // false once a window manager reparents it

    bool visible = false;
    bool mapped = false;
    bool topmost = false;

    bool layered = false;
    COLORREF key = 0;
    BYTE alpha = 255;
    DWORD flags = 0;

    // The picture as last presented, window-sized, 0x00RRGGBB.
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    bool presented = false;
    RECT exposed{};  // gathered from a run of Expose events
    bool exposedPending = false;

    // The bounding shape in force: none (unshaped) or these rectangles.
    std::optional<std::vector<XRectangle>> shape;
    bool inputCleared = false;  // an empty input shape is in force
};

enum AtomIndex {
    kWmProtocols,
    kWmDeleteWindow,
    kMotifWmHints,
    kNetWmState,
    kNetWmStateAbove,
    kNetWmStateSticky,
    kNetWmStateSkipTaskbar,
    kNetWmStateSkipPager,
    kNetWmWindowType,
    kNetWmWindowTypeUtility,
    kNetWmWindowTypeNormal,
    kNetWmDesktop,
    kNetWmWindowOpacity,
    kNetWmName,
    kNetWmPid,
    kUtf8String,
    kAtomCount
};

const char* const kAtomNames[] = {
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
    "_MOTIF_WM_HINTS",
    "_NET_WM_STATE",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_STATE_STICKY",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_SKIP_PAGER",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_DESKTOP",
    "_NET_WM_WINDOW_OPACITY",
    "_NET_WM_NAME",
    "_NET_WM_PID",
    "UTF8_STRING",
};
static_assert(sizeof(kAtomNames) / sizeof(kAtomNames[0]) == kAtomCount, "one name per atom");

// What the event reader asks the subset to do once the X lock is released.
struct Action {
    enum Kind { Pointer, Key, Invalidate, Place, Close, Quit } kind;
    explicit Action(Kind what) : kind(what) {}
    HWND window = nullptr;
    int x = 0, y = 0;
    DWORD buttons = 0;
    int wheel = 0;
    WORD key = 0;
    bool released = false;
    Geometry place;
};

struct X11State {
    // Guards everything below and every use of `display`. Never held while
    // the sink is called (actions run after it is released).
    std::mutex mutex;
    const Sink* sink = nullptr;
    Display* display = nullptr;
    bool lost = false;       // the connection broke: no Xlib call any more
    bool lossReported = false;
    int screen = 0;
    ::Window root = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    bool directPixels = false;  // 0x00RRGGBB words are the server's pixel values as they lie
    bool shapes = false;        // the Shape extension is there
    bool inputShapes = false;   // ... at version 1.1 or later
    Atom atoms[kAtomCount] = {};
    std::unordered_map<::Window, NativeWindow*> windows;
    std::vector<NativeWindow*> stacking;  // top first, as last applied

    // Modifier keys as last told to the subset.
    bool altDown = false, shiftDown = false, controlDown = false;

    // The watcher thread waits for `pumped` to move after waking the loops.
    std::thread watcher;
    int stopPipe[2] = {-1, -1};
    bool stopping = false;
    unsigned long pumped = 0;
    std::condition_variable pumpedChanged;

    std::thread::id userInterfaceThread;
    bool userInterfaceKnown = false;
};

X11State& x11() {
    static auto* instance = new X11State;  // outlives every thread
    return *instance;
}

// Set by Xlib's fatal-error path, which runs inside an Xlib call made under
// the X lock; read without it by the watcher.
std::atomic<bool> connectionBroken{false};
std::atomic<LONG> screenWidth{0}, screenHeight{0};

int reportXError(Display* display, XErrorEvent* error) {
    char text[160] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "win32subset: X error on %s: %s (request %d.%d, resource 0x%lx); carrying on\n",
                 DisplayString(display), text, error->request_code, error->minor_code, error->resourceid);
    return 0;
}

int reportLostConnection(Display* display) {
    std::fprintf(stderr,
                 "win32subset: lost the connection to the X display %s (the X server ended or the connection "
                 "broke); the windows are gone from it and the program is asked to quit\n",
                 DisplayString(display));
    return 0;
}

// Returning from here (instead of Xlib's exit) leaves the connection dead
// but the process running; the back end makes no further Xlib call on it.
void keepRunningAfterLoss(Display*, void*) { connectionBroken = true; }

bool usable(const X11State& s) { return s.display && !s.lost && !connectionBroken; }
bool usable(const X11State& s, const NativeWindow& w) { return usable(s) && w.alive; }

std::string displayNameFrom(const char* options) {
    std::string name = options ? options : "";
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); }))
        name = ":" + name;
    return name;
}

bool looksDirect(Display* display, Visual* visual, int depth) {
    if (visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) return false;
    const uint32_t probe = 1;
    const bool littleEndian = *reinterpret_cast<const unsigned char*>(&probe) == 1;
    if ((ImageByteOrder(display) == LSBFirst) != littleEndian) return false;
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool thirtyTwo = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth) thirtyTwo = formats[i].bits_per_pixel == 32;
    if (formats) XFree(formats);
    return thirtyTwo;
}

// A 0x00RRGGBB pixel as the server's pixel value, for visuals that differ.
unsigned long serverPixel(const Visual* visual, uint32_t pixel) {
    auto place = [](unsigned long mask, unsigned value) -> unsigned long {
        if (!mask) return 0;
        int shift = 0, bits = 0;
        while (!((mask >> shift) & 1)) ++shift;
        while ((mask >> (shift + bits)) & 1) ++bits;
        unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
        return (scaled << shift) & mask;
    };
    return place(visual->red_mask, (pixel >> 16) & 0xFF) | place(visual->green_mask, (pixel >> 8) & 0xFF) |
           place(visual->blue_mask, pixel & 0xFF);
}

// ---- window properties ------------------------------------------------------

void writeAtoms(X11State& s, ::Window id, Atom property, const std::vector<Atom>& values) {
    XChangeProperty(s.display, id, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
}

void writeCardinal(X11State& s, ::Window id, Atom property, unsigned long value) {
    XChangeProperty(s.display, id, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
}

std::vector<Atom> wantedStates(const X11State& s, const NativeWindow& w) {
    std::vector<Atom> states{s.atoms[kNetWmStateSticky]};
    if (w.toolWindow) {
        states.push_back(s.atoms[kNetWmStateSkipTaskbar]);
        states.push_back(s.atoms[kNetWmStateSkipPager]);
    }
    if (w.topmost) states.push_back(s.atoms[kNetWmStateAbove]);
    return states;
}

// The state property is the window manager's once the window is mapped; the
// request to change it is a client message to the root window. Writing the
// property as well keeps it right where no window manager runs.
void applyAbove(X11State& s, NativeWindow& w) {
    writeAtoms(s, w.id, s.atoms[kNetWmState], wantedStates(s, w));
    if (!w.mapped) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w.id;
    event.xclient.message_type = s.atoms[kNetWmState];
    event.xclient.format = 32;
    event.xclient.data.l[0] = w.topmost ? 1 : 0;  // _NET_WM_STATE_ADD / _REMOVE
    event.xclient.data.l[1] = static_cast<long>(s.atoms[kNetWmStateAbove]);
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1;  // from an application
    XSendEvent(s.display, s.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void applyOpacity(X11State& s, NativeWindow& w) {
    const bool translucent = w.layered && (w.flags & LWA_ALPHA) && w.alpha < 255;
    if (translucent)
        writeCardinal(s, w.id, s.atoms[kNetWmWindowOpacity], static_cast<unsigned long>(w.alpha) * 0x01010101ul);
    else
        XDeleteProperty(s.display, w.id, s.atoms[kNetWmWindowOpacity]);
    // A layered window at alpha 0 lets the pointer through, as on Windows.
    const bool clear = w.layered && (w.flags & LWA_ALPHA) && w.alpha == 0;
    if (s.inputShapes && clear != w.inputCleared) {
        if (clear)
            XShapeCombineRectangles(s.display, w.id, ShapeInput, 0, 0, nullptr, 0, ShapeSet, YXBanded);
        else
            XShapeCombineMask(s.display, w.id, ShapeInput, 0, 0, None, ShapeSet);
        w.inputCleared = clear;
    }
}

// The rectangles of pixels that differ from the key, in bands of rows that
// share the same runs (so the list is in YX-banded order).
std::vector<XRectangle> shownRectangles(const NativeWindow& w, uint32_t key) {
    std::vector<XRectangle> rectangles;
    std::vector<std::pair<int, int>> previousRuns, runs;
    size_t bandStart = 0;
    for (int y = 0; y < w.height; ++y) {
        runs.clear();
        const uint32_t* row = &w.pixels[static_cast<size_t>(y) * static_cast<size_t>(w.width)];
        for (int x = 0; x < w.width;) {
            if (row[x] == key) {
                ++x;
                continue;
            }
            int start = x;
            while (x < w.width && row[x] != key) ++x;
            runs.emplace_back(start, x);
        }
        if (y > 0 && runs == previousRuns) {
            for (size_t i = bandStart; i < rectangles.size(); ++i) ++rectangles[i].height;
            continue;
        }
        bandStart = rectangles.size();
        for (auto [start, end] : runs)
            rectangles.push_back(XRectangle{static_cast<short>(start), static_cast<short>(y),
                                            static_cast<unsigned short>(end - start), 1});
        previousRuns.swap(runs);
    }
    return rectangles;
}

void applyShape(X11State& s, NativeWindow& w) {
    if (!s.shapes) return;
    std::optional<std::vector<XRectangle>> wanted;
    if (w.layered) {
        if (!(w.flags & (LWA_COLORKEY | LWA_ALPHA)))
            wanted.emplace();  // attributes not set yet: nothing shows
        else if (w.flags & LWA_COLORKEY)
            wanted = w.presented ? shownRectangles(w, pixelFromColor(w.key)) : std::vector<XRectangle>{};
    }
    auto same = [](const std::optional<std::vector<XRectangle>>& a, const std::optional<std::vector<XRectangle>>& b) {
        if (a.has_value() != b.has_value()) return false;
        if (!a) return true;
        return a->size() == b->size() && std::equal(a->begin(), a->end(), b->begin(), [](const XRectangle& p, const XRectangle& q) {
                   return p.x == q.x && p.y == q.y && p.width == q.width && p.height == q.height;
               });
    };
    if (same(wanted, w.shape)) return;
    if (wanted)
        XShapeCombineRectangles(s.display, w.id, ShapeBounding, 0, 0, wanted->data(), static_cast<int>(wanted->size()),
                                ShapeSet, YXBanded);
    else
        XShapeCombineMask(s.display, w.id, ShapeBounding, 0, 0, None, ShapeSet);
    w.shape = std::move(wanted);
}

void updateMapping(X11State& s, NativeWindow& w) {
    const bool wanted = w.visible && w.rect.right > w.rect.left && w.rect.bottom > w.rect.top;
    if (wanted == w.mapped) return;
    if (wanted) {
        writeAtoms(s, w.id, s.atoms[kNetWmState], wantedStates(s, w));  // read by a window manager at the map
        XMapWindow(s.display, w.id);
    } else {
        XWithdrawWindow(s.display, w.id, s.screen);
    }
    w.mapped = wanted;
}

void resizePicture(NativeWindow& w, int width, int height) {
    if (width == w.width && height == w.height) return;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    for (int y = 0; y < std::min(height, w.height); ++y)
        std::copy_n(&w.pixels[static_cast<size_t>(y) * static_cast<size_t>(w.width)], std::min(width, w.width),
                    &pixels[static_cast<size_t>(y) * static_cast<size_t>(width)]);
    w.pixels.swap(pixels);
    w.width = width;
    w.height = height;
}

void putPicture(X11State& s, NativeWindow& w, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    if (s.directPixels) {
        XImage* image = XCreateImage(s.display, s.visual, static_cast<unsigned>(s.depth), ZPixmap, 0,
                                     reinterpret_cast<char*>(w.pixels.data()), static_cast<unsigned>(w.width),
                                     static_cast<unsigned>(w.height), 32, w.width * 4);
        if (!image) return;
        XPutImage(s.display, w.id, s.gc, image, area.left, area.top, area.left, area.top,
                  static_cast<unsigned>(width), static_cast<unsigned>(height));
        image->data = nullptr;  // the pixels are ours
        XDestroyImage(image);
        return;
    }
    XImage* image = XCreateImage(s.display, s.visual, static_cast<unsigned>(s.depth), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return;
    image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height)));
    if (!image->data) {
        XDestroyImage(image);
        return;
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            XPutPixel(image, x, y,
                      serverPixel(s.visual, w.pixels[static_cast<size_t>(area.top + y) * static_cast<size_t>(w.width) +
                                                     static_cast<size_t>(area.left + x)]));
    XPutImage(s.display, w.id, s.gc, image, 0, 0, area.left, area.top, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XDestroyImage(image);
}

// ---- events -----------------------------------------------------------------

WORD virtualKeyOf(KeySym symbol) {
    if (symbol >= XK_a && symbol <= XK_z) return static_cast<WORD>('A' + (symbol - XK_a));
    if (symbol >= XK_A && symbol <= XK_Z) return static_cast<WORD>('A' + (symbol - XK_A));
    if (symbol >= XK_0 && symbol <= XK_9) return static_cast<WORD>('0' + (symbol - XK_0));
    if (symbol >= XK_F1 && symbol <= XK_F12) return static_cast<WORD>(0x70 + (symbol - XK_F1));  // VK_F1..VK_F12
    struct Pair {
        KeySym symbol;
        WORD key;
    };
    static const Pair table[] = {
        {XK_Alt_L, VK_MENU},       {XK_Alt_R, VK_MENU},       {XK_Meta_L, VK_MENU},    {XK_Meta_R, VK_MENU},
        {XK_Shift_L, VK_SHIFT},    {XK_Shift_R, VK_SHIFT},    {XK_Control_L, VK_CONTROL}, {XK_Control_R, VK_CONTROL},
        {XK_Return, VK_RETURN},    {XK_KP_Enter, VK_RETURN},  {XK_Escape, VK_ESCAPE},  {XK_Tab, VK_TAB},
        {XK_BackSpace, VK_BACK},   {XK_space, VK_SPACE},      {XK_Left, VK_LEFT},      {XK_Right, VK_RIGHT},
        {XK_Up, VK_UP},            {XK_Down, VK_DOWN},        {XK_Delete, VK_DELETE},  {XK_Home, 0x24},
        {XK_End, 0x23},            {XK_Prior, 0x21},          {XK_Next, 0x22},         {XK_Insert, 0x2D},
    };
    for (const Pair& pair : table)
        if (pair.symbol == symbol) return pair.key;
    return 0;
}

void syncModifiers(X11State& s, unsigned state, std::vector<Action>& actions) {
    struct Modifier {
        bool X11State::*down;
        unsigned mask;
        WORD key;
    };
    static const Modifier modifiers[] = {
        {&X11State::altDown, Mod1Mask, VK_MENU},
        {&X11State::shiftDown, ShiftMask, VK_SHIFT},
        {&X11State::controlDown, ControlMask, VK_CONTROL},
    };
    for (const Modifier& modifier : modifiers) {
        const bool down = (state & modifier.mask) != 0;
        if (s.*modifier.down == down) continue;
        s.*modifier.down = down;
        Action action{Action::Key};
        action.key = modifier.key;
        action.released = !down;
        actions.push_back(action);
    }
}

void pointerAction(std::vector<Action>& actions, int x, int y, DWORD buttons, int wheel) {
    Action action{Action::Pointer};
    action.x = x;
    action.y = y;
    action.buttons = buttons;
    action.wheel = wheel;
    actions.push_back(action);
}

// The window's place on the root window as the server has it now.
Geometry rootGeometry(X11State& s, NativeWindow& w, const XConfigureEvent& event) {
    Geometry geometry{event.x, event.y, event.width, event.height};
    if (!event.send_event && !w.parentIsRoot) {
        ::Window child = 0;
        XTranslateCoordinates(s.display, w.id, s.root, 0, 0, &geometry.x, &geometry.y, &child);
    }
    return geometry;
}

void takeConfigure(X11State& s, NativeWindow& w, const XConfigureEvent& event, std::vector<Action>& actions) {
    Geometry geometry = rootGeometry(s, w, event);
    if (!w.pending.empty()) {
        auto mine = std::find(w.pending.begin(), w.pending.end(), geometry);
        if (mine != w.pending.end()) {  // one of our own requests taking effect
            w.pending.erase(w.pending.begin(), mine + 1);
            return;
        }
        if (event.serial < w.lastRequest) return;  // an older state; a newer request follows
    }
    w.pending.clear();
    if (geometry == geometryOf(w.rect)) return;
    // Someone else (a window manager) placed the window: the subset follows.
    w.asked = geometry;
    w.rect = RECT{geometry.x, geometry.y, geometry.x + geometry.width, geometry.y + geometry.height};
    Action action{Action::Place};
    action.window = w.window;
    action.place = geometry;
    actions.push_back(action);
}

void translateEvent(X11State& s, XEvent& event, std::vector<Action>& actions) {
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    }
    auto found = s.windows.find(event.xany.window);
    if (found == s.windows.end()) return;
    NativeWindow& w = *found->second;
    switch (event.type) {
    case MotionNotify: {
        // Only the latest of a run of moves matters.
        XEvent next;
        while (XEventsQueued(s.display, QueuedAlready) > 0) {
            XPeekEvent(s.display, &next);
            if (next.type != MotionNotify || next.xmotion.window != event.xmotion.window) break;
            XNextEvent(s.display, &event);
        }
        syncModifiers(s, event.xmotion.state, actions);
        pointerAction(actions, event.xmotion.x_root, event.xmotion.y_root, 0, 0);
        break;
    }
    case EnterNotify:
        syncModifiers(s, event.xcrossing.state, actions);
        pointerAction(actions, event.xcrossing.x_root, event.xcrossing.y_root, 0, 0);
        break;
    case ButtonPress:
    case ButtonRelease: {
        const bool press = event.type == ButtonPress;
        syncModifiers(s, event.xbutton.state, actions);
        const XButtonEvent& button = event.xbutton;
        switch (button.button) {
        case Button1: pointerAction(actions, button.x_root, button.y_root, press ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP, 0); break;
        case Button2: pointerAction(actions, button.x_root, button.y_root, press ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP, 0); break;
        case Button3: pointerAction(actions, button.x_root, button.y_root, press ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP, 0); break;
        case Button4:
            if (press) pointerAction(actions, button.x_root, button.y_root, 0, WHEEL_DELTA);
            break;
        case Button5:
            if (press) pointerAction(actions, button.x_root, button.y_root, 0, -WHEEL_DELTA);
            break;
        default: break;
        }
        break;
    }
    case KeyPress:
    case KeyRelease: {
        const WORD key = virtualKeyOf(XLookupKeysym(&event.xkey, 0));
        if (!key) break;
        const bool released = event.type == KeyRelease;
        if (key == VK_MENU) s.altDown = !released;
        if (key == VK_SHIFT) s.shiftDown = !released;
        if (key == VK_CONTROL) s.controlDown = !released;
        Action action{Action::Key};
        action.key = key;
        action.released = released;
        actions.push_back(action);
        break;
    }
    case Expose: {
        RECT area{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                  event.xexpose.y + event.xexpose.height};
        if (w.exposedPending)
            UnionRect(&w.exposed, &w.exposed, &area);
        else
            w.exposed = area;
        w.exposedPending = true;
        if (event.xexpose.count > 0) break;
        w.exposedPending = false;
        // The last picture presented is what the window shows; asking the
        // window to paint again would blend a motion-blurred picture twice.
        if (w.presented) {
            RECT whole{0, 0, w.width, w.height};
            if (IntersectRect(&area, &w.exposed, &whole)) putPicture(s, w, area);
        } else {
            Action action{Action::Invalidate};
            action.window = w.window;
            actions.push_back(action);
        }
        break;
    }
    case ConfigureNotify:
        takeConfigure(s, w, event.xconfigure, actions);
        break;
    case ReparentNotify:
        w.parentIsRoot = event.xreparent.parent == s.root;
        break;
    case DestroyNotify:
        w.alive = false;  // another client destroyed it
        break;
    case ClientMessage:
        if (event.xclient.message_type == s.atoms[kWmProtocols] &&
            static_cast<Atom>(event.xclient.data.l[0]) == s.atoms[kWmDeleteWindow]) {
            Action action{Action::Close};
            action.window = w.window;
            actions.push_back(action);
        }
        break;
    default: break;
    }
}

void runActions(const Sink& sink, const std::vector<Action>& actions) {
    for (const Action& action : actions) {
        switch (action.kind) {
        case Action::Pointer: sink.deliverPointer(action.x, action.y, action.buttons, action.wheel); break;
        case Action::Key: sink.deliverKey(action.key, action.released); break;
        case Action::Invalidate: sink.windowExposed(action.window); break;
        case Action::Place:
            sink.windowPlaced(action.window, RECT{action.place.x, action.place.y, action.place.x + action.place.width,
                                                  action.place.y + action.place.height});
            break;
        case Action::Close: sink.closeRequested(action.window); break;
        case Action::Quit: sink.quitRequested(1); break;
        }
    }
}

// Xlib may have read events into its queue during a round trip made for a
// table call; the connection then looks idle to the watcher.
bool eventsWaitingLocked(X11State& s) { return usable(s) && XQLength(s.display) > 0; }

void wakeIf(const Sink* sink, bool waiting) {
    if (waiting) sink->wakeMessageLoops();
}

void watchConnection(const Sink* sink, int connection, int stop) {
    X11State& s = x11();
    for (;;) {
        pollfd fds[2] = {{connection, POLLIN, 0}, {stop, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!fds[0].revents) continue;
        unsigned long seen = 0;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            seen = s.pumped;
        }
        sink->wakeMessageLoops();
        // Wait until the events were read (or a while, when no loop runs).
        std::unique_lock<std::mutex> lock(s.mutex);
        s.pumpedChanged.wait_for(lock, std::chrono::milliseconds(100),
                                 [&] { return s.pumped != seen || s.stopping || s.lost; });
        if (s.stopping || s.lost) return;
        if (fds[0].revents & POLLNVAL) return;
    }
}

// ---- the table --------------------------------------------------------------

void closeX11();

bool openX11(const char* options, bool chosen, const Sink& sink) {
    X11State& s = x11();
    std::string name = displayNameFrom(options);
    if (name.empty() && !std::getenv("DISPLAY")) {
        if (chosen) std::fprintf(stderr, "win32subset: no X display named and $DISPLAY is not set; try --display x11:N\n");
        return false;
    }
    XInitThreads();
    XSetErrorHandler(reportXError);
    XSetIOErrorHandler(reportLostConnection);
    Display* display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (!display) {
        if (chosen)
            std::fprintf(stderr,
                         "win32subset: cannot open the X display \"%s\": is an X server running there, and may this "
                         "user connect to it (xauth)?\n",
                         XDisplayName(name.empty() ? nullptr : name.c_str()));
        return false;
    }
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    if (visual->c_class != TrueColor && visual->c_class != DirectColor) {
        if (chosen)
            std::fprintf(stderr, "win32subset: the X display \"%s\" has no true-colour visual; use a 24-bit screen\n",
                         DisplayString(display));
        XCloseDisplay(display);
        return false;
    }
    closeX11();  // the connection this back end had before, now that the new one stands
    std::lock_guard<std::mutex> lock(s.mutex);
    connectionBroken = false;
    XSetIOErrorExitHandler(display, keepRunningAfterLoss, nullptr);
    s.sink = &sink;
    s.display = display;
    s.lost = false;
    s.lossReported = false;
    s.screen = screen;
    s.root = RootWindow(display, screen);
    s.visual = visual;
    s.depth = DefaultDepth(display, screen);
    s.gc = XCreateGC(display, s.root, 0, nullptr);
    s.directPixels = looksDirect(display, visual, s.depth);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    s.shapes = XShapeQueryExtension(display, &eventBase, &errorBase) && XShapeQueryVersion(display, &major, &minor);
    s.inputShapes = s.shapes && (major > 1 || (major == 1 && minor >= 1));
    if (!s.shapes)
        std::fprintf(stderr, "win32subset: the X display %s has no Shape extension: colour-keyed windows show their key colour\n",
                     DisplayString(display));
    XInternAtoms(display, const_cast<char**>(kAtomNames), kAtomCount, False, s.atoms);
    XkbSetDetectableAutoRepeat(display, True, nullptr);  // held keys repeat presses only
    s.altDown = s.shiftDown = s.controlDown = false;
    s.userInterfaceKnown = false;
    s.stacking.clear();
    screenWidth = DisplayWidth(display, screen);
    screenHeight = DisplayHeight(display, screen);

    s.stopping = false;
    if (pipe2(s.stopPipe, O_CLOEXEC) != 0) s.stopPipe[0] = s.stopPipe[1] = -1;
    s.watcher = std::thread(watchConnection, &sink, ConnectionNumber(display), s.stopPipe[0]);
    return true;
}

void closeX11() {
    X11State& s = x11();
    std::thread watcher;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.display) return;
        s.stopping = true;
        s.pumpedChanged.notify_all();
        watcher.swap(s.watcher);
    }
    if (s.stopPipe[1] >= 0) {
        char byte = 1;
        ssize_t ignored = write(s.stopPipe[1], &byte, 1);
        (void)ignored;
    }
    if (watcher.joinable()) watcher.join();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (int& end : s.stopPipe) {
        if (end >= 0) close(end);
        end = -1;
    }
    if (usable(s)) {
        for (auto& [id, window] : s.windows)
            if (window->alive) XDestroyWindow(s.display, id);
        XFreeGC(s.display, s.gc);
        XCloseDisplay(s.display);
        s.display = nullptr;
    }
    // A display whose connection broke is left as it is: Xlib cannot close it.
    for (auto& [id, window] : s.windows) window->alive = false;
    s.windows.clear();
    s.stacking.clear();
    if (s.display) s.lost = true;
}

SIZE x11ScreenSize() { return SIZE{screenWidth.load(), screenHeight.load()}; }

void* createX11Window(HWND window, const RECT& rect, DWORD, DWORD exStyle) {
    X11State& s = x11();
    auto* w = new NativeWindow;
    w->window = window;
    w->rect = rect;
    w->toolWindow = (exStyle & WS_EX_TOOLWINDOW) != 0;
    w->noActivate = (exStyle & WS_EX_NOACTIVATE) != 0;
    w->topmost = (exStyle & WS_EX_TOPMOST) != 0;
    bool waiting = false;
    const Sink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        sink = s.sink;
        s.userInterfaceThread = std::this_thread::get_id();
        s.userInterfaceKnown = true;
        if (!usable(s)) return w;  // a record without an X window
        Geometry geometry = geometryOf(rect);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;
        attributes.border_pixel = 0;
        attributes.bit_gravity = NorthWestGravity;
        attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                                PointerMotionMask | KeyPressMask | KeyReleaseMask | EnterWindowMask;
        w->id = XCreateWindow(s.display, s.root, geometry.x, geometry.y, static_cast<unsigned>(geometry.width),
                              static_cast<unsigned>(geometry.height), 0, CopyFromParent, InputOutput, CopyFromParent,
                              CWBackPixmap | CWBorderPixel | CWBitGravity | CWEventMask, &attributes);
        w->alive = w->id != 0;
        w->asked = geometry;
        resizePicture(*w, geometry.width, geometry.height);
        if (w->alive) {
            // Placed where the subset says, the window's own corner at x, y.
            XSizeHints* size = XAllocSizeHints();
            size->flags = USPosition | USSize | PWinGravity;
            size->x = geometry.x;
            size->y = geometry.y;
            size->width = geometry.width;
            size->height = geometry.height;
            size->win_gravity = StaticGravity;
            XWMHints* hints = XAllocWMHints();
            hints->flags = InputHint | StateHint;
            hints->input = w->noActivate ? False : True;
            hints->initial_state = NormalState;
            XClassHint* classHint = XAllocClassHint();
            std::string program = program_invocation_short_name;
            std::string programClass = program;
            if (!programClass.empty()) programClass[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(programClass[0])));
            classHint->res_name = program.data();
            classHint->res_class = programClass.data();
            XSetWMProperties(s.display, w->id, nullptr, nullptr, nullptr, 0, size, hints, classHint);
            XFree(size);
            XFree(hints);
            XFree(classHint);
            Atom protocols[] = {s.atoms[kWmDeleteWindow]};
            XSetWMProtocols(s.display, w->id, protocols, 1);

            // No title bar or frame: the subset draws all there is.
            const long motif[5] = {2 /* decorations given */, 0, 0 /* none */, 0, 0};
            XChangeProperty(s.display, w->id, s.atoms[kMotifWmHints], s.atoms[kMotifWmHints], 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(motif), 5);
            writeAtoms(s, w->id, s.atoms[kNetWmWindowType],
                       {s.atoms[w->toolWindow ? kNetWmWindowTypeUtility : kNetWmWindowTypeNormal]});
            writeAtoms(s, w->id, s.atoms[kNetWmState], wantedStates(s, *w));
            writeCardinal(s, w->id, s.atoms[kNetWmDesktop], 0xFFFFFFFFul);  // every desktop
            writeCardinal(s, w->id, s.atoms[kNetWmPid], static_cast<unsigned long>(getpid()));
            if (exStyle & WS_EX_LAYERED) {
                w->layered = true;
                applyShape(s, *w);
            }
            s.windows[w->id] = w;
            XFlush(s.display);
        }
        waiting = eventsWaitingLocked(s);
    }
    wakeIf(sink, waiting);
    return w;
}

void destroyX11Window(void* native) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.stacking.erase(std::remove(s.stacking.begin(), s.stacking.end(), w), s.stacking.end());
        auto found = s.windows.find(w->id);
        if (found != s.windows.end() && found->second == w) s.windows.erase(found);
        if (usable(s, *w)) {
            XDestroyWindow(s.display, w->id);
            XFlush(s.display);
        }
    }
    delete w;
}

void placeX11Window(void* native, const RECT& rect) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    bool waiting = false;
    const Sink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        sink = s.sink;
        w->rect = rect;
        Geometry geometry = geometryOf(rect);
        resizePicture(*w, geometry.width, geometry.height);
        if (!usable(s, *w)) return;
        if (!(geometry == w->asked)) {
            w->asked = geometry;
            w->pending.push_back(geometry);
            if (w->pending.size() > 32) w->pending.pop_front();
            w->lastRequest = NextRequest(s.display);
            XMoveResizeWindow(s.display, w->id, geometry.x, geometry.y, static_cast<unsigned>(geometry.width),
                              static_cast<unsigned>(geometry.height));
            applyShape(s, *w);
        }
        updateMapping(s, *w);
        XFlush(s.display);
        waiting = eventsWaitingLocked(s);
    }
    wakeIf(sink, waiting);
}

void showX11Window(void* native, bool visible) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    std::lock_guard<std::mutex> lock(s.mutex);
    w->visible = visible;
    if (!usable(s, *w)) return;
    updateMapping(s, *w);
    XFlush(s.display);
}

void stackX11Windows(void* const* natives, const bool* topmost, int count) {
    X11State& s = x11();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::vector<NativeWindow*> order;
    for (int i = 0; i < count; ++i) {
        auto* w = static_cast<NativeWindow*>(natives[i]);
        order.push_back(w);
        if (w->topmost == topmost[i]) continue;
        w->topmost = topmost[i];
        if (usable(s, *w)) applyAbove(s, *w);
    }
    if (!usable(s)) return;
    if (order != s.stacking) {
        // Raised bottom first, so the first of the list ends on top. Raising
        // (unlike restacking siblings) also works once a window manager has
        // put the windows into frames of its own.
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            if ((*it)->alive) XRaiseWindow(s.display, (*it)->id);
        s.stacking = order;
    }
    XFlush(s.display);
}

void layerX11Window(void* native, bool layered, COLORREF key, BYTE alpha, DWORD flags) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    std::lock_guard<std::mutex> lock(s.mutex);
    w->layered = layered;
    w->key = key & 0x00FFFFFF;
    w->alpha = alpha;
    w->flags = flags;
    if (!usable(s, *w)) return;
    applyOpacity(s, *w);
    applyShape(s, *w);
    XFlush(s.display);
}

void titleX11Window(void* native, const char* title) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!usable(s, *w)) return;
    std::string text = title ? title : "";
    XStoreName(s.display, w->id, text.c_str());  // STRING is Latin-1, like the window's 8-bit text
    std::string utf8;
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    XChangeProperty(s.display, w->id, s.atoms[kNetWmName], s.atoms[kUtf8String], 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XFlush(s.display);
}

void presentX11Window(void* native, const Surface& surface, const RECT& dirty, POINT client) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    std::lock_guard<std::mutex> lock(s.mutex);
    RECT area = dirty;
    RECT inSurface{0, 0, surface.width, surface.height};
    if (!IntersectRect(&area, &area, &inSurface)) return;
    OffsetRect(&area, client.x, client.y);
    RECT inWindow{0, 0, w->width, w->height};
    if (!IntersectRect(&area, &area, &inWindow)) return;
    auto pixelsLock = lockPixels();  // another thread may be drawing on the surface
    for (int y = area.top; y < area.bottom; ++y) {
        const uint32_t* from = &surface.pixels[static_cast<size_t>(y - client.y) * static_cast<size_t>(surface.width) +
                                               static_cast<size_t>(area.left - client.x)];
        std::copy_n(from, area.right - area.left,
                    &w->pixels[static_cast<size_t>(y) * static_cast<size_t>(w->width) + static_cast<size_t>(area.left)]);
    }
    pixelsLock.unlock();
    w->presented = true;
    if (!usable(s, *w)) return;
    if (w->layered) applyShape(s, *w);  // first, so that newly shown parts get the picture below
    putPicture(s, *w, area);
    XFlush(s.display);
}

void pumpX11Events() {
    X11State& s = x11();
    std::vector<Action> actions;
    const Sink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.display) return;
        sink = s.sink;
        // Events are the user-interface thread's: it owns the windows.
        if (s.userInterfaceKnown && std::this_thread::get_id() != s.userInterfaceThread) return;
        if (!s.lost) {
            XEvent event;
            while (!connectionBroken && XPending(s.display) > 0) {
                XNextEvent(s.display, &event);
                if (connectionBroken) break;
                translateEvent(s, event, actions);
            }
            if (connectionBroken) s.lost = true;
        }
        if (s.lost && !s.lossReported) {
            s.lossReported = true;
            for (auto& [id, window] : s.windows) window->alive = false;
            actions.push_back(Action{Action::Quit});
        }
        ++s.pumped;
        s.pumpedChanged.notify_all();
    }
    runActions(*sink, actions);
}

}  // namespace

const Backend x11Backend = {
    "x11",
    openX11,
    closeX11,
    x11ScreenSize,
    createX11Window,
    destroyX11Window,
    placeX11Window,
    showX11Window,
    stackX11Windows,
    layerX11Window,
    titleX11Window,
    presentX11Window,
    pumpX11Events,
};

}  // namespace subset::display

// The x11 display's connection to the X server.
//
// Provides (inside the subset): subset::display::x11::openX11, closeX11,
// x11ScreenSize, x11.
//
// Promises: "x11[:DISPLAY]" opens DISPLAY as Xlib reads it (a bare number N
// means ":N"; none means $DISPLAY) when its default visual is true colour;
// a failure is reported only when the back end was chosen by name. A new
// connection replaces the old one only once it stands. X protocol errors
// are printed and otherwise ignored; a lost connection is printed once and
// leaves the process running, with no further Xlib call on it. Closing
// destroys the X windows and stops the watcher thread.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/x11_state.h"

namespace subset::display::x11 {
namespace {

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

}  // namespace

X11State& x11() {
    static auto* instance = new X11State;  // outlives every thread
    return *instance;
}

std::atomic<bool> connectionBroken{false};
std::atomic<LONG> screenWidth{0}, screenHeight{0};

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
    // Shared pictures hold the words as they lie, so only for direct pixels.
    s.sharedMemory = s.directPixels && sharedMemoryWorks(display, visual, s.depth);
    s.sharedCompletion = s.sharedMemory ? XShmGetEventBase(display) + ShmCompletion : 0;
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
        s.gc = nullptr;
        XCloseDisplay(s.display);
        s.display = nullptr;
    }
    // A display whose connection broke is left as it is: Xlib cannot close
    // it. Its graphics context is only a record in this process (once the
    // connection is marked broken, Xlib drops the request it would send), so
    // it is freed all the same.
    if (s.display && s.gc) {
        XFreeGC(s.display, s.gc);
        s.gc = nullptr;
    }
    // Either way the server has let go of every segment.
    for (auto& [id, window] : s.windows) {
        window->alive = false;
        window->shared.attached = window->shared.beingRead = false;
    }
    s.windows.clear();
    s.stacking.clear();
    if (s.display) s.lost = true;
}

SIZE x11ScreenSize() { return SIZE{screenWidth.load(), screenHeight.load()}; }

}  // namespace subset::display::x11

// The x11 display's windows and their properties.
//
// Provides (inside the subset): subset::display::x11::createX11Window,
// destroyX11Window, placeX11Window, showX11Window, stackX11Windows,
// layerX11Window, titleX11Window, stickX11Window.
//
// Promises: every top-level window is an ordinary X window without
// decorations (_MOTIF_WM_HINTS), on every desktop only when made sticky
// (_NET_WM_STATE_STICKY, _NET_WM_DESKTOP all; taken back on a running
// window too), kept out of the task bar and pager when
// WS_EX_TOOLWINDOW, above others while top-most (_NET_WM_STATE_ABOVE, also
// asked of a running window manager), placed where the subset says
// (USPosition, StaticGravity), titled in Latin-1 and UTF-8. It is mapped
// while visible and not empty; its own requests for a place are remembered,
// so that the server's answers are not taken for moves by someone else. The
// stack is applied by raising the windows bottom first, which works inside
// a window manager's frames too. Opacity goes to _NET_WM_WINDOW_OPACITY; at
// alpha 0 the window takes no pointer input (an empty input shape).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string>

#include "display/x11_state.h"

namespace subset::display::x11 {
namespace {

void writeAtoms(X11State& s, ::Window id, Atom property, const std::vector<Atom>& values) {
    XChangeProperty(s.display, id, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
}

void writeCardinal(X11State& s, ::Window id, Atom property, unsigned long value) {
    XChangeProperty(s.display, id, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
}

std::vector<Atom> wantedStates(const X11State& s, const NativeWindow& w) {
    std::vector<Atom> states;
    if (w.sticky) states.push_back(s.atoms[kNetWmStateSticky]);
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
void askWindowManager(X11State& s, NativeWindow& w, Atom message, long first, long second) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w.id;
    event.xclient.message_type = message;
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1;  // from an application
    XSendEvent(s.display, s.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void applyState(X11State& s, NativeWindow& w, Atom changed, bool on) {
    writeAtoms(s, w.id, s.atoms[kNetWmState], wantedStates(s, w));
    if (w.mapped) askWindowManager(s, w, s.atoms[kNetWmState], on ? 1 : 0 /* _NET_WM_STATE_ADD / _REMOVE */,
                                   static_cast<long>(changed));
}

void applyAbove(X11State& s, NativeWindow& w) { applyState(s, w, s.atoms[kNetWmStateAbove], w.topmost); }

// Every desktop, or only its own: a window manager leaves a window whose
// stickiness ends on the desktop in view.
void applyDesktop(X11State& s, NativeWindow& w) {
    if (w.sticky) {
        writeCardinal(s, w.id, s.atoms[kNetWmDesktop], 0xFFFFFFFFul);
        if (w.mapped) askWindowManager(s, w, s.atoms[kNetWmDesktop], 0xFFFFFFFFl, 0);
    } else {
        XDeleteProperty(s.display, w.id, s.atoms[kNetWmDesktop]);
    }
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

}  // namespace

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
        resizePicture(s, *w, geometry.width, geometry.height);
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
        releasePicture(s, *w);
        if (usable(s, *w)) XDestroyWindow(s.display, w->id);
        if (usable(s)) XFlush(s.display);
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
        resizePicture(s, *w, geometry.width, geometry.height);
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

void stickX11Window(void* native, bool sticky) {
    X11State& s = x11();
    auto* w = static_cast<NativeWindow*>(native);
    std::lock_guard<std::mutex> lock(s.mutex);
    if (w->sticky == sticky) return;
    w->sticky = sticky;
    if (!usable(s, *w)) return;
    applyState(s, *w, s.atoms[kNetWmStateSticky], sticky);
    applyDesktop(s, *w);
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

}  // namespace subset::display::x11

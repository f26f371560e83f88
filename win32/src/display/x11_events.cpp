// The x11 display's events: what the X server says, turned into what the
// sink hears.
//
// Provides (inside the subset): subset::display::x11::pumpX11Events.
//
// Promises: events are read only on the user-interface thread, and the
// sink is called after the lock is let go. Pointer moves (only the latest
// of a run), crossings, buttons 1-3 and the wheel (buttons 4 and 5, one
// WHEEL_DELTA a notch) go to deliverPointer at root coordinates; keys with a
// virtual key (Alt_L, Alt_R and Meta as VK_MENU) go to deliverKey, and Alt,
// Shift and Control are also taken from the modifier state of every pointer
// event. An exposed window is drawn again from its last picture, or goes to
// windowExposed when it has none. A place or size that the server reports
// and that is none of the window's own requests goes to windowPlaced. The
// window manager's close button goes to closeRequested, and a lost
// connection, once, to quitRequested(1).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "display/x11_state.h"
#include "internal/rectangles.h"

namespace subset::display::x11 {
namespace {

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
        {XK_Up, VK_UP},            {XK_Down, VK_DOWN},        {XK_Delete, VK_DELETE},  {XK_Home, VK_HOME},
        {XK_End, VK_END},            {XK_Prior, VK_PRIOR},          {XK_Next, VK_NEXT},         {XK_Insert, 0x2D},
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
    if (takeSharedCompletion(s, event)) return;
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
            uniteRects(w.exposed, area, w.exposed);
        else
            w.exposed = area;
        w.exposedPending = true;
        if (event.xexpose.count > 0) break;
        w.exposedPending = false;
        // The last picture presented is what the window shows; asking the
        // window to paint again would blend a motion-blurred picture twice.
        if (w.presented) {
            RECT whole{0, 0, w.width, w.height};
            if (intersectRects(w.exposed, whole, area)) putPicture(s, w, area);
        } else {
            Action action{Action::Exposed};
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
        case Action::Exposed: sink.windowExposed(action.window); break;
        case Action::Place:
            sink.windowPlaced(action.window, RECT{action.place.x, action.place.y, action.place.x + action.place.width,
                                                  action.place.y + action.place.height});
            break;
        case Action::Close: sink.closeRequested(action.window); break;
        case Action::Quit: sink.quitRequested(1); break;
        }
    }
}

}  // namespace

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
            retryGrabLocked(s);
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

}  // namespace subset::display::x11

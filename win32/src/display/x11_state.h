// What the x11 display's files share: the state of the connection and of
// each window, under one lock, and the functions each file offers the
// others. Only the x11 back end includes this (it brings Xlib's macros).
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "display/backend.h"

namespace subset::display::x11 {

// A place and size in X terms (root coordinates, each side at least 1).
struct Geometry {
    int x = 0, y = 0, width = 1, height = 1;
    bool operator==(const Geometry&) const = default;
};

inline Geometry geometryOf(const RECT& rect) {
    return Geometry{rect.left, rect.top, std::max<int>(rect.right - rect.left, 1),
                    std::max<int>(rect.bottom - rect.top, 1)};
}

// A picture's store in a segment of memory shared with the server, which
// reads it after XShmPutImage returns (x11_shared_memory.cpp).
struct SharedImage {
    XShmSegmentInfo segment{};
    XImage* image = nullptr;  // over the segment; none while not shared
    bool beingRead = false;   // a put was sent and its completion not yet seen
    bool attached = false;    // the server has it (until it is detached or the connection closes)
    unsigned long attachRequest = 0;  // serial of the XShmAttach
};

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
    bool sticky = false;

    bool layered = false;
    COLORREF key = 0;
    BYTE alpha = 255;
    DWORD flags = 0;

    // The picture as last presented, window-sized, 0x00RRGGBB: width x
    // height words in the shared image, or else in ownPixels.
    int width = 0, height = 0;
    uint32_t* pixels = nullptr;
    std::vector<uint32_t> ownPixels;
    SharedImage shared;
    bool presented = false;
    RECT exposed{};  // gathered from a run of Expose events
    bool exposedPending = false;

    // The bounding shape in force: none (unshaped) or these rectangles.
    std::optional<std::vector<XRectangle>> shape;
    // For a colour key: each row's runs of pixels that differ from the key,
    // as the picture held them for `shownKey`, and the rows of the picture
    // changed since (they are looked at again; the others are not).
    std::vector<std::vector<std::pair<int, int>>> shownRuns;
    uint32_t shownKey = 0;
    int staleTop = 0, staleBottom = 0;
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

// What the event reader asks of the sink once the X lock is released.
struct Action {
    enum Kind { Pointer, Key, Exposed, Place, Close, Quit } kind;
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
    bool sharedMemory = false;  // pictures live in segments the server reads (MIT-SHM)
    int sharedCompletion = 0;   // the event type of a finished shared-memory put
    Atom atoms[kAtomCount] = {};
    std::unordered_map<::Window, NativeWindow*> windows;
    std::vector<NativeWindow*> stacking;  // top first, as last applied

    // The window holding the pointer and keyboard grab (x11_grab.cpp), 0 for
    // none; pending while the server refused it (the window not viewable yet).
    ::Window grabbed = 0;
    bool grabPending = false;

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

// The one state of the back end (x11_connection.cpp).
X11State& x11();

// Set by Xlib's fatal-error path, which runs inside an Xlib call made under
// the X lock; read without it by the watcher.
extern std::atomic<bool> connectionBroken;
extern std::atomic<LONG> screenWidth, screenHeight;

inline bool usable(const X11State& s) { return s.display && !s.lost && !connectionBroken; }
inline bool usable(const X11State& s, const NativeWindow& w) { return usable(s) && w.alive; }

// The connection (x11_connection.cpp).
bool openX11(const char* options, bool chosen, const Sink& sink);
void closeX11();
SIZE x11ScreenSize();

// The windows and their properties (x11_windows.cpp).
void* createX11Window(HWND window, const RECT& rect, DWORD style, DWORD exStyle);
void destroyX11Window(void* native);
void placeX11Window(void* native, const RECT& rect);
void showX11Window(void* native, bool visible);
void stackX11Windows(void* const* natives, const bool* topmost, int count);
void layerX11Window(void* native, bool layered, COLORREF key, BYTE alpha, DWORD flags);
void titleX11Window(void* native, const char* title);
void stickX11Window(void* native, bool sticky);

// What the windows show (x11_presentation.cpp); lock held for all but
// presentX11Window.
void presentX11Window(void* native, const Surface& surface, const RECT& dirty, POINT clientOrigin);
// Keeps the picture window-sized, its shared part kept, new pixels black;
// in a shared-memory segment where the server takes one. Lock held.
void resizePicture(X11State& s, NativeWindow& w, int width, int height);
// Frees the picture's store. Lock held.
void releasePicture(X11State& s, NativeWindow& w);
// Sends `area` (window coordinates) of the last picture to the server.
void putPicture(X11State& s, NativeWindow& w, const RECT& area);
// Brings the bounding shape in line with the layered attributes and picture.
void applyShape(X11State& s, NativeWindow& w);

// Pictures in memory shared with the server (x11_shared_memory.cpp); lock
// held for all but sharedMemoryWorks, which runs before the state has the
// connection.
// Whether the server can read this process's segments: the extension is
// there, the connection is local, attaching works, and it is not turned off.
bool sharedMemoryWorks(Display* display, Visual* visual, int depth);
// Makes a width x height image in a new segment that the server has
// attached; false when none could be made.
bool attachSharedImage(X11State& s, SharedImage& shared, int width, int height);
// Detaches the segment from the server (where it still has it) and from
// this process; the segment is gone once both have let go.
void releaseSharedImage(X11State& s, SharedImage& shared);
// Sends `area` (window coordinates) of the shared picture, asking for a
// completion event.
void putSharedImage(X11State& s, NativeWindow& w, const RECT& area);
// Returns once the server has finished reading the picture, so that it may
// be written without tearing a frame on its way to the screen.
void awaitSharedImage(X11State& s, NativeWindow& w);
// Takes a completion event for one of the windows; false for other events.
bool takeSharedCompletion(X11State& s, const XEvent& event);

// The input grab for pop-ups (x11_grab.cpp).
void grabX11Input(void* native, bool grab);
// Tries a grab that the server refused before again. Lock held.
void retryGrabLocked(X11State& s);

// Events (x11_events.cpp): read and answered on the user-interface thread.
void pumpX11Events();

// Waking the message loops (x11_watcher.cpp).
// Xlib may have read events into its queue during a round trip made for a
// table call; the connection then looks idle to the watcher. Lock held.
bool eventsWaitingLocked(X11State& s);
// Call without the lock, with what eventsWaitingLocked said.
void wakeIf(const Sink* sink, bool waiting);
// The watcher thread: wakes the loops when the connection becomes readable
// and waits for pumpX11Events to read, until `stop` becomes readable.
void watchConnection(const Sink* sink, int connection, int stop);

}  // namespace subset::display::x11

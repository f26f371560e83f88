// The window manager's shared state: windows, classes, per-thread message
// queues and the input state, all behind one process-wide lock.
//
// Locking rule: `lockUser()` guards everything declared here. It is never
// held while a window procedure, a timer procedure, a display back end or a
// GDI call runs, so a procedure may call any function of the subset. Functions
// whose names end in `Locked` expect the caller to hold the lock.
//
// Threads: a window belongs to the thread that created it; its procedure
// runs only on that thread. SendMessageA from another thread hands the
// message to the owner's queue and waits for the owner to run it, as Windows
// does. PostMessageA and InvalidateRect work from any thread.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "display/backend.h"
#include "internal/surface.h"

namespace subset::user {

using Clock = std::chrono::steady_clock;

// Flags that Windows keeps in WINDOWPOS.flags for its own use: the client
// area did not move / did not change size. DefWindowProcA reads them when it
// turns WM_WINDOWPOSCHANGED into WM_MOVE and WM_SIZE.
constexpr UINT kSwpNoClientSize = 0x0800;
constexpr UINT kSwpNoClientMove = 0x1000;

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    int windowExtra = 0;  // cbWndExtra
    int windowCount = 0;  // a class with windows cannot be unregistered
};

struct ThreadQueue;

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string text;
    HINSTANCE instance = nullptr;
    UINT_PTR id = 0;  // child windows: the "menu" argument of CreateWindowExA
    LONG_PTR userData = 0;
    std::vector<unsigned char> extra;  // the class's cbWndExtra bytes

    HWND parent = nullptr;        // containing window; null for a top-level window
    HWND owner = nullptr;         // top-level windows: the owner given at creation
    std::vector<HWND> children;   // z-order, top first
    bool messageOnly = false;     // created under HWND_MESSAGE: never shown, never found

    RECT rect{};    // window rectangle in the parent's client coordinates (screen for top-level)
    RECT client{};  // client rectangle in the same coordinates

    std::shared_ptr<ThreadQueue> queue;  // the owner thread's queue

    // Layered attributes; a layered window shows nothing until they are set.
    bool layeredSet = false;
    COLORREF layeredKey = 0;
    BYTE layeredAlpha = 255;
    DWORD layeredFlags = 0;

    bool sticky = false;  // on every desktop (Win32SubsetSetSticky)

    // Painting: the update region is kept as its bounding rectangle.
    bool updatePending = false;
    RECT update{};             // client coordinates
    bool eraseNeeded = false;  // WM_ERASEBKGND still to be sent
    bool eraseFailed = false;  // WM_ERASEBKGND answered 0: BeginPaint reports fErase
    std::shared_ptr<Surface> surface;  // the client area's pixels

    void* native = nullptr;  // the display back end's record (top-level windows)
    struct Mirror {          // what the back end was last told
        RECT rect{};
        bool visible = false;
        bool layered = false;
        COLORREF key = 0;
        BYTE alpha = 255;
        DWORD flags = 0;
        std::string title;
        bool sticky = false;
    } mirror;
    bool destroying = false; // WM_DESTROY sent; the handle dies after WM_NCDESTROY
};

// A message sent from another thread, waiting for the owner thread to run it.
struct SentMessage {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadQueue> sender;
};

// Pointer and key input waiting in a queue. Mouse records carry the screen
// point; which window gets them, and whether as client or non-client
// messages, is decided when the owner thread takes them out.
struct InputRecord {
    uint64_t serial = 0; // tells a record apart from the one that replaced it
    UINT message = 0;    // WM_MOUSEMOVE, WM_LBUTTONDOWN, ..., WM_MOUSEWHEEL; WM_KEYDOWN, WM_SYSKEYUP, ...
    POINT point{};       // screen
    DWORD time = 0;
    WPARAM keyFlags = 0; // MK_* at the time of the event (mouse)
    int wheelDelta = 0;
    HWND keyTarget = nullptr;  // key records: the focus (or active) window
    WPARAM keyWParam = 0;
    LPARAM keyLParam = 0;
};

struct Timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    Clock::time_point due;
};

struct ThreadQueue {
    std::thread::id thread;
    DWORD threadId = 0;  // a small number naming the thread in WM_ACTIVATEAPP
    bool alive = true;  // cleared when the thread ends; sends to it then fail
    std::condition_variable wake;
    std::deque<MSG> posted;
    std::deque<InputRecord> input;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<Timer> timers;
    bool quitPosted = false;
    int quitCode = 0;
    POINT lastMessagePoint{};  // GetMessagePos / GetMessageTime
    DWORD lastMessageTime = 0;
    unsigned wakeCount = 0;    // bumped by wakeQueue so a waiter sees every wake
};

struct UserState {
    std::mutex mutex;
    std::unordered_map<HWND, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel;  // z-order, top first; top-most windows lead
    std::vector<std::shared_ptr<WindowClass>> classes;
    uintptr_t nextHandle = 0x10020;

    HWND active = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;

    // Input state, updated as input arrives (not as messages are taken out).
    POINT cursor{};
    bool cursorPlaced = false;  // the pointer starts in the middle of the screen
    BYTE keys[256] = {};        // 0x80 down, 0x01 pressed since the last GetAsyncKeyState

    // Double-click detection.
    HWND lastClickWindow = nullptr;
    UINT lastClickMessage = 0;
    DWORD lastClickTime = 0;
    POINT lastClickPoint{};
    bool lastClickWasDouble = false;
    uint64_t nextInputSerial = 1;

    // Desktop surface for GetDC(NULL), made on first use.
    std::shared_ptr<Surface> desktop;
    // DCs handed out by GetDC / BeginPaint, with their window.
    std::unordered_map<HDC, HWND> windowDCs;
};

// The desktop: the parent that top-level windows have. It has a handle of
// its own, which is never in the window table.
inline HWND desktopWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10010)); }
inline HWND orDesktopAsNone(HWND window) { return window == desktopWindow() ? nullptr : window; }

UserState& state();
std::unique_lock<std::mutex> lockUser();

// Milliseconds on the same clock as GetTickCount.
DWORD tickNow();

// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> currentQueue();
bool isCurrentThread(const Window& window);

// Lookups; call with the lock held.
Window* findWindowLocked(HWND handle);
std::shared_ptr<Window> findWindowSharedLocked(HWND handle);
bool isVisibleLocked(const Window& window);  // WS_VISIBLE on it and every ancestor
HWND topLevelOfLocked(HWND handle);
bool isDescendantLocked(HWND handle, HWND ancestor);  // handle == ancestor counts
std::vector<HWND>* siblingsLocked(const Window& window);
POINT clientOriginOnScreenLocked(const Window& window);
SIZE screenSizeLocked();
void wakeQueueLocked(ThreadQueue& queue);

// Holds back the wakes that the calling thread gives while it holds the
// lock, and gives them once it has let the lock go: a thread woken under
// the lock would only block on it again at once, two thread switches where
// one does. Made before lockUser(), so that it ends after the lock.
class WakesAfterUnlock {
public:
    WakesAfterUnlock();
    ~WakesAfterUnlock();
    WakesAfterUnlock(const WakesAfterUnlock&) = delete;
    WakesAfterUnlock& operator=(const WakesAfterUnlock&) = delete;
    // Bumps the queue's wake count (lock held); false when the wake must be
    // given at once (no holding back on this thread, or no room left).
    static bool holdLocked(const std::shared_ptr<ThreadQueue>& queue);

private:
    static constexpr std::size_t kRoom = 4;
    std::shared_ptr<ThreadQueue> held_[kRoom];
    std::size_t count_ = 0;
    WakesAfterUnlock* outer_;
};
// Wakes the queue, after the lock when a WakesAfterUnlock of this thread holds wakes back.
void wakeQueueSoonLocked(const std::shared_ptr<ThreadQueue>& queue);

// Sends a message (runs the procedure now, or on the owner's thread).
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the messages that other threads sent to this thread; lock held on
// entry and exit, released around each procedure.
bool runSentMessagesLocked(std::unique_lock<std::mutex>& lock, ThreadQueue& queue);

// Placement, shared by the calls that move windows (window_placement.cpp).
BOOL setWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
MINMAXINFO minMaxInfo(HWND window);
// Puts a window into its siblings' z-order as SetWindowPos's insert-after
// value says (HWND_TOP, HWND_BOTTOM, HWND_TOPMOST, HWND_NOTOPMOST or a
// sibling); top-level windows gain or lose WS_EX_TOPMOST by the real rules.
void placeInZOrderLocked(Window& window, HWND insertAfter);
void unlinkFromZOrderLocked(Window& window);

// Window life (window_lifecycle.cpp): WM_NCDESTROY for the window's
// children, then for it, and the handle's end.
void destroyWindowStorage(HWND window);
void sendParentNotify(HWND window, UINT event);

// Activation and focus (activation.cpp).
// `bringToTop`: false when SetWindowPos has placed the window already.
void activateWindow(HWND window, WORD how, bool bringToTop = true);
void activateOtherWindow(HWND leaving);
void setFocusWindow(HWND window);

// Painting (painting.cpp).
void invalidateLocked(Window& window, const RECT* rect, bool erase);
void eraseNow(HWND window);

// Input (input.cpp): picks the message for an input record when the owner
// thread takes it out. Returns false when the record produces no message
// (eaten by activation, or nowhere to go). Activation by a click and the
// double-click bookkeeping happen only when `removing`.
bool translateInputRecord(const InputRecord& record, bool removing, MSG& message);
// The pointer position (the middle of the screen until input moves it).
POINT cursorLocked();

// Message filters of GetMessageA and PeekMessageA.
bool matchesFilterLocked(HWND window, UINT message, HWND filter, UINT filterMin, UINT filterMax);
// The next WM_PAINT and WM_TIMER of a queue (painting.cpp, timers.cpp).
bool findPaintMessageLocked(ThreadQueue& queue, HWND filter, UINT filterMin, UINT filterMax, MSG& message);
bool takeTimerMessageLocked(ThreadQueue& queue, HWND filter, UINT filterMin, UINT filterMax, bool remove,
                            MSG& message);
bool nextTimerDueLocked(const ThreadQueue& queue, Clock::time_point& due);

// The number of live windows (GetGuiResources, the display choice); takes
// the lock itself.
int userObjectCount();

// The display back end in use (display_choice.cpp): the default opens on
// first use. Safe to call with the lock held.
const display::Backend& displayBackend();
// The back end in use, or null while none is chosen yet (nothing opens).
const display::Backend* chosenDisplayBackend();
// What every back end is given to call (display_sink.cpp).
const display::Sink& displaySink();
// Input from a back end (input.cpp), the same road as SendInput's; they
// take the lock themselves.
void deliverPointer(int x, int y, DWORD buttons, int wheelDelta);
void deliverKey(WORD virtualKey, bool released);
void wakeMessageLoops();

// The display back end hears about top-level windows through these
// (display_mirror.cpp); they take the lock themselves and call the back end
// without it.
void syncNativeWindow(HWND window);
void syncNativeZOrder();
void presentWindow(HWND window, const RECT& dirty);

// What the screen shows of a window: its client pixels where they are on
// the screen, its layered attributes and its visible children, bottom first
// (screen_composition.cpp).
struct WindowPicture {
    HWND window = nullptr;
    RECT client{};  // on the screen
    std::shared_ptr<Surface> surface;
    bool layered = false;
    bool layeredSet = false;
    COLORREF key = 0;
    BYTE alpha = 255;
    DWORD flags = 0;
    std::vector<WindowPicture> children;
};
// The visible top-level windows, bottom first.
std::vector<WindowPicture> screenPicturesLocked();
bool windowPictureLocked(HWND topLevel, WindowPicture& picture);
// One window's client pixels with its visible children drawn over them.
Surface composeWindow(const WindowPicture& picture);
// The screen: visible top-level windows bottom to top over the desktop
// (black unless drawn on through GetDC(NULL)), each with its visible
// children, a layered window's colour-key pixels left out and its constant
// alpha applied. Call on the user-interface thread, without the lock.
Surface composeScreen();

// Runs the modal move or size loop of DefWindowProcA's WM_SYSCOMMAND.
void runSizeMoveLoop(HWND window, WPARAM command);

}  // namespace subset::user

namespace subset::user {
// Class lookup for CreateWindowExA (window_classes.cpp); lock held.
std::shared_ptr<WindowClass> findClassLocked(const char* name, HINSTANCE instance);
}  // namespace subset::user

// The term display: the screen drawn into a terminal with 24-bit colour
// half-block characters, for a machine without a graphical display.
//
// Provides (inside the subset): subset::display::termBackend, named "term".
// The cells and their bytes are term_cells.cpp's, the text laid over them
// term_overlay.cpp's, the input's meaning term_input.cpp's, taking and giving back the terminal term_terminal.cpp's;
// here are the frames' timing, the watcher thread and the table.
//
// Promises:
//  - Opens when standard output is a terminal. The screen is the terminal,
//    not scaled: each character cell holds two pixels, one above the other,
//    drawn as "▀" with the upper pixel in the foreground colour and the lower
//    one in the background colour (a blank in the background colour when
//    both are the same). The screen is as many pixels wide as the terminal
//    has columns and twice as high as it has rows, and follows the terminal
//    when it is resized; windows beyond it are cut off.
//  - Drawing happens on the alternate screen with the cursor hidden, at most
//    30 frames a second: after windows present, move, show, hide or restack,
//    the screen is composed (the sink's composeScreen) on the
//    user-interface thread and only the cells that changed are sent.
//  - Input, when standard input is a terminal: raw mode without echo, and
//    xterm mouse reporting (SGR 1006: presses, releases, drags, the wheel,
//    and the pointer's moves with no button held, so that resting on an
//    item is seen)
//    mapped to the upper pixel of the cell, so a click reaches the window
//    drawn there; the shift, meta and control bits of a mouse report hold
//    Shift, Alt and Control. Letters, digits, space, Return, Tab, Backspace,
//    Escape, the arrows, Home, End, Page Up and Page Down are key presses.
//    "q" asks the user-interface thread's loop to quit (WM_QUIT), unless a
//    window holds the pointer (SetCapture: an open pop-up menu): then it is
//    the key Q for that window, which a menu takes as "close". Ctrl+C keeps raising SIGINT, which the
//    program's own interrupt handling answers; Ctrl+Z is off while drawing
//    (a stopped program would leave the terminal raw).
//  - Standard error, when it writes to this terminal, is held while drawing
//    (it would tear the picture) and nothing of it is drawn: it waits, the
//    last 256 KiB of it, until the terminal is given back, and is written
//    out then. (Messages meant for the person while drawing, such as the
//    host's status texts and boxes, are drawn as text cells by the program.)
//  - The terminal is always given back as it was (modes, main screen,
//    cursor, line wrap, mouse reporting, standard error): by close, at exit,
//    and on a signal that ends the program while no one else handles it
//    (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL,
//    SIGABRT), before the signal takes its course.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "display/backend.h"
#include "display/term_cells.h"
#include "display/term_input.h"
#include "display/term_overlay.h"
#include "display/term_terminal.h"

namespace subset::display {
namespace {

using Clock = std::chrono::steady_clock;
using term::Cell;
using term::InputEvent;

constexpr auto kFrameInterval = std::chrono::milliseconds(33);  // 30 frames a second at most
constexpr size_t kCapturedLimit = 256 * 1024;  // of standard error kept for the end

struct TermState {
    std::mutex mutex;  // guards all below; never held while calling the sink
    bool open = false;
    const Sink* sink = nullptr;
    term::TakenTerminal terminal;

    int columns = 0, rows = 0;
    std::vector<Cell> shown;  // what the terminal shows; empty when unknown
    bool framePending = false;
    bool wokeForFrame = false;
    Clock::time_point lastFrame{};

    std::string input;  // read from the terminal, not yet taken apart
    term::HeldModifiers modifiers;

    std::string captured;  // standard error while held
    bool capturedCut = false;  // its start was dropped to keep within kCapturedLimit

    std::thread watcher;
    int pokePipe[2] = {-1, -1};  // wakes the watcher to stop or to time the next frame
    bool stopping = false;

    std::thread::id userInterfaceThread;
    bool userInterfaceKnown = false;
};

TermState& termState() {
    static auto* instance = new TermState;  // outlives every thread
    return *instance;
}

std::atomic<LONG> screenWidth{80}, screenHeight{48};

void poke(TermState& t) {
    if (t.pokePipe[1] < 0) return;
    char byte = 1;
    ssize_t ignored = write(t.pokePipe[1], &byte, 1);
    (void)ignored;
}

bool onUserInterfaceThread(const TermState& t) {
    return !t.userInterfaceKnown || std::this_thread::get_id() == t.userInterfaceThread;
}

// ---- frames -----------------------------------------------------------------

// Draws a frame when one is due; call on the user-interface thread.
void drawIfDue() {
    TermState& t = termState();
    int columns = 0, rows = 0;
    const Sink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (!t.open || !t.framePending || !onUserInterfaceThread(t)) return;
        sink = t.sink;
        const auto now = Clock::now();
        if (now - t.lastFrame < kFrameInterval) return;
        t.framePending = false;
        t.wokeForFrame = false;
        t.lastFrame = now;
        term::terminalSize(t.terminal.out, columns, rows);
        screenWidth = columns;
        screenHeight = rows * 2;
    }
    Surface screen = sink->composeScreen();
    std::vector<Cell> cells = term::screenCells(screen, columns, rows, "");
    term::layOverlay(cells, columns, rows);
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.open) return;
    std::string out;
    if (columns != t.columns || rows != t.rows) {
        t.columns = columns;
        t.rows = rows;
        t.shown.clear();
        out = "\x1b[0m\x1b[2J";
    }
    out += term::cellUpdateBytes(t.shown, cells, columns, rows);
    t.shown = std::move(cells);
    if (!out.empty()) term::writeAll(t.terminal.out, out);
}

void screenChanged() {
    TermState& t = termState();
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (!t.open) return;
        t.framePending = true;
        poke(t);  // the watcher times the frame
    }
    drawIfDue();
}

// ---- the watcher thread -------------------------------------------------------

void takeErrorText(TermState& t, const char* text, size_t size) {
    t.captured.append(text, size);
    if (t.captured.size() > kCapturedLimit) {
        t.captured.erase(0, t.captured.size() - kCapturedLimit);
        t.capturedCut = true;
    }
}

void watchTerminal() {
    TermState& t = termState();
    int out = -1, in = -1, errorPipe = -1, pokeRead = -1;
    const Sink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        sink = t.sink;
        out = t.terminal.out;
        in = t.terminal.in;
        errorPipe = t.terminal.heldError;
        pokeRead = t.pokePipe[0];
    }
    for (;;) {
        int timeout = 250;  // the terminal's size is looked at this often
        {
            std::lock_guard<std::mutex> lock(t.mutex);
            if (t.stopping) return;
            const auto now = Clock::now();
            auto until = [&](Clock::time_point when) {
                return static_cast<int>(std::max<long long>(
                    0, std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count() + 1));
            };
            if (t.framePending && !t.wokeForFrame) timeout = std::min(timeout, until(t.lastFrame + kFrameInterval));
        }
        pollfd fds[3] = {{pokeRead, POLLIN, 0}, {in, POLLIN, 0}, {errorPipe, POLLIN, 0}};
        if (poll(fds, 3, timeout) < 0 && errno != EINTR) return;
        bool wake = false;
        char buffer[4096];
        if (fds[0].revents) {
            ssize_t ignored = read(pokeRead, buffer, sizeof buffer);
            (void)ignored;
        }
        if (fds[1].revents) {
            ssize_t got = read(in, buffer, sizeof buffer);
            if (got > 0) {
                std::lock_guard<std::mutex> lock(t.mutex);
                t.input.append(buffer, static_cast<size_t>(got));
                wake = true;
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                in = -1;  // the terminal hung up: no more input
            }
        }
        if (fds[2].revents) {
            ssize_t got = read(errorPipe, buffer, sizeof buffer);
            if (got > 0) {
                std::lock_guard<std::mutex> lock(t.mutex);
                takeErrorText(t, buffer, static_cast<size_t>(got));
            } else if (got == 0) {
                errorPipe = -1;
            }
        }
        int columns = 0, rows = 0;
        term::terminalSize(out, columns, rows);
        {
            std::lock_guard<std::mutex> lock(t.mutex);
            if (columns != t.columns || rows != t.rows) {
                screenWidth = columns;
                screenHeight = rows * 2;
                t.framePending = true;
            }
            const auto now = Clock::now();
            if (t.framePending && !t.wokeForFrame && now - t.lastFrame >= kFrameInterval) {
                t.wokeForFrame = true;
                wake = true;
            }
        }
        if (wake) sink->wakeMessageLoops();
    }
}

// ---- the table --------------------------------------------------------------

void closeTerm();

void closeAtExit() { closeTerm(); }

bool openTerm(const char*, bool chosen, const Sink& sink) {
    if (!isatty(STDOUT_FILENO)) {
        if (chosen) std::fprintf(stderr, "win32subset: the term display draws on a terminal, and standard output is not one\n");
        return false;
    }
    closeTerm();
    TermState& t = termState();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.sink = &sink;
    t.terminal = term::takeTerminal();
    static bool closesAtExit = false;
    if (!closesAtExit) {
        closesAtExit = true;
        std::atexit(closeAtExit);
    }
    term::terminalSize(t.terminal.out, t.columns, t.rows);
    screenWidth = t.columns;
    screenHeight = t.rows * 2;
    t.shown.clear();
    t.columns = t.rows = 0;  // the first frame sends every cell
    t.framePending = true;
    t.wokeForFrame = false;
    t.lastFrame = Clock::time_point{};
    t.input.clear();
    t.captured.clear();
    t.capturedCut = false;
    t.modifiers = term::HeldModifiers{};
    t.userInterfaceKnown = false;
    t.stopping = false;
    if (pipe2(t.pokePipe, O_CLOEXEC | O_NONBLOCK) != 0) t.pokePipe[0] = t.pokePipe[1] = -1;
    t.open = true;
    t.watcher = std::thread(watchTerminal);
    term::setOverlayListener(screenChanged);
    return true;
}

void closeTerm() {
    TermState& t = termState();
    std::thread watcher;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (!t.open) return;
        term::setOverlayListener(nullptr);
        t.open = false;
        t.stopping = true;
        poke(t);
        watcher.swap(t.watcher);
    }
    if (watcher.joinable()) watcher.join();
    std::lock_guard<std::mutex> lock(t.mutex);
    // What standard error said while it was held, now where it belongs.
    t.captured += term::giveTerminalBack(t.terminal);
    if (t.capturedCut) term::writeAll(STDERR_FILENO, "(earlier messages of the terminal display's time were dropped)\n");
    term::writeAll(STDERR_FILENO, t.captured);
    t.captured.clear();
    for (int& end : t.pokePipe) {
        if (end >= 0) close(end);
        end = -1;
    }
}

SIZE termScreenSize() { return SIZE{screenWidth.load(), screenHeight.load()}; }

// A window needs a record of its own; the picture comes from the sink's composeScreen.
struct TermWindow {
    HWND window;
};

void* createTermWindow(HWND window, const RECT&, DWORD, DWORD) {
    TermState& t = termState();
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        t.userInterfaceThread = std::this_thread::get_id();
        t.userInterfaceKnown = true;
    }
    return new TermWindow{window};
}

void destroyTermWindow(void* native) {
    delete static_cast<TermWindow*>(native);
    screenChanged();
}

void placeTermWindow(void*, const RECT&) { screenChanged(); }
void showTermWindow(void*, bool) { screenChanged(); }
void stackTermWindows(void* const*, const bool*, int) { screenChanged(); }
void layerTermWindow(void*, bool, COLORREF, BYTE, DWORD) { screenChanged(); }
void titleTermWindow(void*, const char*) {}
void presentTermWindow(void*, const Surface&, const RECT&, POINT) { screenChanged(); }

void pumpTermEvents() {
    TermState& t = termState();
    std::vector<InputEvent> events;
    const Sink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (!t.open || !onUserInterfaceThread(t)) return;
        sink = t.sink;
        if (!t.input.empty()) {
            const SIZE screen{screenWidth.load(), screenHeight.load()};
            t.input.erase(0, term::parseInput(t.input, screen, t.modifiers, events));
        }
    }
    for (const InputEvent& event : events) {
        switch (event.kind) {
        case InputEvent::Pointer: sink->deliverPointer(event.x, event.y, event.buttons, event.wheel); break;
        case InputEvent::Key: sink->deliverKey(event.key, event.released); break;
        case InputEvent::Quit:
            if (GetCapture()) {
                sink->deliverKey('Q', false);
                sink->deliverKey('Q', true);
            } else {
                sink->quitRequested(0);
            }
            break;
        }
    }
    drawIfDue();
}

}  // namespace

const Backend termBackend = {
    "term",
    WIN32SUBSET_SCREEN_TEXT_CELLS,
    "a terminal on standard output",
    [] { return std::string("using the terminal"); },
    [] { return std::string("no terminal"); },
    openTerm,
    closeTerm,
    termScreenSize,
    createTermWindow,
    destroyTermWindow,
    placeTermWindow,
    showTermWindow,
    stackTermWindows,
    layerTermWindow,
    titleTermWindow,
    presentTermWindow,
    pumpTermEvents,
    nullptr,  // grabInput: every key and click in the terminal comes here anyway
    nullptr,  // setSticky: the terminal is one desktop
    term::setTextOverlay,
};

}  // namespace subset::display

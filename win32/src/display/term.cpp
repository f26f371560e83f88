// The term display: the screen drawn into a terminal with 24-bit colour
// half-block characters, for a machine without a graphical display.
//
// Provides (inside the subset): subset::display::termBackend, named "term".
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
//    the screen is composed (the sink's composeScreen) on the user-interface thread
//    and only the cells that changed are sent.
//  - Input, when standard input is a terminal: raw mode without echo, and
//    xterm mouse reporting (SGR 1006: presses, releases, drags, the wheel)
//    mapped to the upper pixel of the cell, so a click reaches the window
//    drawn there; the shift, meta and control bits of a mouse report hold
//    Shift, Alt and Control. Letters, digits, space, Return, Tab, Backspace,
//    Escape and the arrows are key presses. "q" asks the user-interface
//    thread's loop to quit (WM_QUIT). Ctrl+C keeps raising SIGINT, which the
//    program's own interrupt handling answers; Ctrl+Z is off while drawing
//    (a stopped program would leave the terminal raw).
//  - Standard error, when it writes to this terminal, is held while drawing
//    (it would tear the picture): its latest line shows on the bottom row
//    for a few seconds, and all of it is written out once the terminal is
//    restored.
//  - The terminal is always given back as it was (modes, main screen,
//    cursor, line wrap, mouse reporting, standard error): by close, at exit,
//    and on a signal that ends the program while no one else handles it
//    (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL,
//    SIGABRT), before the signal takes its course.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "display/backend.h"

namespace subset::display {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kFrameInterval = std::chrono::milliseconds(33);  // 30 frames a second at most
constexpr auto kStatusTime = std::chrono::seconds(4);
constexpr size_t kCapturedLimit = 256 * 1024;  // of standard error kept for the end
constexpr uint32_t kStatusText = 0x000000, kStatusBackground = 0xC0C0C0;

const char kEnter[] = "\x1b[?1049h\x1b[?25l\x1b[?7l\x1b[0m\x1b[2J";
const char kMouseOn[] = "\x1b[?1000h\x1b[?1002h\x1b[?1006h";
const char kLeave[] = "\x1b[0m\x1b[?1006l\x1b[?1002l\x1b[?1000l\x1b[?7h\x1b[?25h\x1b[?1049l";

// What the terminal restores from; written before the terminal is taken
// and read by the restore, which may run in a signal handler.
struct Restore {
    int out = -1;
    int in = -1;
    bool modesChanged = false;
    termios modes{};
    int savedError = -1;  // standard error as it was, while it is held
};
Restore restore;
std::atomic<bool> terminalTaken{false};

// Async-signal-safe: only write, tcsetattr and dup2.
void giveTerminalBack() {
    if (!terminalTaken.exchange(false)) return;
    const char* text = kLeave;
    size_t left = sizeof kLeave - 1;
    while (left > 0) {
        ssize_t written = write(restore.out, text, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        text += written;
        left -= static_cast<size_t>(written);
    }
    if (restore.modesChanged) tcsetattr(restore.in, TCSANOW, &restore.modes);
    if (restore.savedError >= 0) dup2(restore.savedError, STDERR_FILENO);
}

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void onEndingSignal(int signal) {
    giveTerminalBack();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// One character cell: two pixels, or a character of the status line.
struct Cell {
    uint32_t top = 0;     // upper pixel, or the text colour
    uint32_t bottom = 0;  // lower pixel, or the background
    char text = 0;        // 0 for a pixel cell
    bool operator==(const Cell&) const = default;
};

struct TermState {
    std::mutex mutex;  // guards all below; never held while calling the sink
    bool open = false;
    const Sink* sink = nullptr;
    int out = STDOUT_FILENO;
    int in = -1;  // -1: no input

    int columns = 0, rows = 0;
    std::vector<Cell> shown;  // what the terminal shows; empty when unknown
    bool framePending = false;
    bool wokeForFrame = false;
    Clock::time_point lastFrame{};

    std::string input;  // read from the terminal, not yet taken apart
    bool altDown = false, shiftDown = false, controlDown = false;

    int errorPipe = -1;  // read end of the pipe that stands in for standard error
    std::string captured;
    std::string status;
    Clock::time_point statusUntil{};
    bool statusShown = false;

    std::thread watcher;
    int pokePipe[2] = {-1, -1};  // wakes the watcher to stop or to time the next frame
    bool stopping = false;

    std::thread::id userInterfaceThread;
    bool userInterfaceKnown = false;
};

TermState& term() {
    static auto* instance = new TermState;  // outlives every thread
    return *instance;
}

std::atomic<LONG> screenWidth{80}, screenHeight{48};

void terminalSize(int fd, int& columns, int& rows) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        columns = size.ws_col;
        rows = size.ws_row;
    } else {
        columns = 80;
        rows = 24;
    }
}

void writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t written = write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += static_cast<size_t>(written);
    }
}

void poke(TermState& t) {
    if (t.pokePipe[1] < 0) return;
    char byte = 1;
    ssize_t ignored = write(t.pokePipe[1], &byte, 1);
    (void)ignored;
}

bool onUserInterfaceThread(const TermState& t) {
    return !t.userInterfaceKnown || std::this_thread::get_id() == t.userInterfaceThread;
}

// ---- drawing ----------------------------------------------------------------

void appendColour(std::string& out, int layer, uint32_t pixel) {
    char text[32];
    std::snprintf(text, sizeof text, "\x1b[%d;2;%u;%u;%um", layer, (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF,
                  pixel & 0xFF);
    out += text;
}

// The cells of a frame: the composed screen, and the status line over the
// bottom row while it lasts.
std::vector<Cell> cellsOf(const Surface& screen, int columns, int rows, const std::string& status) {
    std::vector<Cell> cells(static_cast<size_t>(columns) * static_cast<size_t>(rows));
    auto pixel = [&](int x, int y) -> uint32_t {
        if (x >= screen.width || y >= screen.height) return 0;
        return screen.pixels[static_cast<size_t>(y) * static_cast<size_t>(screen.width) + static_cast<size_t>(x)];
    };
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            cells[static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column)] =
                Cell{pixel(column, 2 * row), pixel(column, 2 * row + 1), 0};
    if (!status.empty()) {
        const std::string line = " " + status + " ";
        for (int column = 0; column < columns && column < static_cast<int>(line.size()); ++column) {
            char c = line[static_cast<size_t>(column)];
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
            cells[static_cast<size_t>(rows - 1) * static_cast<size_t>(columns) + static_cast<size_t>(column)] =
                Cell{kStatusText, kStatusBackground, c};
        }
    }
    return cells;
}

// The bytes that turn the `shown` cells into `cells`.
std::string frameBytes(const std::vector<Cell>& shown, const std::vector<Cell>& cells, int columns, int rows) {
    std::string out;
    bool cursorKnown = false;
    int cursorRow = 0, cursorColumn = 0;
    bool foregroundKnown = false, backgroundKnown = false;
    uint32_t foreground = 0, background = 0;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const size_t index = static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column);
            const Cell& cell = cells[index];
            if (!shown.empty() && shown[index] == cell) continue;
            if (!cursorKnown || cursorRow != row || cursorColumn != column) {
                out += "\x1b[" + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
            }
            const bool blank = cell.text == 0 && cell.top == cell.bottom;
            if (!blank && (!foregroundKnown || foreground != cell.top)) {
                appendColour(out, 38, cell.top);
                foreground = cell.top;
                foregroundKnown = true;
            }
            if (!backgroundKnown || background != cell.bottom) {
                appendColour(out, 48, cell.bottom);
                background = cell.bottom;
                backgroundKnown = true;
            }
            if (cell.text)
                out += cell.text;
            else
                out += blank ? " " : "\xE2\x96\x80";  // U+2580 UPPER HALF BLOCK
            cursorKnown = column + 1 < columns;  // line wrap is off: the cursor stays on the last column
            cursorRow = row;
            cursorColumn = column + 1;
        }
    }
    return out;
}

// Draws a frame when one is due; call on the user-interface thread.
void drawIfDue() {
    TermState& t = term();
    int columns = 0, rows = 0;
    std::string status;
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
        terminalSize(t.out, columns, rows);
        screenWidth = columns;
        screenHeight = rows * 2;
        t.statusShown = !t.status.empty() && now < t.statusUntil;
        if (t.statusShown) status = t.status;
    }
    Surface screen = sink->composeScreen();
    std::vector<Cell> cells = cellsOf(screen, columns, rows, status);
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.open) return;
    std::string out;
    if (columns != t.columns || rows != t.rows) {
        t.columns = columns;
        t.rows = rows;
        t.shown.clear();
        out = "\x1b[0m\x1b[2J";
    }
    out += frameBytes(t.shown, cells, columns, rows);
    t.shown = std::move(cells);
    if (!out.empty()) writeAll(t.out, out);
}

void screenChanged() {
    TermState& t = term();
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (!t.open) return;
        t.framePending = true;
        poke(t);  // the watcher times the frame
    }
    drawIfDue();
}

// ---- input ------------------------------------------------------------------

struct InputEvent {
    enum Kind { Pointer, Key, Quit } kind;
    int x = 0, y = 0;
    DWORD buttons = 0;
    int wheel = 0;
    WORD key = 0;
    bool released = false;

    static InputEvent pointer(int x, int y, DWORD buttons, int wheel) {
        InputEvent event{Pointer};
        event.x = x;
        event.y = y;
        event.buttons = buttons;
        event.wheel = wheel;
        return event;
    }
    static InputEvent keyEvent(WORD key, bool released) {
        InputEvent event{Key};
        event.key = key;
        event.released = released;
        return event;
    }
};

void keyPress(std::vector<InputEvent>& events, WORD key) {
    events.push_back(InputEvent::keyEvent(key, false));
    events.push_back(InputEvent::keyEvent(key, true));
}

void syncModifiers(TermState& t, int code, std::vector<InputEvent>& events) {
    struct Modifier {
        bool TermState::*down;
        int bit;
        WORD key;
    };
    static const Modifier modifiers[] = {
        {&TermState::shiftDown, 4, VK_SHIFT}, {&TermState::altDown, 8, VK_MENU}, {&TermState::controlDown, 16, VK_CONTROL}};
    for (const Modifier& modifier : modifiers) {
        const bool down = (code & modifier.bit) != 0;
        if (t.*modifier.down == down) continue;
        t.*modifier.down = down;
        events.push_back(InputEvent::keyEvent(modifier.key, !down));
    }
}

// An SGR mouse report "ESC [ < code ; column ; row M" (press, drag, wheel)
// or "... m" (release), columns and rows counted from 1.
void takeMouse(TermState& t, int code, int column, int row, bool release, std::vector<InputEvent>& events) {
    syncModifiers(t, code, events);
    const int x = std::clamp(column - 1, 0, std::max<int>(screenWidth.load() - 1, 0));
    const int y = std::clamp(2 * (row - 1), 0, std::max<int>(screenHeight.load() - 1, 0));
    InputEvent event = InputEvent::pointer(x, y, 0, 0);
    if (code & 64) {
        if (release) return;
        const int button = code & 3;
        if (button > 1) return;  // sideways
        event.wheel = button == 0 ? WHEEL_DELTA : -WHEEL_DELTA;
    } else if (!(code & 32)) {
        static const DWORD downs[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_RIGHTDOWN};
        static const DWORD ups[] = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_RIGHTUP};
        const int button = code & 3;
        if (button == 3) return;
        event.buttons = release ? ups[button] : downs[button];
    }
    events.push_back(event);
}

// Takes complete sequences out of `bytes`; an incomplete one at the end stays.
void takeInput(TermState& t, std::string& bytes, std::vector<InputEvent>& events) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x1B) {
            if (i + 1 == n) {  // a lone Escape: sequences arrive whole
                keyPress(events, VK_ESCAPE);
                ++i;
                continue;
            }
            const char kind = bytes[i + 1];
            if (kind == '[' || kind == 'O') {
                size_t end = i + 2;
                while (end < n && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) ++end;
                if (end >= n) break;  // the rest comes with the next read
                const std::string body = bytes.substr(i + 2, end - i - 2);
                const char final = bytes[end];
                int code = 0, column = 0, row = 0;
                if (kind == '[' && !body.empty() && body[0] == '<' && (final == 'M' || final == 'm') &&
                    std::sscanf(body.c_str() + 1, "%d;%d;%d", &code, &column, &row) == 3) {
                    takeMouse(t, code, column, row, final == 'm', events);
                } else if (body.empty() || body == "1") {
                    static const char arrows[] = "ABCD";
                    static const WORD keys[] = {VK_UP, VK_DOWN, VK_RIGHT, VK_LEFT};
                    if (const char* found = std::strchr(arrows, final); found && *found)
                        keyPress(events, keys[found - arrows]);
                }
                i = end + 1;
                continue;
            }
            keyPress(events, VK_ESCAPE);  // Escape, or Alt with a key
            ++i;
            continue;
        }
        ++i;
        if (c == 'q') {
            events.push_back(InputEvent{InputEvent::Quit});
        } else if (c >= 'a' && c <= 'z') {
            keyPress(events, static_cast<WORD>(c - 'a' + 'A'));
        } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            keyPress(events, c);
        } else if (c == ' ') {
            keyPress(events, VK_SPACE);
        } else if (c == '\r' || c == '\n') {
            keyPress(events, VK_RETURN);
        } else if (c == '\t') {
            keyPress(events, VK_TAB);
        } else if (c == 0x7F || c == 0x08) {
            keyPress(events, VK_BACK);
        }
    }
    bytes.erase(0, i);
}

// ---- the watcher thread -------------------------------------------------------

void takeErrorText(TermState& t, const char* text, size_t size) {
    t.captured.append(text, size);
    if (t.captured.size() > kCapturedLimit) t.captured.erase(0, t.captured.size() - kCapturedLimit);
    // The status line is the last complete or partial line with something in it.
    size_t end = t.captured.size();
    while (end > 0 && (t.captured[end - 1] == '\n' || t.captured[end - 1] == '\r')) --end;
    size_t start = t.captured.rfind('\n', end == 0 ? 0 : end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    if (end > start) {
        t.status = t.captured.substr(start, end - start);
        t.statusUntil = Clock::now() + kStatusTime;
        t.framePending = true;
    }
}

void watchTerminal() {
    TermState& t = term();
    int in = -1, errorPipe = -1, pokeRead = -1;
    const Sink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        sink = t.sink;
        in = t.in;
        errorPipe = t.errorPipe;
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
            if (t.statusShown) timeout = std::min(timeout, until(t.statusUntil));
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
        terminalSize(restore.out, columns, rows);
        {
            std::lock_guard<std::mutex> lock(t.mutex);
            if (columns != t.columns || rows != t.rows) {
                screenWidth = columns;
                screenHeight = rows * 2;
                t.framePending = true;
            }
            const auto now = Clock::now();
            if (t.statusShown && now >= t.statusUntil) t.framePending = true;
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
    TermState& t = term();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.sink = &sink;
    restore = Restore{};
    restore.out = STDOUT_FILENO;
    t.out = STDOUT_FILENO;
    t.in = -1;
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &restore.modes) == 0) {
        termios raw = restore.modes;
        raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK);
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);  // ISIG stays: Ctrl+C interrupts
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        raw.c_cc[VSUSP] = _POSIX_VDISABLE;
        restore.in = STDIN_FILENO;
        restore.modesChanged = true;
        t.in = STDIN_FILENO;
        terminalTaken = true;  // from here on the terminal is given back on every way out
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    terminalTaken = true;  // (also when only the screen is taken)

    // Standard error on the same terminal would tear the picture: hold it.
    struct stat outInfo {}, errorInfo {};
    t.errorPipe = -1;
    if (fstat(STDOUT_FILENO, &outInfo) == 0 && fstat(STDERR_FILENO, &errorInfo) == 0 && isatty(STDERR_FILENO) &&
        outInfo.st_rdev == errorInfo.st_rdev) {
        int ends[2];
        int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        if (saved >= 0 && pipe2(ends, O_CLOEXEC) == 0) {
            std::fflush(stderr);
            fcntl(ends[0], F_SETFL, O_NONBLOCK);
            restore.savedError = saved;  // known before the switch, for a signal that comes at once
            dup2(ends[1], STDERR_FILENO);
            close(ends[1]);
            t.errorPipe = ends[0];
        } else if (saved >= 0) {
            close(saved);
        }
    }

    static bool guardsInstalled = false;
    if (!guardsInstalled) {
        guardsInstalled = true;
        std::atexit(closeAtExit);
        for (int signal : kEndingSignals) {
            struct sigaction current {};
            if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
                (current.sa_flags & SA_SIGINFO))
                continue;  // someone else answers this signal
            struct sigaction action {};
            action.sa_handler = onEndingSignal;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
    }

    std::string enter = kEnter;
    if (t.in >= 0) enter += kMouseOn;
    writeAll(t.out, enter);
    terminalSize(t.out, t.columns, t.rows);
    screenWidth = t.columns;
    screenHeight = t.rows * 2;
    t.shown.clear();
    t.columns = t.rows = 0;  // the first frame sends every cell
    t.framePending = true;
    t.wokeForFrame = false;
    t.lastFrame = Clock::time_point{};
    t.input.clear();
    t.captured.clear();
    t.status.clear();
    t.statusShown = false;
    t.altDown = t.shiftDown = t.controlDown = false;
    t.userInterfaceKnown = false;
    t.stopping = false;
    if (pipe2(t.pokePipe, O_CLOEXEC | O_NONBLOCK) != 0) t.pokePipe[0] = t.pokePipe[1] = -1;
    t.open = true;
    t.watcher = std::thread(watchTerminal);
    return true;
}

void closeTerm() {
    TermState& t = term();
    std::thread watcher;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (!t.open) return;
        t.open = false;
        t.stopping = true;
        poke(t);
        watcher.swap(t.watcher);
    }
    if (watcher.joinable()) watcher.join();
    std::lock_guard<std::mutex> lock(t.mutex);
    std::fflush(stderr);
    giveTerminalBack();
    // What standard error said while it was held, now where it belongs.
    if (t.errorPipe >= 0) {
        char buffer[4096];
        for (;;) {
            ssize_t got = read(t.errorPipe, buffer, sizeof buffer);
            if (got <= 0) break;
            t.captured.append(buffer, static_cast<size_t>(got));
        }
        close(t.errorPipe);
        t.errorPipe = -1;
    }
    if (restore.savedError >= 0) {
        close(restore.savedError);
        restore.savedError = -1;
    }
    writeAll(STDERR_FILENO, t.captured);
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
    TermState& t = term();
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
    TermState& t = term();
    std::vector<InputEvent> events;
    const Sink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(t.mutex);
        if (!t.open || !onUserInterfaceThread(t)) return;
        sink = t.sink;
        if (!t.input.empty()) takeInput(t, t.input, events);
    }
    for (const InputEvent& event : events) {
        switch (event.kind) {
        case InputEvent::Pointer: sink->deliverPointer(event.x, event.y, event.buttons, event.wheel); break;
        case InputEvent::Key: sink->deliverKey(event.key, event.released); break;
        case InputEvent::Quit: sink->quitRequested(0); break;
        }
    }
    drawIfDue();
}

}  // namespace

const Backend termBackend = {
    "term",
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
};

}  // namespace subset::display

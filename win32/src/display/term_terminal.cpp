// Taking the terminal for the term display and giving it back.
//
// Provides (inside the subset): subset::display::term::takeTerminal,
// giveTerminalBack, terminalSize, writeAll.
//
// Promises: raw mode keeps ISIG (Ctrl+C still raises SIGINT, which the
// program's own interrupt handling answers) and turns Ctrl+Z off (a stopped
// program would leave the terminal raw). The terminal is given back by
// giveTerminalBack, and on a signal that ends the program while no one else
// handles it (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT), before the signal takes its course; that path does only
// what is safe in a signal handler (write, tcsetattr, dup2).
#include "display/term_terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace subset::display::term {
namespace {

const char kEnter[] = "\x1b[?1049h\x1b[?25l\x1b[?7l\x1b[0m\x1b[2J";
// Presses, drags and (1003) every move of the pointer, in SGR form (1006).
const char kMouseOn[] = "\x1b[?1000h\x1b[?1002h\x1b[?1003h\x1b[?1006h";
const char kLeave[] = "\x1b[0m\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l\x1b[?7h\x1b[?25h\x1b[?1049l";

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
void restoreTerminal() {
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
    restoreTerminal();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void guardEndingSignalsOnce() {
    static bool guarded = false;
    if (guarded) return;
    guarded = true;
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

// Standard error on the same terminal would tear the picture: a pipe takes
// its place. Returns the pipe's read end, or -1.
int holdStandardError() {
    struct stat outInfo {}, errorInfo {};
    if (fstat(STDOUT_FILENO, &outInfo) != 0 || fstat(STDERR_FILENO, &errorInfo) != 0 || !isatty(STDERR_FILENO) ||
        outInfo.st_rdev != errorInfo.st_rdev)
        return -1;
    int ends[2];
    int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved >= 0 && pipe2(ends, O_CLOEXEC) == 0) {
        std::fflush(stderr);
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
        restore.savedError = saved;  // known before the switch, for a signal that comes at once
        dup2(ends[1], STDERR_FILENO);
        close(ends[1]);
        return ends[0];
    }
    if (saved >= 0) close(saved);
    return -1;
}

}  // namespace

TakenTerminal takeTerminal() {
    TakenTerminal taken;
    restore = Restore{};
    restore.out = STDOUT_FILENO;
    taken.out = STDOUT_FILENO;
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &restore.modes) == 0) {
        termios raw = restore.modes;
        raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK);
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);  // ISIG stays: Ctrl+C interrupts
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        raw.c_cc[VSUSP] = _POSIX_VDISABLE;
        restore.in = STDIN_FILENO;
        restore.modesChanged = true;
        taken.in = STDIN_FILENO;
        terminalTaken = true;  // from here on the terminal is given back on every way out
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    terminalTaken = true;  // (also when only the screen is taken)
    taken.heldError = holdStandardError();
    guardEndingSignalsOnce();

    std::string enter = kEnter;
    if (taken.in >= 0) enter += kMouseOn;
    writeAll(taken.out, enter);
    return taken;
}

std::string giveTerminalBack(TakenTerminal& taken) {
    std::fflush(stderr);
    restoreTerminal();
    std::string unread;
    if (taken.heldError >= 0) {
        char buffer[4096];
        for (;;) {
            ssize_t got = read(taken.heldError, buffer, sizeof buffer);
            if (got <= 0) break;
            unread.append(buffer, static_cast<size_t>(got));
        }
        close(taken.heldError);
        taken.heldError = -1;
    }
    if (restore.savedError >= 0) {
        close(restore.savedError);
        restore.savedError = -1;
    }
    taken.in = -1;
    return unread;
}

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

}  // namespace subset::display::term

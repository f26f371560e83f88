// The obsidel program with a copy of the Vumira module on the term display
// inside a pseudo-terminal: the test writes the bytes a terminal sends for
// keys and mouse reports and reads everything the program draws.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "terminal_screen.h"
#include "test_support.h"

namespace testsupport {

constexpr int kTerminalColumns = 120, kTerminalRows = 40;

// An SGR mouse report for the cell (column, row), counted from 0.
std::string mouseReport(int code, int column, int row, bool release);
inline std::string rightClick(int column, int row) {
    return mouseReport(2, column, row, false) + mouseReport(2, column, row, true);
}
inline std::string leftClick(int column, int row) {
    return mouseReport(0, column, row, false) + mouseReport(0, column, row, true);
}

inline const std::string kKeyDown = "\x1b[B", kKeyUp = "\x1b[A", kKeyRight = "\x1b[C", kKeyEnd = "\x1b[F";

class HostInTerminal {
public:
    HostInTerminal();
    ~HostInTerminal();
    HostInTerminal(const HostInTerminal&) = delete;
    HostInTerminal& operator=(const HostInTerminal&) = delete;

    bool started() const { return pid_ > 0; }
    std::string rc() const;

    // Writes `bytes` as typed, then reads a moment so each step is handled
    // and drawn before the next.
    void send(const std::string& bytes);

    // Reads what the host draws until `done` holds or ten seconds pass.
    bool readUntil(const std::function<bool()>& done);
    // Makes the terminal `columns` by `rows` cells, as a person resizing its
    // window does (the program hears SIGWINCH); the screen read keeps its
    // size, so what the program draws shows in its top-left part.
    void resize(int columns, int rows);
    // Whether `text` is drawn (after byte `from` of `sent`), within ten seconds.
    bool drew(const std::string& text, size_t from = 0);

    // Whether the host's command channel is open (its socket is there).
    bool takesRequests() const;

    // The obsidel program as a client of this host (say "--exec", a
    // command), in the host's environment; its exit status, or -1. The
    // client answers only once the host has done, so a test that must act
    // meanwhile runs this beside itself.
    int runClient(const std::vector<std::string>& arguments) const;

    std::string sent;  // every byte the host wrote to the terminal
    // What the terminal shows after `sent`.
    const TerminalScreen& screen() const { return screen_; }

private:
    void readFor(int milliseconds);

    TerminalScreen screen_{kTerminalColumns, kTerminalRows};
    TempDir folder_;
    std::string module_;
    std::vector<std::string> environment_;
    int master_ = -1;
    pid_t pid_ = -1;
};

}  // namespace testsupport

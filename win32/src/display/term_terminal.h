// Taking the terminal for the term display and giving it back as it was.
#pragma once

#include <string>

namespace subset::display::term {

// The terminal as the back end holds it.
struct TakenTerminal {
    int out = -1;        // standard output: the terminal drawn on
    int in = -1;         // standard input in raw mode; -1 when it is no terminal
    int heldError = -1;  // read end of the pipe that stands for standard error while held; -1 when not held
};

// Takes the terminal on standard output: raw mode on standard input when it
// is a terminal, standard error held when it writes to the same terminal,
// the alternate screen with the cursor hidden and line wrap off, and mouse
// reporting when there is input. From here on, a signal that ends the
// program gives the terminal back first. Call with no terminal taken.
TakenTerminal takeTerminal();

// Gives the terminal back as it was (modes, main screen, cursor, line wrap,
// mouse reporting, standard error) and returns what standard error said
// that was not read from `heldError` yet. Does nothing a second time.
std::string giveTerminalBack(TakenTerminal& taken);

// The terminal's size in cells (80 by 24 when it does not say).
void terminalSize(int fd, int& columns, int& rows);
void writeAll(int fd, const std::string& text);

}  // namespace subset::display::term

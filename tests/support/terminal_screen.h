// What a terminal shows after the bytes a program wrote to it: the
// characters of each cell, for tests that look for a text at its place.
// Understands what the term display sends: cursor moves (CSI row;column H),
// clearing (CSI 2J), colours and modes (skipped), UTF-8 characters; no line
// wrap, as the display turns it off.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class TerminalScreen {
public:
    TerminalScreen(int columns, int rows);

    // Takes the bytes written since the last call; an escape sequence cut
    // at the end is kept for the next.
    void take(const std::string& bytes);

    // Row `row` as text: a cell's ASCII character, '#' for any other
    // character (the picture's half blocks), ' ' where nothing was written.
    const std::string& row(int row) const { return cells_[static_cast<size_t>(row)]; }
    int rows() const { return static_cast<int>(cells_.size()); }
    // All rows, for a failure's message.
    std::string text() const;

    // The first (row, column) where `text` shows above the bottom row
    // (the terminal's own status line), or (-1, -1).
    std::pair<int, int> find(const std::string& text) const;

private:
    void put(char c);

    std::vector<std::string> cells_;
    std::string pending_;
    int columns_ = 0, cursorRow_ = 0, cursorColumn_ = 0;
};

}  // namespace testsupport

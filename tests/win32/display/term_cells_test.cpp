// The term display's cell encoder, without a terminal: which pixels make
// each cell, and the exact bytes that bring the terminal from one set of
// cells to the next (written out by hand from the rules in term_cells.h).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "display/term_cells.h"

namespace subset::display::term {
// How a failed check shows a cell.
void PrintTo(const Cell& cell, std::ostream* out) {
    *out << std::hex << "{top 0x" << cell.top << ", bottom 0x" << cell.bottom << std::dec;
    if (cell.text) *out << ", text '" << cell.text << "'";
    *out << "}";
}
}  // namespace subset::display::term

namespace {

using subset::display::term::Cell;
using subset::display::term::cellUpdateBytes;
using subset::display::term::kStatusBackground;
using subset::display::term::kStatusText;
using subset::display::term::screenCells;

// Bytes as a reader can check them: ESC as "^[", the half block as "#".
std::string readable(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x1b') {
            text += "^[";
        } else if (bytes.compare(i, 3, "\xE2\x96\x80") == 0) {
            text += "#";
            i += 2;
        } else {
            text += bytes[i];
        }
    }
    return text;
}

const std::string kBlock = "\xE2\x96\x80";  // U+2580 UPPER HALF BLOCK

Cell pixels(uint32_t top, uint32_t bottom) { return Cell{top, bottom, 0}; }
Cell statusText(char c) { return Cell{kStatusText, kStatusBackground, c}; }

TEST(TermCells, UpdateBytesSendOnlyWhatChangedWithTheFewestMovesAndColours) {
    struct Case {
        const char* name;
        int columns, rows;
        std::vector<Cell> shown;  // empty: the terminal's content is unknown
        std::vector<Cell> cells;
        std::string expected;
    };
    const Cell black = pixels(0, 0);
    const Case cases[] = {
        {"an unknown terminal gets every cell; a blank cell sets no foreground",
         2, 1, {}, {pixels(0xFF0000, 0x0000FF), pixels(0x0000FF, 0x0000FF)},
         "\x1b[1;1H\x1b[38;2;255;0;0m\x1b[48;2;0;0;255m" + kBlock + " "},
        {"nothing changed: nothing sent",
         2, 1, {black, black}, {black, black}, ""},
        {"a changed cell alone is sent behind a move to its row and column, counted from 1",
         3, 2, {black, black, black, black, black, black},
         {black, black, pixels(0x102030, 0x405060), black, black, black},
         "\x1b[1;3H\x1b[38;2;16;32;48m\x1b[48;2;64;80;96m" + kBlock},
        {"neighbours share the cursor; colours are sent only when they change",
         3, 1, {black, black, black},
         {pixels(0x00FF00, 0x000080), pixels(0x00FF00, 0x000080), pixels(0x000080, 0x00FF00)},
         "\x1b[1;1H\x1b[38;2;0;255;0m\x1b[48;2;0;0;128m" + kBlock + kBlock +
             "\x1b[38;2;0;0;128m\x1b[48;2;0;255;0m" + kBlock},
        {"an unchanged cell between two changed ones costs a move, not the colours again",
         3, 1, {black, black, black},
         {pixels(0xFFFFFF, 0x808080), black, pixels(0xFFFFFF, 0x808080)},
         "\x1b[1;1H\x1b[38;2;255;255;255m\x1b[48;2;128;128;128m" + kBlock + "\x1b[1;3H" + kBlock},
        {"line wrap is off: after the last column the next row is reached by a move",
         2, 2, {}, {black, black, black, black},
         "\x1b[1;1H\x1b[48;2;0;0;0m  \x1b[2;1H  "},
        {"a blank sets no foreground, so the next block still sends its own",
         2, 1, {}, {pixels(0x00FF00, 0x00FF00), pixels(0x00FF00, 0x000000)},
         "\x1b[1;1H\x1b[48;2;0;255;0m \x1b[38;2;0;255;0m\x1b[48;2;0;0;0m" + kBlock},
        {"a status cell is its character in the status colours",
         3, 1, {black, black, black}, {statusText(' '), statusText('h'), black},
         "\x1b[1;1H\x1b[38;2;0;0;0m\x1b[48;2;192;192;192m h"},
    };
    for (const Case& c : cases) {
        const std::string bytes = cellUpdateBytes(c.shown, c.cells, c.columns, c.rows);
        EXPECT_EQ(readable(bytes), readable(c.expected)) << c.name;
    }
}

TEST(TermCells, EachCellHoldsTwoPixelsOneAboveTheOther) {
    // A screen 2 pixels wide and 3 high, each pixel its own value.
    subset::Surface screen;
    screen.width = 2;
    screen.height = 3;
    screen.pixels = {0x000001, 0x000002,   // row 0
                     0x000003, 0x000004,   // row 1
                     0x000005, 0x000006};  // row 2
    // Three columns by two rows of cells: more than the screen, which is black beyond its edges.
    const std::vector<Cell> expected = {
        pixels(0x000001, 0x000003), pixels(0x000002, 0x000004), pixels(0, 0),
        pixels(0x000005, 0), pixels(0x000006, 0), pixels(0, 0),
    };
    EXPECT_EQ(screenCells(screen, 3, 2, ""), expected);
}

TEST(TermCells, TheStatusLineCoversTheBottomRowFromTheLeft) {
    subset::Surface screen;
    screen.width = 5;
    screen.height = 4;
    screen.pixels.assign(20, 0x123456);
    const Cell picture = pixels(0x123456, 0x123456);
    struct Case {
        const char* name;
        int columns;
        std::string status;
        std::vector<Cell> bottomRow;
    };
    const Case cases[] = {
        {"a short status: a blank each side, the rest of the row stays picture", 5, "x",
         {statusText(' '), statusText('x'), statusText(' '), picture, picture}},
        {"a long status is cut at the last column; a control character shows as '?'", 4, "ab\x01" "cdef",
         {statusText(' '), statusText('a'), statusText('b'), statusText('?')}},
        {"a character beyond ASCII shows as '?'", 4, "\xC3\xA9",
         {statusText(' '), statusText('?'), statusText('?'), statusText(' ')}},
    };
    for (const Case& c : cases) {
        const std::vector<Cell> cells = screenCells(screen, c.columns, 2, c.status);
        ASSERT_EQ(cells.size(), static_cast<size_t>(c.columns) * 2u) << c.name;
        for (int column = 0; column < c.columns; ++column) {
            EXPECT_EQ(cells[static_cast<size_t>(column)], picture) << c.name << ": top row, column " << column;
            const Cell& cell = cells[static_cast<size_t>(c.columns + column)];
            const Cell& wanted = c.bottomRow[static_cast<size_t>(column)];
            EXPECT_EQ(cell, wanted) << c.name << ": bottom row, column " << column;
        }
    }
}

}  // namespace

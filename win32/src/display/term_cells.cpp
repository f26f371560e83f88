// The term display's cell encoder.
//
// Provides (inside the subset): subset::display::term::screenCells,
// cellUpdateBytes.
//
// Promises what term_cells.h says, without I/O or state: the same
// arguments give the same cells and bytes.
#include "display/term_cells.h"

#include <cstdio>

namespace subset::display::term {
namespace {

void appendColour(std::string& out, int layer, uint32_t pixel) {
    char text[32];
    std::snprintf(text, sizeof text, "\x1b[%d;2;%u;%u;%um", layer, (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF,
                  pixel & 0xFF);
    out += text;
}

size_t indexOf(int column, int row, int columns) {
    return static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column);
}

}  // namespace

std::vector<Cell> screenCells(const Surface& screen, int columns, int rows, const std::string& status) {
    std::vector<Cell> cells(static_cast<size_t>(columns) * static_cast<size_t>(rows));
    auto pixel = [&](int x, int y) -> uint32_t {
        if (x >= screen.width || y >= screen.height) return 0;
        return screen.pixels[static_cast<size_t>(y) * static_cast<size_t>(screen.width) + static_cast<size_t>(x)];
    };
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            cells[indexOf(column, row, columns)] = Cell{pixel(column, 2 * row), pixel(column, 2 * row + 1), 0};
    if (!status.empty() && rows > 0) {
        const std::string line = " " + status + " ";
        for (int column = 0; column < columns && column < static_cast<int>(line.size()); ++column) {
            char c = line[static_cast<size_t>(column)];
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
            cells[indexOf(column, rows - 1, columns)] = Cell{kStatusText, kStatusBackground, c};
        }
    }
    return cells;
}

std::string cellUpdateBytes(const std::vector<Cell>& shown, const std::vector<Cell>& cells, int columns, int rows) {
    std::string out;
    bool cursorKnown = false;
    int cursorRow = 0, cursorColumn = 0;
    bool foregroundKnown = false, backgroundKnown = false;
    uint32_t foreground = 0, background = 0;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const size_t index = indexOf(column, row, columns);
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

}  // namespace subset::display::term

// The term display's picture: pixels turned into character cells, and the
// bytes that bring a terminal from the cells it shows to new ones. Pure
// code: no I/O, no state of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "internal/surface.h"

namespace subset::display::term {

// The status line's colours (0x00RRGGBB): black on light grey.
constexpr uint32_t kStatusText = 0x000000, kStatusBackground = 0xC0C0C0;

// One character cell: two pixels, or a character of the status line.
struct Cell {
    uint32_t top = 0;     // upper pixel, or the text colour
    uint32_t bottom = 0;  // lower pixel, or the background
    char text = 0;        // 0 for a pixel cell
    bool operator==(const Cell&) const = default;
};

// The cells of a frame, row by row: cell (column, row) holds pixels
// (column, 2 * row) and (column, 2 * row + 1) of `screen`, black where the
// screen ends. A `status` that is not empty covers the bottom row as
// " status " from the left, cut at the last column, each character outside
// printable ASCII shown as '?'.
std::vector<Cell> screenCells(const Surface& screen, int columns, int rows, const std::string& status);

// The bytes that turn the `shown` cells into `cells` (both `columns` x
// `rows`; `shown` empty when the terminal's content is unknown, and then
// every cell is sent). Only cells that differ are sent, each behind a cursor
// move ("ESC [ row ; column H", from 1) unless the cursor already stands
// there. A pixel cell is U+2580 (upper half block) in foreground `top` on
// background `bottom`, or a blank in background `bottom` when both are the
// same; a text cell is its character. Colours are 24-bit ("ESC [ 38 ; 2 ;
// r ; g ; b m" for the foreground, 48 for the background), each sent only
// when it differs from the one last sent in these bytes. The terminal's
// line wrap is off, so after the last column the cursor's place is unknown.
std::string cellUpdateBytes(const std::vector<Cell>& shown, const std::vector<Cell>& cells, int columns, int rows);

}  // namespace subset::display::term

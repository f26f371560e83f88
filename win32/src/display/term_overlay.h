// Text blocks over the term display's picture (Win32SubsetSetTextOverlay):
// kept here between frames and laid over each frame's cells.
#pragma once

#include <windows.h>
#include <win32subset.h>

#include <string>
#include <vector>

#include "display/term_cells.h"

namespace subset::display::term {

struct TextBlock {
    int column = 0, row = 0, columns = 0, rows = 0;
    uint32_t text = 0, background = 0;  // 0x00RRGGBB
    std::string lines;  // '\n' between rows
};

// Lays `blocks` over `cells` (`columns` x `rows`), in order, as
// Win32SubsetSetTextOverlay describes. Pure code.
void layTextBlocks(const std::vector<TextBlock>& blocks, std::vector<Cell>& cells, int columns, int rows);

// The blocks set last, laid over `cells`.
void layOverlay(std::vector<Cell>& cells, int columns, int rows);

// The term display's Win32SubsetSetTextOverlay: -1 while it is closed.
int setTextOverlay(const Win32SubsetTextBlock* blocks, int count);

// The term display, while open, hears of every change of the blocks
// (from the thread that set them) and draws a frame; null when closed,
// and then Win32SubsetSetTextOverlay refuses.
void setOverlayListener(void (*listener)());

}  // namespace subset::display::term

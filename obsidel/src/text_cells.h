// Where the host's pop-up windows lie in a terminal's cells. A cell is one
// pixel wide and two high, so windows sized and placed in whole cells
// (even heights and tops) are covered exactly by the blocks drawn over them.
#pragma once

#include <windows.h>

#include <string>

#include "popup_screen.h"

namespace obsidel {

constexpr int kCellWidth = 1, kCellHeight = 2;  // pixels

// The pixel at or above `y` where a cell row begins.
int cellRowTop(int y);

// A block covering `rect` (screen pixels) that shows `lines`; the block's
// background fills what the lines leave, and lines longer than the block are cut.
TextCellBlock cellsOver(const RECT& rect, COLORREF text, COLORREF background, std::string lines);

}  // namespace obsidel

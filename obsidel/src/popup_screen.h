// How the screen in use shows the host's own pop-ups (the menu, boxes,
// status texts); one file per system (src/linux/, src/windows/).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "menu_tree.h"

namespace obsidel {

enum class PopupScreen {
    None,       // nothing is shown (a display without a screen): pop-ups are only recorded
    Pixels,     // windows drawn with GDI
    TextCells,  // a terminal: two pixels a cell, texts laid over the picture in cells
};
PopupScreen popupScreen();

// How ShowMenu shows a menu here: the host's own pop-up windows (popup_menu.h)
// on the subset's displays, the system's pop-up menus on Windows.
MenuPresenter menuPresenter();

// A block of character cells over the terminal's picture.
struct TextCellBlock {
    int column = 0, row = 0, columns = 0, rows = 0;
    COLORREF text = 0, background = 0;
    std::string lines;  // '\n' between rows
};

// Each kind of pop-up keeps its own blocks; a later layer lies over an earlier one.
enum class TextLayer { Status, Box, Menu, Count };

// Replaces `layer`'s blocks over the picture (none: removes them); only
// where popupScreen() is TextCells.
void showTextCells(TextLayer layer, const std::vector<TextCellBlock>& blocks);

// While a pop-up is open, input anywhere on the screen comes to `window`'s
// roads (capture and focus), so that a click elsewhere can close it; null
// lets go. Where the system does this for a captured window, nothing.
void holdInputFor(HWND window);

}  // namespace obsidel

// Windows always has a screen of pixels.
#include "menu_screen.h"

namespace obsidel {

MenuScreen menuScreen() { return MenuScreen::Pixels; }

// Never called here: there are no text cells on Windows.
void showTextCells(const std::vector<TextCellBlock>&) {}

// Windows sends a captured window the clicks made elsewhere itself.
void holdInputFor(HWND) {}

}  // namespace obsidel

// Windows always has a screen of pixels.
#include "popup_screen.h"

#include "system_menu.h"
#include "right_click.h"

namespace obsidel {

PopupScreen popupScreen() { return PopupScreen::Pixels; }

// Asked once, at start, on the user-interface thread: the right clicks that
// open the menu are let through from then on.
MenuPresenter menuPresenter() {
    letPluginWindowsHearRightClicks();
    return presentSystemMenu;
}

// Never called here: there are no text cells on Windows.
void showTextCells(TextLayer, const std::vector<TextCellBlock>&) {}

// Not needed: a click in another program takes the focus from the pop-up,
// which then closes.
void holdInputFor(HWND) {}

}  // namespace obsidel

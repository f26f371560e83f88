// The pop-up menu on the screen: ShowMenu's menu opened at the pointer, one
// top-most window of the host's per open level, drawn with GDI in the
// style's menu look (style.h), or, in a terminal, laid over the picture as
// text cells while the same windows take the input. The rules of keys,
// pointer and layout are popup_menu_model.h's.
//
// A pick closes the menu first, then broadcasts the item's command text to
// the registered windows (10901), as `obsidel --pick` does. A click outside
// every level, Escape or Left on the first level, or the loss of the
// pointer or the keys to another window closes it and sends nothing.
#pragma once

#include "menu_tree.h"

namespace obsidel {

// ShowMenu's presenter. A menu built for a right click (flag 1) opens at
// the pointer, replacing one that is open; a menu rebuilt after a toggle
// (flag 0), or one that may not open (`mayOpen` false), only refreshes an
// open menu in place (same place, same levels, the new check marks). On a
// display without a screen it does nothing.
void presentMenu(Menu* menu, bool mayOpen);

void closePopupMenu();

}  // namespace obsidel

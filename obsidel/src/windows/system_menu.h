// The Windows host's menu: the plug-in's tree shown with the system's own
// pop-up menus (TrackPopupMenu) at the pointer, with check marks and
// submenus; an integer item shows its value beside its text and, when
// picked, opens a small value chooser.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "menu_tree.h"

namespace obsidel {

// The tree as system menus. Entry ids start at 1; `items[id - 1]` is the
// item that an id stands for (command and integer items only).
struct SystemMenu {
    HMENU menu = nullptr;
    std::vector<const MenuItem*> items;
};
SystemMenu buildSystemMenu(const Menu& menu);
void destroySystemMenu(SystemMenu& built);

// What picking an item broadcasts: a command item its command text; an
// integer item its command text, a blank and the value, once the chooser
// (opened at `at`) gave one. Nothing when the chooser was cancelled.
void runPickedItem(const MenuItem& item, POINT at);

// Shows `menu` at the pointer and runs the pick; returns when the menu has
// closed. Does nothing unless `mayOpen`.
void presentSystemMenu(Menu* menu, bool mayOpen);

// The integer item's value after one key in the chooser: Up/Down step by 1,
// Page Up/Down by 10, Home/End jump to the bounds, digits type (a typed
// number that leaves the bounds is brought back to the nearest), Backspace
// takes the last digit away. `typed` holds the digits typed so far.
int chooserValueAfterKey(int value, int minimum, int maximum, WPARAM key, std::string& typed);

// The small value chooser: a top-most window at `at` showing the item's
// value; keys as above and the wheel change it, Return or a click takes
// it, Escape or a click elsewhere cancels. True with `value` set when one
// was taken.
bool chooseValue(const MenuItem& item, POINT at, int& value);

}  // namespace obsidel

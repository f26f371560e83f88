// Showing the pop-up menu's levels as text cells (a terminal's screen).
#pragma once

#include "popup_menu_model.h"
#include "style.h"

namespace obsidel {

// The model's sizes in cells: one cell a character.
popup::Metrics cellMenuMetrics();
// Every open level, replacing what the menu's text layer showed before.
void showMenuAsCells(const popup::PopupMenuModel& model, const MenuLook& look);

}  // namespace obsidel

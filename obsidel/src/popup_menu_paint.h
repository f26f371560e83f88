// Drawing the pop-up menu's levels with GDI (popup_menu.cpp's windows on a
// screen of pixels).
#pragma once

#include <windows.h>

#include "popup_menu_model.h"
#include "style.h"

namespace obsidel {

// The model's sizes for the font selected into `measuring` and the look.
popup::Metrics pixelMenuMetrics(HDC measuring, const MenuLook& look);
// A window's client area in the frame's colour, nothing drawn on it (the
// windows under a menu shown as text cells).
void paintMenuBackground(HDC dc, const RECT& client, const MenuLook& look);
// Level `index` into its window's client area, whose corner is the level's.
void paintMenuLevel(HDC dc, const popup::PopupMenuModel& model, int index, const MenuLook& look, HFONT font);

}  // namespace obsidel

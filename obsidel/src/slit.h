// The slit: a dock window at the bottom-right corner of the screen that
// takes plug-in windows in (11001: wParam 0, lParam the window) and lets
// them go again (11002). Docked windows become its children and stand side
// by side, left to right in the order they came; the slit takes the size
// of the row and hides while it is empty.
#pragma once

#include <windows.h>

#include <vector>

namespace obsidel {

HWND createSlit(HINSTANCE instance);
// Lets every docked window go and destroys the slit.
void destroySlit();
HWND slitWindow();
// The docked windows, left to right.
std::vector<HWND> dockedWindows();

}  // namespace obsidel

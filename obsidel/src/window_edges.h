// The host's record of plug-in windows that stay on every desktop
// (MakeSticky / RemoveSticky); the display is told of each change.
#pragma once

#include <windows.h>

namespace obsidel {

// True while `window` is marked sticky (MakeSticky without a later
// RemoveSticky). A destroyed window's mark is dropped at its RemoveSticky.
bool isSticky(HWND window);

}  // namespace obsidel

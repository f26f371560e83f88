// The host's status text: a small tooltip-like window in the host's style
// that shows a plug-in's status text (10304) for a moment.
#pragma once

#include <windows.h>

namespace obsidel {

// How long a status text stays, in milliseconds.
constexpr UINT kStatusTextMs = 2000;

// Shows `text` for kStatusTextMs just below `anchor` (above it when there is
// no room below; at the bottom of the screen when `anchor` is null or
// hidden), top-most and without taking the focus. A newer text replaces the
// one shown and starts the time again. The window is owned by `owner`,
// which destroys it with itself.
void showStatusText(HWND owner, HWND anchor, const char* text);

// The status window while it shows a text, else null.
HWND shownStatusText();

}  // namespace obsidel

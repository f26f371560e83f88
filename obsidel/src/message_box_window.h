// The host's message box: a small top-most window in the host's style with
// the caption, an icon by kind, the text and an OK button.
#pragma once

#include <windows.h>

namespace obsidel {

// Shows an OK box centred on `owner` (when it is visible) or the screen, and
// waits for it while the messages of every other window keep flowing, as a
// box on Windows does. Return, Escape, Space, a click on OK or a close
// request answer it: IDOK. A WM_QUIT that arrives meanwhile closes the box
// and is posted again for the loop outside. Only OK boxes are shown: for
// any other kind it shows nothing and answers 0.
int showMessageBox(HWND owner, const char* text, const char* caption, UINT type);

}  // namespace obsidel

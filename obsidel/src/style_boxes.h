// The look of the host's own small windows, the message box and the status
// text, from the current style: colours and font under keys of their own
// (messageBox.*, statusText.*), frame (border and bevel) as the style gives
// it to every item. Each key has a built-in value, so a style file that
// lacks them still draws readable boxes.
#pragma once

#include <windows.h>

#include <string>

namespace obsidel {

struct BoxLook {
    COLORREF face = 0, text = 0;              // the body
    COLORREF titleFace = 0, titleText = 0;    // the caption strip (message box)
    COLORREF buttonFace = 0, buttonText = 0;  // the OK button (message box)
    std::string fontFace;
    int fontHeight = 12;  // pixels, cell height
};

BoxLook messageBoxLook();
BoxLook statusTextLook();

// The look's font; the caller deletes it.
HFONT createBoxFont(const BoxLook& look);

// `rect` filled with `face`, raised by the style's bevel, inside the style's
// border when `bordered`.
void paintBoxPanel(HDC dc, const RECT& rect, COLORREF face, bool bordered);

}  // namespace obsidel

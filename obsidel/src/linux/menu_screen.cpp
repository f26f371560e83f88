// The Linux subset's displays: x11 shows pixels, term text cells, headless
// nothing; a pop-up grabs the input through the subset.
#include "menu_screen.h"

#include <win32subset.h>

#include <cstring>

namespace obsidel {

MenuScreen menuScreen() {
    const char* name = Win32SubsetDisplayName();
    if (std::strcmp(name, "term") == 0) return MenuScreen::TextCells;
    if (std::strcmp(name, "headless") == 0) return MenuScreen::None;
    return MenuScreen::Pixels;
}

void showTextCells(const std::vector<TextCellBlock>& blocks) {
    std::vector<Win32SubsetTextBlock> out;
    out.reserve(blocks.size());
    for (const TextCellBlock& block : blocks)
        out.push_back(Win32SubsetTextBlock{block.column, block.row, block.columns, block.rows, block.text,
                                           block.background, block.lines.c_str()});
    Win32SubsetSetTextOverlay(out.data(), static_cast<int>(out.size()));
}

void holdInputFor(HWND window) { Win32SubsetGrabInput(window); }

}  // namespace obsidel

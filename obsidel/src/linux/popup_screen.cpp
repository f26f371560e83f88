// The Linux subset's displays: x11 shows pixels, term text cells, headless
// nothing; a pop-up grabs the input through the subset.
#include "popup_screen.h"

#include "popup_menu.h"

#include <win32subset.h>

#include <array>
#include <cstring>

namespace obsidel {
namespace {

// The blocks of every layer, sent together: the terminal shows one set.
std::array<std::vector<TextCellBlock>, static_cast<size_t>(TextLayer::Count)> layers;

}  // namespace

PopupScreen popupScreen() {
    const char* name = Win32SubsetDisplayName();
    if (std::strcmp(name, "term") == 0) return PopupScreen::TextCells;
    if (std::strcmp(name, "headless") == 0) return PopupScreen::None;
    return PopupScreen::Pixels;
}

MenuPresenter menuPresenter() { return presentMenu; }

void showTextCells(TextLayer layer, const std::vector<TextCellBlock>& blocks) {
    if (layer >= TextLayer::Count) return;
    layers[static_cast<size_t>(layer)] = blocks;
    std::vector<Win32SubsetTextBlock> out;
    for (const auto& shown : layers)
        for (const TextCellBlock& block : shown)
            out.push_back(Win32SubsetTextBlock{block.column, block.row, block.columns, block.rows, block.text,
                                               block.background, block.lines.c_str()});
    Win32SubsetSetTextOverlay(out.data(), static_cast<int>(out.size()));
}

void holdInputFor(HWND window) { Win32SubsetGrabInput(window); }

}  // namespace obsidel

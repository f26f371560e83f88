// The Linux subset's displays, each saying what its screen is (pixels, text
// cells or nothing); a pop-up grabs the input through the subset.
#include "popup_screen.h"

#include "popup_menu.h"

#include <win32subset.h>

#include <array>

namespace obsidel {
namespace {

// The blocks of every layer, sent together: the terminal shows one set.
std::array<std::vector<TextCellBlock>, static_cast<size_t>(TextLayer::Count)> layers;

}  // namespace

PopupScreen popupScreen() {
    Win32SubsetDisplayFacts facts{};
    Win32SubsetDescribeDisplay(nullptr, &facts);
    switch (facts.screen) {
    case WIN32SUBSET_SCREEN_TEXT_CELLS: return PopupScreen::TextCells;
    case WIN32SUBSET_SCREEN_NONE: return PopupScreen::None;
    default: return PopupScreen::Pixels;
    }
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

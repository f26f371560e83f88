// The pop-up menu laid over a terminal's picture as text cells: the same
// levels and rows as the GDI drawing, in characters.
#include "popup_menu_cells.h"

#include <algorithm>
#include <string>
#include <vector>

#include "text_cells.h"

namespace obsidel {

using popup::Part;
using popup::PopupMenuModel;

namespace {

std::string padded(std::string line, int width) {
    line.resize(static_cast<size_t>(std::max(width, 0)), ' ');
    return line;
}

}  // namespace

popup::Metrics cellMenuMetrics() {
    popup::Metrics metrics;
    metrics.rowHeight = kCellHeight;
    metrics.frame = 0;
    metrics.markWidth = 2 * kCellWidth;
    metrics.sideWidth = 2 * kCellWidth;
    metrics.gap = 2 * kCellWidth;
    metrics.alignY = kCellHeight;
    metrics.textWidth = [](const std::string& line) { return static_cast<int>(line.size()); };
    return metrics;
}

void showMenuAsCells(const PopupMenuModel& model, const MenuLook& look) {
    std::vector<TextCellBlock> blocks;
    for (int index = 0; index < static_cast<int>(model.levels().size()); ++index) {
        const popup::Level& level = model.levels()[static_cast<size_t>(index)];
        const int width = level.rect.right - level.rect.left;
        auto block = [&](RECT rect, COLORREF ink, COLORREF paper, std::string line) {
            blocks.push_back(cellsOver(rect, ink, paper, padded(std::move(line), width)));
        };
        block(model.rowRect(index, Part::Title), look.titleText, look.title, " " + level.menu->title);
        if (level.scrolls) {
            const std::string middle(static_cast<size_t>(std::max(width / 2 - 1, 0)), ' ');
            block(model.rowRect(index, Part::ScrollUp), look.frameText, look.frame, middle + (level.scroll > 0 ? "^" : ""));
            const bool more = level.scroll + level.shownRows < static_cast<int>(level.menu->items.size());
            block(model.rowRect(index, Part::ScrollDown), look.frameText, look.frame, middle + (more ? "v" : ""));
        }
        const int rows = std::min(level.scroll + level.shownRows, static_cast<int>(level.menu->items.size()));
        for (int item = level.scroll; item < rows; ++item) {
            const MenuItem& entry = *level.menu->items[static_cast<size_t>(item)];
            const bool lit = item == level.highlight;
            std::string line;
            if (entry.kind == MenuItem::Kind::Separator) {
                line.assign(1, ' ');
                line.append(static_cast<size_t>(std::max(width - 2, 0)), '-');
            } else {
                line = (entry.kind == MenuItem::Kind::Command && entry.checked ? " *" : "  ") + entry.text;
                std::string right = entry.kind == MenuItem::Kind::Submenu ? " >" : "  ";
                if (entry.kind == MenuItem::Kind::Integer) right = popup::shownValueText(model, index, item) + right;
                line = padded(line, width - static_cast<int>(right.size())) + right;
            }
            block(model.rowRect(index, Part::Item, item), lit ? look.hiliteText : look.frameText,
                  lit ? look.hilite : look.frame, line);
        }
    }
    showTextCells(TextLayer::Menu, blocks);
}

}  // namespace obsidel

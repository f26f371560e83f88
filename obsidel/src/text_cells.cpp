#include "text_cells.h"

#include <utility>

namespace obsidel {

int cellRowTop(int y) { return y >= 0 ? y - y % kCellHeight : y - (kCellHeight + y % kCellHeight) % kCellHeight; }

TextCellBlock cellsOver(const RECT& rect, COLORREF text, COLORREF background, std::string lines) {
    const int row = cellRowTop(rect.top) / kCellHeight;
    // A half cell at the foot still belongs to the window: round up.
    const int bottomRow = (cellRowTop(rect.bottom + kCellHeight - 1)) / kCellHeight;
    return TextCellBlock{rect.left / kCellWidth, row, (rect.right - rect.left) / kCellWidth, bottomRow - row, text,
                         background, std::move(lines)};
}

}  // namespace obsidel

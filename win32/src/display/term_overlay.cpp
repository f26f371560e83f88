// Text blocks over the term display's picture.
//
// Provides (inside the subset): subset::display::term::setTextOverlay, the
// term display's row for Win32SubsetSetTextOverlay; layTextBlocks,
// layOverlay, setOverlayListener.
//
// Promises what win32subset.h says of the overlay: the blocks are copied,
// kept until replaced, and laid over every frame while the term display is
// open; when it is closed the call is refused and nothing is kept.
#include "display/term_overlay.h"

#include <win32subset.h>

#include <algorithm>
#include <mutex>

namespace subset::display::term {
namespace {

struct Overlay {
    std::mutex mutex;  // guards all below; never held while calling the listener
    std::vector<TextBlock> blocks;
    void (*listener)() = nullptr;
};

Overlay& overlay() {
    static auto* instance = new Overlay;  // outlives every thread
    return *instance;
}

uint32_t pixelOf(COLORREF color) {
    return (static_cast<uint32_t>(GetRValue(color)) << 16) | (static_cast<uint32_t>(GetGValue(color)) << 8) |
           GetBValue(color);
}

char shown(char c) { return c >= 0x20 && c < 0x7F ? c : '?'; }

}  // namespace

void layTextBlocks(const std::vector<TextBlock>& blocks, std::vector<Cell>& cells, int columns, int rows) {
    for (const TextBlock& block : blocks) {
        const int firstRow = std::max(block.row, 0), lastRow = std::min(block.row + block.rows, rows);
        const int firstColumn = std::max(block.column, 0), lastColumn = std::min(block.column + block.columns, columns);
        for (int row = firstRow; row < lastRow; ++row)
            for (int column = firstColumn; column < lastColumn; ++column)
                cells[static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column)] =
                    Cell{block.text, block.background, ' '};
        int row = block.row, column = block.column;
        for (char c : block.lines) {
            if (c == '\n') {
                ++row;
                column = block.column;
                continue;
            }
            if (row >= block.row + block.rows) break;
            if (row >= 0 && row < rows && column >= 0 && column < columns && column < block.column + block.columns)
                cells[static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column)].text =
                    shown(c);
            ++column;
        }
    }
}

void layOverlay(std::vector<Cell>& cells, int columns, int rows) {
    Overlay& o = overlay();
    std::lock_guard<std::mutex> lock(o.mutex);
    layTextBlocks(o.blocks, cells, columns, rows);
}

void setOverlayListener(void (*listener)()) {
    Overlay& o = overlay();
    std::lock_guard<std::mutex> lock(o.mutex);
    o.listener = listener;
    if (!listener) o.blocks.clear();
}

int setTextOverlay(const Win32SubsetTextBlock* blocks, int count) {
    Overlay& o = overlay();
    void (*listener)() = nullptr;
    {
        std::lock_guard<std::mutex> lock(o.mutex);
        if (!o.listener) return -1;
        listener = o.listener;
        o.blocks.clear();
        for (int i = 0; blocks && i < count; ++i) {
            const Win32SubsetTextBlock& in = blocks[i];
            TextBlock block;
            block.column = in.column;
            block.row = in.row;
            block.columns = std::max(in.columns, 0);
            block.rows = std::max(in.rows, 0);
            block.text = pixelOf(in.textColor);
            block.background = pixelOf(in.backColor);
            if (in.text) block.lines = in.text;
            o.blocks.push_back(std::move(block));
        }
    }
    listener();
    return 0;
}

}  // namespace subset::display::term

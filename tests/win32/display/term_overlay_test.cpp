// Text blocks over the term display's cells: where they land, how they
// cut at their own edges and the screen's, and which lies on top.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/term_overlay.h"

namespace {

using subset::display::term::Cell;
using subset::display::term::layTextBlocks;
using subset::display::term::TextBlock;

constexpr int kColumns = 6, kRows = 3;
constexpr uint32_t kPicture = 0x102030;

// The cells as rows of characters: '.' for a pixel cell.
std::vector<std::string> textOf(const std::vector<Cell>& cells) {
    std::vector<std::string> rows;
    for (int row = 0; row < kRows; ++row) {
        std::string line;
        for (int column = 0; column < kColumns; ++column) {
            const Cell& cell = cells[static_cast<size_t>(row * kColumns + column)];
            line += cell.text ? cell.text : '.';
        }
        rows.push_back(line);
    }
    return rows;
}

TEST(TermOverlay, BlocksFillTheirCellsAndCutTheirTextAtEveryEdge) {
    struct Case {
        const char* what;
        std::vector<TextBlock> blocks;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"text from the top-left cell, blanks after it", {{1, 0, 4, 1, 1, 2, "ab"}}, {".ab  .", "......", "......"}},
        {"cut at the block's width", {{0, 1, 3, 1, 1, 2, "abcdef"}}, {"......", "abc...", "......"}},
        {"a line feed starts the next row; rows beyond the block dropped",
         {{2, 0, 2, 2, 1, 2, "ab\ncd\nef"}}, {"..ab..", "..cd..", "......"}},
        {"cut at the screen's right and bottom edges", {{4, 2, 5, 3, 1, 2, "wxyz"}}, {"......", "......", "....wx"}},
        {"a block starting left of the screen", {{-2, 0, 4, 1, 1, 2, "abcd"}}, {"cd....", "......", "......"}},
        {"later blocks lie over earlier ones", {{0, 0, 6, 1, 1, 2, "aaaaaa"}, {2, 0, 2, 1, 3, 4, "b"}},
         {"aab aa", "......", "......"}},
        {"bytes outside printable ASCII show as '?'", {{0, 0, 3, 1, 1, 2, "a\tb"}}, {"a?b...", "......", "......"}},
    };
    for (const Case& c : cases) {
        std::vector<Cell> cells(kColumns * kRows, Cell{kPicture, kPicture, 0});
        layTextBlocks(c.blocks, cells, kColumns, kRows);
        EXPECT_EQ(textOf(cells), c.expected) << c.what;
    }

    // Colours: text in `text`, the block's blanks in `background` too.
    std::vector<Cell> cells(kColumns * kRows, Cell{kPicture, kPicture, 0});
    layTextBlocks({{0, 0, 2, 1, 0xFFFFFF, 0x0000FF, "x"}}, cells, kColumns, kRows);
    EXPECT_EQ(cells[0], (Cell{0xFFFFFF, 0x0000FF, 'x'}));
    EXPECT_EQ(cells[1], (Cell{0xFFFFFF, 0x0000FF, ' '}));
    EXPECT_EQ(cells[2], (Cell{kPicture, kPicture, 0}));
}

}  // namespace

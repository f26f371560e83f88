#include "terminal_screen.h"

#include <algorithm>
#include <cstdlib>

namespace testsupport {

TerminalScreen::TerminalScreen(int columns, int rows)
    : cells_(static_cast<size_t>(rows), std::string(static_cast<size_t>(columns), ' ')), columns_(columns) {}

void TerminalScreen::put(char c) {
    if (cursorRow_ >= 0 && cursorRow_ < rows() && cursorColumn_ >= 0 && cursorColumn_ < columns_)
        cells_[static_cast<size_t>(cursorRow_)][static_cast<size_t>(cursorColumn_)] = c;
    cursorColumn_ = std::min(cursorColumn_ + 1, columns_ - 1);
}

void TerminalScreen::take(const std::string& bytes) {
    const std::string in = pending_ + bytes;
    pending_.clear();
    size_t at = 0;
    while (at < in.size()) {
        const auto c = static_cast<unsigned char>(in[at]);
        if (c == 0x1b) {
            if (at + 1 >= in.size()) break;
            if (in[at + 1] != '[') {
                at += 2;  // a two-byte escape
                continue;
            }
            size_t end = at + 2;
            while (end < in.size() && !(in[end] >= 0x40 && in[end] <= 0x7e)) ++end;
            if (end >= in.size()) break;
            const std::string parameters = in.substr(at + 2, end - at - 2);
            if (in[end] == 'H') {
                const size_t semicolon = parameters.find(';');
                cursorRow_ = parameters.empty() ? 0 : std::atoi(parameters.c_str()) - 1;
                cursorColumn_ = semicolon == std::string::npos ? 0 : std::atoi(parameters.c_str() + semicolon + 1) - 1;
            } else if (in[end] == 'J' && parameters == "2") {
                for (std::string& line : cells_) line.assign(static_cast<size_t>(columns_), ' ');
            }
            at = end + 1;
        } else if (c == '\r') {
            cursorColumn_ = 0;
            ++at;
        } else if (c == '\n') {
            cursorRow_ = std::min(cursorRow_ + 1, rows() - 1);
            ++at;
        } else if (c >= 0x20 && c < 0x7f) {
            put(static_cast<char>(c));
            ++at;
        } else if (c >= 0xc0) {
            const size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
            if (at + length > in.size()) break;
            put('#');
            at += length;
        } else {
            ++at;  // other control bytes, stray continuation bytes
        }
    }
    pending_ = in.substr(at);
}

std::string TerminalScreen::text() const {
    std::string all;
    for (const std::string& line : cells_) all += line + "\n";
    return all;
}

std::pair<int, int> TerminalScreen::find(const std::string& text) const {
    for (int row = 0; row + 1 < rows(); ++row) {
        const size_t column = cells_[static_cast<size_t>(row)].find(text);
        if (column != std::string::npos) return {row, static_cast<int>(column)};
    }
    return {-1, -1};
}

}  // namespace testsupport

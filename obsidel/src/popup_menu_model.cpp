// The pop-up menu's state, keys, pointer and layout; see popup_menu_model.h.
#include "popup_menu_model.h"

#include <algorithm>
#include <cstdlib>

namespace obsidel::popup {
namespace {

constexpr int kPage = 10;            // Page Up/Down on an integer item
constexpr int kWheelRows = 3;        // rows a notch scrolls
constexpr size_t kMaxTypedDigits = 9;

using Kind = MenuItem::Kind;

bool selectable(const MenuItem& item) { return item.kind != Kind::Separator; }

int itemCount(const Level& level) { return level.menu ? static_cast<int>(level.menu->items.size()) : 0; }

const MenuItem* itemAt(const Level& level, int index) {
    if (index < 0 || index >= itemCount(level)) return nullptr;
    return level.menu->items[static_cast<size_t>(index)].get();
}

bool inside(const RECT& rect, POINT at) {
    return at.x >= rect.left && at.x < rect.right && at.y >= rect.top && at.y < rect.bottom;
}

int alignedDown(int value, int step) { return step > 1 ? value - ((value % step) + step) % step : value; }

// Where a level of `size` starts along one axis: at `preferred`, or, where
// it would cross `limit`, at `flipped` (its far edge at the near side of
// its place); never beyond the screen.
int placedAlong(int preferred, int flipped, int size, int limit) {
    int start = preferred + size > limit ? flipped : preferred;
    return std::clamp(start, 0, std::max(0, limit - size));
}

}  // namespace

PopupMenuModel::PopupMenuModel(Menu* root, POINT at, SIZE screen, Metrics metrics)
    : metrics_(std::move(metrics)), screen_(screen), anchor_(at) {
    if (!metrics_.textWidth) metrics_.textWidth = [](const std::string& text) { return static_cast<int>(text.size()); };
    anchor_.y = alignedDown(anchor_.y, metrics_.alignY);
    openLevel(root, false);
}

std::string PopupMenuModel::widestValue(const MenuItem& item) {
    std::string low = std::to_string(item.minimum), high = std::to_string(item.maximum);
    return low.size() > high.size() ? low : high;
}

int PopupMenuModel::levelWidth(const Menu& menu) const {
    const auto& width = metrics_.textWidth;
    int widest = width(menu.title);
    for (const auto& item : menu.items) {
        int text = width(item->text);
        if (item->kind == Kind::Integer) text += metrics_.gap + width("< " + widestValue(*item) + " >");
        widest = std::max(widest, text);
    }
    return 2 * metrics_.frame + metrics_.markWidth + widest + metrics_.sideWidth;
}

void PopupMenuModel::openLevel(Menu* menu, bool highlightFirst) {
    Level level;
    level.menu = menu;
    levels_.push_back(level);
    place(static_cast<int>(levels_.size()) - 1);
    if (highlightFirst) setHighlight(static_cast<int>(levels_.size()) - 1, selectableFrom(levels_.back(), 0, 1, false));
}

// Sizes and places level `index`: the first at the anchor, a submenu beside
// the row of its parent that opened it, its first item level with that row.
void PopupMenuModel::place(int index) {
    Level& level = levels_[static_cast<size_t>(index)];
    const Metrics& m = metrics_;
    const int rows = itemCount(level);
    const int screenWidth = static_cast<int>(screen_.cx), screenHeight = static_cast<int>(screen_.cy);
    const int width = std::min(levelWidth(*level.menu), screenWidth);
    int height = 2 * m.frame + m.rowHeight * (1 + rows);
    level.scrolls = height > screenHeight;
    level.shownRows = rows;
    if (level.scrolls) {
        // The title and two arrow strips take three rows.
        level.shownRows = std::max(1, (screenHeight - 2 * m.frame) / m.rowHeight - 3);
        height = 2 * m.frame + m.rowHeight * (3 + level.shownRows);
    }
    level.scroll = std::clamp(level.scroll, 0, std::max(0, rows - level.shownRows));
    const int limitY = alignedDown(screenHeight, m.alignY);
    int x = 0, y = 0;
    if (index == 0) {
        x = placedAlong(anchor_.x, anchor_.x - width, width, screenWidth);
        y = placedAlong(anchor_.y, anchor_.y - height, height, limitY);
    } else {
        const Level& parent = levels_[static_cast<size_t>(index) - 1];
        RECT row = rowRect(index - 1, Part::Item, parent.highlight);
        if (IsRectEmpty(&row)) row = RECT{parent.rect.left, parent.rect.top, parent.rect.right, parent.rect.top};
        x = placedAlong(parent.rect.right, parent.rect.left - width, width, screenWidth);
        const int firstItemOffset = m.frame + m.rowHeight * (level.scrolls ? 2 : 1);
        y = placedAlong(row.top - firstItemOffset, row.bottom + m.frame - height, height, limitY);
    }
    y = alignedDown(y, m.alignY);
    level.rect = RECT{x, y, x + width, y + height};
    keepInView(level);
}

RECT PopupMenuModel::rowRect(int levelIndex, Part part, int item) const {
    if (levelIndex < 0 || levelIndex >= static_cast<int>(levels_.size())) return RECT{};
    const Level& level = levels_[static_cast<size_t>(levelIndex)];
    const Metrics& m = metrics_;
    const int left = level.rect.left + m.frame, right = level.rect.right - m.frame;
    const int top = level.rect.top + m.frame;
    auto row = [&](int slot) { return RECT{left, top + slot * m.rowHeight, right, top + (slot + 1) * m.rowHeight}; };
    switch (part) {
    case Part::Title: return row(0);
    case Part::ScrollUp: return level.scrolls ? row(1) : RECT{};
    case Part::ScrollDown: return level.scrolls ? row(2 + level.shownRows) : RECT{};
    case Part::Item:
        if (item < level.scroll || item >= level.scroll + level.shownRows || item >= itemCount(level)) return RECT{};
        return row(1 + (level.scrolls ? 1 : 0) + item - level.scroll);
    case Part::None: break;
    }
    return RECT{};
}

Hit PopupMenuModel::hitTest(POINT at) const {
    for (int index = static_cast<int>(levels_.size()) - 1; index >= 0; --index) {
        const Level& level = levels_[static_cast<size_t>(index)];
        if (!inside(level.rect, at)) continue;
        Hit hit{index, Part::None, -1};
        for (Part strip : {Part::Title, Part::ScrollUp, Part::ScrollDown})
            if (inside(rowRect(index, strip), at)) hit.part = strip;
        for (int item = level.scroll; item < level.scroll + level.shownRows; ++item) {
            if (inside(rowRect(index, Part::Item, item), at)) {
                hit.part = Part::Item;
                hit.item = item;
            }
        }
        return hit;
    }
    return Hit{};
}

int PopupMenuModel::shownValue(int levelIndex, int item) const {
    const Level& level = levels_.at(static_cast<size_t>(levelIndex));
    const MenuItem* entry = itemAt(level, item);
    if (!entry) return 0;
    return item == level.highlight ? level.value : entry->value;
}

// The first selectable item from `start` going by `step`; -1 when none.
int PopupMenuModel::selectableFrom(const Level& level, int start, int step, bool wrap) const {
    const int count = itemCount(level);
    for (int tried = 0, index = start; tried < count; ++tried, index += step) {
        if (wrap) index = ((index % count) + count) % count;
        if (index < 0 || index >= count) return -1;
        if (selectable(*itemAt(level, index))) return index;
    }
    return -1;
}

bool PopupMenuModel::setHighlight(int levelIndex, int item) {
    Level& level = levels_[static_cast<size_t>(levelIndex)];
    if (level.highlight == item) return false;
    level.highlight = item;
    level.typed.clear();
    if (const MenuItem* entry = itemAt(level, item)) level.value = std::clamp(entry->value, entry->minimum, entry->maximum);
    keepInView(level);
    return true;
}

void PopupMenuModel::keepInView(Level& level) {
    if (level.highlight < 0) return;
    if (level.highlight < level.scroll) level.scroll = level.highlight;
    if (level.highlight >= level.scroll + level.shownRows) level.scroll = level.highlight - level.shownRows + 1;
}

bool PopupMenuModel::scrollBy(Level& level, int rows) {
    const int before = level.scroll;
    level.scroll = std::clamp(level.scroll + rows, 0, std::max(0, itemCount(level) - level.shownRows));
    return level.scroll != before;
}

void PopupMenuModel::closeFrom(int index) {
    if (index < static_cast<int>(levels_.size())) levels_.resize(static_cast<size_t>(std::max(index, 0)));
}

Outcome PopupMenuModel::pick(int levelIndex, int item) {
    const Level& level = levels_[static_cast<size_t>(levelIndex)];
    const MenuItem* entry = itemAt(level, item);
    if (!entry) return {};
    switch (entry->kind) {
    case Kind::Command: return {Outcome::Picked, entry->command};
    case Kind::Integer: {
        const int value = std::clamp(item == level.highlight ? level.value : entry->value, entry->minimum, entry->maximum);
        return {Outcome::Picked, entry->command + " " + std::to_string(value)};
    }
    case Kind::Submenu:
        if (!entry->submenu) return {};
        setHighlight(levelIndex, item);
        closeFrom(levelIndex + 1);
        openLevel(entry->submenu, true);
        return {Outcome::Changed, {}};
    case Kind::Separator: break;
    }
    return {};
}

Outcome PopupMenuModel::changeValue(Level& level, int by) {
    const MenuItem* entry = itemAt(level, level.highlight);
    const int value = std::clamp(level.value + by, entry->minimum, entry->maximum);
    level.typed.clear();
    if (value == level.value) return {};
    level.value = value;
    return {Outcome::Changed, {}};
}

Outcome PopupMenuModel::key(WORD virtualKey) {
    if (levels_.empty()) return {Outcome::Closed, {}};
    const int index = static_cast<int>(levels_.size()) - 1;
    Level& level = levels_.back();
    const MenuItem* current = itemAt(level, level.highlight);
    const bool onInteger = current && current->kind == Kind::Integer;
    auto moveTo = [&](int item) { return Outcome{setHighlight(index, item) ? Outcome::Changed : Outcome::Nothing, {}}; };
    auto closeOneLevel = [&]() {
        closeFrom(index);
        return Outcome{levels_.empty() ? Outcome::Closed : Outcome::Changed, {}};
    };

    if (onInteger) {
        int digit = -1;
        if (virtualKey >= '0' && virtualKey <= '9') digit = virtualKey - '0';
        if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9) digit = virtualKey - VK_NUMPAD0;
        if (digit >= 0) {
            if (level.typed.size() >= kMaxTypedDigits) return {};
            level.typed += static_cast<char>('0' + digit);
            level.value = std::min(std::atoi(level.typed.c_str()), current->maximum);
            return {Outcome::Changed, {}};
        }
        switch (virtualKey) {
        case VK_LEFT: return changeValue(level, -1);
        case VK_RIGHT: return changeValue(level, 1);
        case VK_PRIOR: return changeValue(level, kPage);
        case VK_NEXT: return changeValue(level, -kPage);
        case VK_BACK:
            if (level.typed.empty()) return {};
            level.typed.pop_back();
            level.value = level.typed.empty() ? current->minimum
                                              : std::min(std::atoi(level.typed.c_str()), current->maximum);
            return {Outcome::Changed, {}};
        default: break;
        }
    }

    switch (virtualKey) {
    case VK_DOWN:
        return moveTo(level.highlight < 0 ? selectableFrom(level, 0, 1, false)
                                          : selectableFrom(level, level.highlight + 1, 1, true));
    case VK_UP:
        return moveTo(level.highlight < 0 ? selectableFrom(level, itemCount(level) - 1, -1, false)
                                          : selectableFrom(level, level.highlight - 1, -1, true));
    case VK_HOME: return moveTo(selectableFrom(level, 0, 1, false));
    case VK_END: return moveTo(selectableFrom(level, itemCount(level) - 1, -1, false));
    case VK_NEXT: {
        const int start = std::min(std::max(level.highlight, 0) + level.shownRows, itemCount(level) - 1);
        int item = selectableFrom(level, start, 1, false);
        return moveTo(item >= 0 ? item : selectableFrom(level, start, -1, false));
    }
    case VK_PRIOR: {
        const int start = std::max(level.highlight - level.shownRows, 0);
        int item = selectableFrom(level, start, -1, false);
        return moveTo(item >= 0 ? item : selectableFrom(level, start, 1, false));
    }
    case VK_RIGHT:
        if (current && current->kind == Kind::Submenu) return pick(index, level.highlight);
        return {};
    case VK_RETURN: return pick(index, level.highlight);
    case VK_LEFT:
    case VK_ESCAPE: return closeOneLevel();
    default: return {};
    }
}

Outcome PopupMenuModel::wheel(POINT at, int notches) {
    if (levels_.empty() || notches == 0) return {};
    Level& deepest = levels_.back();
    const MenuItem* current = itemAt(deepest, deepest.highlight);
    if (current && current->kind == Kind::Integer) return changeValue(deepest, notches);
    const Hit hit = hitTest(at);
    Level& level = hit.level >= 0 ? levels_[static_cast<size_t>(hit.level)] : deepest;
    if (!scrollBy(level, -notches * kWheelRows)) return {};
    // Levels beyond this one hung from a row that has moved.
    if (hit.level >= 0) closeFrom(hit.level + 1);
    return {Outcome::Changed, {}};
}

Outcome PopupMenuModel::pointerMoved(POINT at) {
    const Hit hit = hitTest(at);
    resting_ = Hit{};
    if (hit.level < 0) return {};
    if (hit.part == Part::ScrollUp || hit.part == Part::ScrollDown) {
        resting_ = hit;
        return {};
    }
    if (hit.part != Part::Item) return {};
    const Level& level = levels_[static_cast<size_t>(hit.level)];
    const MenuItem* entry = itemAt(level, hit.item);
    if (!entry) return {};
    bool changed = false;
    const bool opensNext = hit.level + 1 < static_cast<int>(levels_.size()) && entry->kind == Kind::Submenu &&
                           levels_[static_cast<size_t>(hit.level) + 1].menu == entry->submenu;
    if (!opensNext && hit.level + 1 < static_cast<int>(levels_.size())) {
        closeFrom(hit.level + 1);
        changed = true;
    }
    changed |= setHighlight(hit.level, selectable(*entry) ? hit.item : -1);
    if (entry->kind == Kind::Submenu && !opensNext) resting_ = hit;
    return {changed ? Outcome::Changed : Outcome::Nothing, {}};
}

Outcome PopupMenuModel::rested() {
    const Hit hit = resting_;
    if (hit.level < 0 || hit.level >= static_cast<int>(levels_.size())) return {};
    Level& level = levels_[static_cast<size_t>(hit.level)];
    if (hit.part == Part::ScrollUp || hit.part == Part::ScrollDown) {
        // Resting on a strip keeps scrolling, one row each time.
        if (!scrollBy(level, hit.part == Part::ScrollUp ? -1 : 1)) return {};
        closeFrom(hit.level + 1);
        return {Outcome::Changed, {}};
    }
    resting_ = Hit{};
    const MenuItem* entry = itemAt(level, hit.item);
    if (!entry || entry->kind != Kind::Submenu || !entry->submenu || level.highlight != hit.item) return {};
    closeFrom(hit.level + 1);
    openLevel(entry->submenu, false);
    return {Outcome::Changed, {}};
}

Outcome PopupMenuModel::pressed(POINT at) {
    pressedOn_ = hitTest(at);
    if (pressedOn_.level < 0) return {Outcome::Closed, {}};
    return {};
}

Outcome PopupMenuModel::released(POINT at) {
    const Hit hit = hitTest(at);
    const Hit press = pressedOn_;
    pressedOn_ = Hit{};
    if (hit.level < 0) return {};
    Level& level = levels_[static_cast<size_t>(hit.level)];
    if (hit.part == Part::ScrollUp || hit.part == Part::ScrollDown) {
        if (!scrollBy(level, (hit.part == Part::ScrollUp ? -1 : 1) * std::max(1, level.shownRows - 1))) return {};
        closeFrom(hit.level + 1);
        return {Outcome::Changed, {}};
    }
    if (hit.part != Part::Item || press.level < 0) return {};
    const MenuItem* entry = itemAt(level, hit.item);
    if (!entry) return {};
    if (entry->kind == Kind::Submenu) {
        const bool open = hit.level + 1 < static_cast<int>(levels_.size()) &&
                          levels_[static_cast<size_t>(hit.level) + 1].menu == entry->submenu;
        if (open) return {};
        setHighlight(hit.level, hit.item);
        closeFrom(hit.level + 1);
        openLevel(entry->submenu, false);
        return {Outcome::Changed, {}};
    }
    return pick(hit.level, hit.item);
}

void PopupMenuModel::screenResized(SIZE screen) {
    screen_ = screen;
    anchor_.x = std::clamp<LONG>(anchor_.x, 0, std::max<LONG>(0, screen.cx - 1));
    anchor_.y = std::clamp<LONG>(anchor_.y, 0, std::max<LONG>(0, screen.cy - 1));
    for (size_t index = 0; index < levels_.size(); ++index) place(static_cast<int>(index));
}

void PopupMenuModel::rebuilt(Menu* root) {
    std::vector<Level> before = std::move(levels_);
    levels_.clear();
    resting_ = pressedOn_ = Hit{};
    if (before.empty() || !root) return;
    Menu* menu = root;
    for (size_t index = 0; index < before.size() && menu; ++index) {
        Level level = before[index];
        level.menu = menu;
        const int count = itemCount(level);
        if (level.highlight >= count || (level.highlight >= 0 && !selectable(*itemAt(level, level.highlight)))) {
            level.highlight = -1;
            level.typed.clear();
        }
        levels_.push_back(level);
        place(static_cast<int>(index));
        // The next level stays open while its parent row still opens a submenu.
        const MenuItem* opener = itemAt(levels_.back(), levels_.back().highlight);
        menu = index + 1 < before.size() && opener && opener->kind == Kind::Submenu ? opener->submenu : nullptr;
    }
}

std::string shownValueText(const PopupMenuModel& model, int level, int item) {
    const std::string value = std::to_string(model.shownValue(level, item));
    return model.levels()[static_cast<size_t>(level)].highlight == item ? "< " + value + " >" : value;
}

}  // namespace obsidel::popup

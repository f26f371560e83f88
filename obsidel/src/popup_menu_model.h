// The open pop-up menu as plain state: which levels are open, where they
// stand on the screen, what is highlighted, how far a long level has
// scrolled, and the value being chosen for an integer item. Keys, pointer
// and wheel go in; what the menu did comes out. Nothing here draws: the
// same model serves the pixel displays (rows of pixels) and the terminal
// (rows of two pixels, one character wide per pixel).
//
// The rules a user meets:
//  - The menu opens with no item highlighted. Down/Up move the highlight
//    over the items of the deepest level, skipping separators and wrapping;
//    Home/End jump to the first/last item; Page Up/Down move a page.
//  - Right or Return on a submenu opens it with its first item highlighted;
//    Left or Escape closes one level (the last one closes the menu); Return
//    picks an item.
//  - On a highlighted integer item, Left/Right and the wheel change the value
//    by 1, Page Up/Down by 10, within its bounds; digits type a value
//    (Backspace takes the last one back); Return picks "command value".
//  - A level taller than the screen shows as many rows as fit between an
//    arrow strip at each end; the highlight is kept in view, the wheel and
//    the strips scroll.
//  - A level never leaves the screen: it opens right of (below) its place
//    and flips left (up) where it would cross the edge.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "menu_tree.h"

namespace obsidel::popup {

// Sizes in screen pixels.
struct Metrics {
    int rowHeight = 18;
    int frame = 3;       // border, bevel and padding on every side
    int markWidth = 18;  // the check-mark column, left of the texts
    int sideWidth = 18;  // the submenu-arrow column, right of the texts
    int gap = 12;        // between an integer item's text and its value
    int alignY = 1;      // rows start on multiples of this (2 in the terminal)
    std::function<int(const std::string&)> textWidth;
};

struct Level {
    Menu* menu = nullptr;
    RECT rect{};          // on the screen
    int highlight = -1;   // item index; -1 for none
    int scroll = 0;       // first item shown
    int shownRows = 0;    // items shown at once
    bool scrolls = false; // taller than the screen: arrow strips at both ends
    int value = 0;        // the highlighted integer item's value as chosen so far
    std::string typed;    // digits typed for it
};

enum class Part { None, Title, Item, ScrollUp, ScrollDown };

struct Hit {
    int level = -1;
    Part part = Part::None;
    int item = -1;
};

struct Outcome {
    enum Kind { Nothing, Changed, Closed, Picked } kind = Nothing;
    std::string command;  // Picked: the text to broadcast
};

class PopupMenuModel {
public:
    PopupMenuModel(Menu* root, POINT at, SIZE screen, Metrics metrics);

    const std::vector<Level>& levels() const { return levels_; }
    const Metrics& metrics() const { return metrics_; }

    Outcome key(WORD virtualKey);
    // `notches` away from the user positive.
    Outcome wheel(POINT at, int notches);
    Outcome pointerMoved(POINT at);
    Outcome pressed(POINT at);   // a button goes down
    Outcome released(POINT at);  // and up
    // The pointer rested: opens the submenu under it, or scrolls a level by
    // one row while it rests on an arrow strip.
    Outcome rested();
    // Whether the pointer rests on something that `rested` acts on.
    bool restingMatters() const { return resting_.level >= 0; }

    // The same menus built again (the handles are the same for menus with
    // an id): keeps the place, the open levels and the highlights that still
    // fit; a level whose submenu is gone closes. `root` may be another menu.
    void rebuilt(Menu* root);

    // The screen took another size (a terminal resized): the place the menu
    // opened at is kept on the new screen and every open level is placed
    // again by the rules above.
    void screenResized(SIZE screen);
    SIZE screen() const { return screen_; }

    Hit hitTest(POINT at) const;
    // Where an item's row, the title or a strip is drawn (screen); empty
    // when not shown.
    RECT rowRect(int level, Part part, int item = -1) const;
    // The value an integer item shows: the chosen one while it is highlighted.
    int shownValue(int level, int item) const;
    // The widest value text an integer item may show ("-128", say).
    static std::string widestValue(const MenuItem& item);

private:
    void openLevel(Menu* menu, bool highlightFirst);
    void place(int index);
    void closeFrom(int index);
    bool setHighlight(int level, int item);
    void keepInView(Level& level);
    bool scrollBy(Level& level, int rows);
    int selectableFrom(const Level& level, int start, int step, bool wrap) const;
    Outcome pick(int level, int item);
    Outcome changeValue(Level& level, int by);
    int levelWidth(const Menu& menu) const;

    Metrics metrics_;
    SIZE screen_;
    POINT anchor_;
    std::vector<Level> levels_;
    Hit resting_;       // what the pointer rests on, for `rested`
    Hit pressedOn_;     // where the last press was inside the menu
};

// An integer item's value as shown: in angle brackets while highlighted.
std::string shownValueText(const PopupMenuModel& model, int level, int item);

}  // namespace obsidel::popup

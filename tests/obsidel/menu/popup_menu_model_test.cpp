// The pop-up menu's model: key sequences and what they pick, the pointer,
// the wheel, and where levels go on the screen (flipping at the edges,
// scrolling a level taller than the screen). Sizes are the defaults of
// Metrics with a text one pixel wide per character, so every place below
// is worked out by hand from those numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "menu_tree.h"
#include "popup_menu_model.h"

namespace {

using obsidel::popup::Hit;
using obsidel::popup::Metrics;
using obsidel::popup::Outcome;
using obsidel::popup::Part;
using obsidel::popup::PopupMenuModel;

constexpr SIZE kScreen{1280, 800};

// A tree shaped like the plug-in's: a submenu first, checked items,
// separators, an integer item and a list longer than the screen is high.
Menu* buildTree() {
    Menu* main = MakeNamedMenu("Main", "t_main", 1);
    Menu* config = MakeNamedMenu("Configuration", "t_config", 1);
    MakeMenuItem(config, "Always On Top", "@T AlwaysOnTop", 1);
    MakeMenuNOP(config, nullptr);
    MakeMenuItemInt(config, "Alpha Value", "@T Alpha", 200, 0, 255);
    Menu* heights = MakeNamedMenu("Max Bar Height", "t_heights", 1);
    for (int i = 1; i <= 128; ++i)
        MakeMenuItem(heights, std::to_string(i).c_str(), ("@T Height " + std::to_string(i)).c_str(), i == 32);
    MakeSubmenu(config, heights, "Max Bar Height");
    MakeSubmenu(main, config, "Configuration");
    MakeMenuItem(main, "Monitor", "@T Monitor", 0);
    MakeMenuNOP(main, nullptr);
    MakeMenuItem(main, "About", "@T About", 0);
    return main;
}

bool empty(RECT rect) { return IsRectEmpty(&rect) != 0; }

class PopupMenuModelTest : public ::testing::Test {
protected:
    void TearDown() override { obsidel::clearMenus(); }

    // Runs `keys` on a menu opened at (100, 100); the last outcome.
    static Outcome run(const std::vector<WORD>& keys, PopupMenuModel* keep = nullptr) {
        PopupMenuModel local(buildTree(), POINT{100, 100}, kScreen, Metrics{});
        PopupMenuModel& menu = keep ? *keep : local;
        Outcome last;
        for (WORD key : keys) {
            last = menu.key(key);
            if (last.kind == Outcome::Closed || last.kind == Outcome::Picked) break;
        }
        return last;
    }
};

TEST_F(PopupMenuModelTest, KeySequencesPickWhatAPersonExpects) {
    struct Case {
        const char* what;
        std::vector<WORD> keys;
        Outcome::Kind kind;
        std::string command;
    };
    const std::vector<Case> cases = {
        {"first item's submenu, its first item", {VK_DOWN, VK_RIGHT, VK_RETURN}, Outcome::Picked, "@T AlwaysOnTop"},
        {"Return opens a submenu too", {VK_DOWN, VK_RETURN, VK_RETURN}, Outcome::Picked, "@T AlwaysOnTop"},
        {"Down skips the separator", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, Outcome::Picked, "@T About"},
        {"Down wraps from the last item", {VK_END, VK_DOWN, VK_DOWN, VK_RETURN}, Outcome::Picked, "@T Monitor"},
        {"Up from nothing takes the last", {VK_UP, VK_RETURN}, Outcome::Picked, "@T About"},
        {"Up wraps from the first", {VK_HOME, VK_UP, VK_RETURN}, Outcome::Picked, "@T About"},
        {"Home and End", {VK_END, VK_HOME, VK_DOWN, VK_RETURN}, Outcome::Picked, "@T Monitor"},
        {"Return with nothing highlighted", {VK_RETURN}, Outcome::Nothing, ""},
        {"Left closes a level, not the menu", {VK_DOWN, VK_RIGHT, VK_LEFT, VK_DOWN, VK_RETURN}, Outcome::Picked,
         "@T Monitor"},
        {"Escape closes one level", {VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_DOWN, VK_RETURN}, Outcome::Picked, "@T Monitor"},
        {"Escape on the last level closes the menu", {VK_DOWN, VK_ESCAPE}, Outcome::Closed, ""},
        {"Right on a plain item does nothing", {VK_END, VK_RIGHT, VK_RETURN}, Outcome::Picked, "@T About"},
        {"integer item sends its value", {VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}, Outcome::Picked, "@T Alpha 200"},
        {"Right and Left step it", {VK_DOWN, VK_RIGHT, VK_DOWN, VK_RIGHT, VK_RIGHT, VK_LEFT, VK_RETURN},
         Outcome::Picked, "@T Alpha 201"},
        {"Page Up and Down step by ten", {VK_DOWN, VK_RIGHT, VK_DOWN, VK_NEXT, VK_NEXT, VK_PRIOR, VK_RETURN},
         Outcome::Picked, "@T Alpha 190"},
        {"steps stop at the maximum", {VK_DOWN, VK_RIGHT, VK_DOWN, VK_PRIOR, VK_PRIOR, VK_PRIOR, VK_PRIOR, VK_PRIOR,
                                       VK_PRIOR, VK_RETURN},
         Outcome::Picked, "@T Alpha 255"},
        {"digits type a value", {VK_DOWN, VK_RIGHT, VK_DOWN, '1', '2', VK_RETURN}, Outcome::Picked, "@T Alpha 12"},
        {"typed values stop at the maximum", {VK_DOWN, VK_RIGHT, VK_DOWN, '9', '9', '9', VK_RETURN}, Outcome::Picked,
         "@T Alpha 255"},
        {"Backspace takes a digit back", {VK_DOWN, VK_RIGHT, VK_DOWN, '4', '5', VK_BACK, VK_RETURN}, Outcome::Picked,
         "@T Alpha 4"},
        {"long list: End reaches 128", {VK_DOWN, VK_RIGHT, VK_END, VK_RIGHT, VK_END, VK_RETURN}, Outcome::Picked,
         "@T Height 128"},
        {"long list: Up from the first wraps to 128", {VK_DOWN, VK_RIGHT, VK_UP, VK_RIGHT, VK_UP, VK_RETURN},
         Outcome::Picked, "@T Height 128"},
        {"long list: a page down from 1", {VK_DOWN, VK_RIGHT, VK_END, VK_RETURN, VK_NEXT, VK_RETURN},
         Outcome::Picked, "@T Height 42"},
    };
    for (const Case& c : cases) {
        const Outcome outcome = run(c.keys);
        EXPECT_EQ(outcome.kind, c.kind) << c.what;
        EXPECT_EQ(outcome.command, c.command) << c.what;
        obsidel::clearMenus();
    }
}

TEST_F(PopupMenuModelTest, OpensWithNothingHighlightedAndSubmenusWithTheirFirstItem) {
    PopupMenuModel menu(buildTree(), POINT{100, 100}, kScreen, Metrics{});
    ASSERT_EQ(menu.levels().size(), 1u);
    EXPECT_EQ(menu.levels()[0].highlight, -1);
    menu.key(VK_DOWN);
    menu.key(VK_RIGHT);
    ASSERT_EQ(menu.levels().size(), 2u);
    EXPECT_EQ(menu.levels()[1].highlight, 0);
    EXPECT_EQ(menu.levels()[1].menu->title, "Configuration");
}

TEST_F(PopupMenuModelTest, AListTallerThanTheScreenScrollsWithTheHighlight) {
    PopupMenuModel menu(buildTree(), POINT{100, 100}, kScreen, Metrics{});
    run({VK_DOWN, VK_RIGHT, VK_END, VK_RIGHT}, &menu);
    ASSERT_EQ(menu.levels().size(), 3u);
    const auto& heights = menu.levels()[2];
    // 800 high: frames 2 * 3, rows of 18: (800 - 6) / 18 = 44 rows, of which
    // the title and the two strips take three.
    EXPECT_TRUE(heights.scrolls);
    EXPECT_EQ(heights.shownRows, 41);
    EXPECT_EQ(heights.rect.top, 0);
    EXPECT_EQ(heights.rect.bottom, 6 + 18 * 44);
    EXPECT_EQ(heights.scroll, 0);
    EXPECT_FALSE(empty(menu.rowRect(2, Part::ScrollUp)));

    menu.key(VK_END);  // 128 is the last row shown: items 87..127
    EXPECT_EQ(menu.levels()[2].scroll, 128 - 41);
    RECT last = menu.rowRect(2, Part::Item, 127);
    EXPECT_EQ(last.bottom, menu.rowRect(2, Part::ScrollDown).top);
    EXPECT_TRUE(empty(menu.rowRect(2, Part::Item, 0)));

    menu.key(VK_DOWN);  // wraps to 1 and scrolls back to the top
    EXPECT_EQ(menu.levels()[2].scroll, 0);

    // The wheel scrolls three rows a notch, and stops at the ends.
    const RECT& rect = menu.levels()[2].rect;
    POINT over{rect.left + 5, rect.top + 100};
    EXPECT_EQ(menu.wheel(over, -2).kind, Outcome::Changed);
    EXPECT_EQ(menu.levels()[2].scroll, 6);
    EXPECT_EQ(menu.wheel(over, 5).kind, Outcome::Changed);
    EXPECT_EQ(menu.levels()[2].scroll, 0);
    EXPECT_EQ(menu.wheel(over, 1).kind, Outcome::Nothing);

    // A click on the lower strip scrolls a page less one row.
    RECT down = menu.rowRect(2, Part::ScrollDown);
    POINT onStrip{down.left + 2, down.top + 2};
    menu.pressed(onStrip);
    EXPECT_EQ(menu.released(onStrip).kind, Outcome::Changed);
    EXPECT_EQ(menu.levels()[2].scroll, 40);
}

TEST_F(PopupMenuModelTest, LevelsStayOnTheScreenFlippingAtItsEdges) {
    // Main: widest text "Configuration" (13) -> 3 + 18 + 13 + 18 + 3 = 55
    // wide; title and four rows -> 6 + 18 * 5 = 96 high.
    struct Case {
        const char* what;
        POINT at;
        RECT expected;
    };
    const Case cases[] = {
        {"at the pointer", {100, 100}, {100, 100, 155, 196}},
        {"flipped left at the right edge", {1250, 100}, {1195, 100, 1250, 196}},
        {"flipped up at the bottom", {100, 750}, {100, 654, 155, 750}},
        {"both in the corner", {1279, 799}, {1224, 703, 1279, 799}},
    };
    for (const Case& c : cases) {
        PopupMenuModel menu(buildTree(), c.at, kScreen, Metrics{});
        const RECT& got = menu.levels()[0].rect;
        EXPECT_TRUE(EqualRect(&got, &c.expected))
            << c.what << ": " << got.left << "," << got.top << " " << got.right << "," << got.bottom;
        obsidel::clearMenus();
    }

    // A submenu opens right of its parent, its first item level with the
    // row that opened it, and flips left where it would leave the screen.
    PopupMenuModel right(buildTree(), POINT{100, 100}, kScreen, Metrics{});
    right.key(VK_DOWN);
    right.key(VK_RIGHT);
    const RECT opener = right.rowRect(0, Part::Item, 0);
    EXPECT_EQ(right.levels()[1].rect.left, right.levels()[0].rect.right);
    EXPECT_EQ(right.rowRect(1, Part::Item, 0).top, opener.top);
    obsidel::clearMenus();

    PopupMenuModel left(buildTree(), POINT{1250, 100}, kScreen, Metrics{});
    left.key(VK_DOWN);
    left.key(VK_RIGHT);
    EXPECT_EQ(left.levels()[1].rect.right, left.levels()[0].rect.left);
    obsidel::clearMenus();

    // Near the bottom a submenu taller than the room below flips up: its
    // bottom at the bottom of the row that opened it. The sub level is
    // 6 + 18 * 7 = 132 high; its opener's row spans 775..793.
    Menu* root = MakeNamedMenu("R", "t_r", 1);
    for (const char* text : {"x1", "x2", "x3"}) MakeMenuItem(root, text, text, 0);
    Menu* sub = MakeNamedMenu("Sub", "t_sub", 1);
    for (const char* text : {"s1", "s2", "s3", "s4", "s5", "s6"}) MakeMenuItem(sub, text, text, 0);
    MakeSubmenu(root, sub, "Sub");
    PopupMenuModel up(root, POINT{100, 700}, kScreen, Metrics{});
    up.key(VK_END);
    up.key(VK_RIGHT);
    ASSERT_EQ(up.levels().size(), 2u);
    EXPECT_EQ(up.rowRect(0, Part::Item, 3).bottom, 793);
    EXPECT_EQ(up.levels()[1].rect.top, 664);
    EXPECT_EQ(up.levels()[1].rect.bottom, 796);
}

TEST_F(PopupMenuModelTest, AResizedScreenPlacesEveryOpenLevelOnItAgain) {
    // Main is 55 x 96 (see above); its submenu must stay on the screen too.
    PopupMenuModel menu(buildTree(), POINT{1000, 600}, kScreen, Metrics{});
    menu.key(VK_DOWN);
    menu.key(VK_RIGHT);
    ASSERT_EQ(menu.levels().size(), 2u);
    const RECT opened{1000, 600, 1055, 696};
    EXPECT_TRUE(EqualRect(&menu.levels()[0].rect, &opened));

    // A terminal made small: the opening place is brought onto the screen,
    // (399, 299), and Main flips left and up from it: 344..399, 203..299.
    menu.screenResized(SIZE{400, 300});
    EXPECT_EQ(menu.screen().cx, 400);
    const RECT& main = menu.levels()[0].rect;
    const RECT flipped{344, 203, 399, 299};
    EXPECT_TRUE(EqualRect(&main, &flipped)) << main.left << "," << main.top << " " << main.right << "," << main.bottom;
    const RECT& sub = menu.levels()[1].rect;
    EXPECT_TRUE(sub.right <= 400 && sub.bottom <= 300 && sub.left >= 0 && sub.top >= 0)
        << sub.left << "," << sub.top << " " << sub.right << "," << sub.bottom;
    EXPECT_EQ(menu.levels()[1].highlight, 0) << "the open levels and highlights stay";

    // Made large again, the menu opens from the place it was brought to.
    menu.screenResized(kScreen);
    const RECT again{399, 299, 454, 395};
    EXPECT_TRUE(EqualRect(&menu.levels()[0].rect, &again));
}

TEST_F(PopupMenuModelTest, ThePointerHighlightsOpensAfterRestingPicksAndClosesOutside) {
    PopupMenuModel menu(buildTree(), POINT{100, 100}, kScreen, Metrics{});
    const RECT configuration = menu.rowRect(0, Part::Item, 0);
    const POINT onConfiguration{configuration.left + 4, configuration.top + 4};
    EXPECT_EQ(menu.pointerMoved(onConfiguration).kind, Outcome::Changed);
    EXPECT_EQ(menu.levels()[0].highlight, 0);
    EXPECT_EQ(menu.levels().size(), 1u) << "a submenu waits for the pointer to rest";
    EXPECT_TRUE(menu.restingMatters());
    EXPECT_EQ(menu.rested().kind, Outcome::Changed);
    ASSERT_EQ(menu.levels().size(), 2u);
    EXPECT_EQ(menu.levels()[1].highlight, -1);

    // Moving to another row of the first level closes the submenu.
    const RECT monitor = menu.rowRect(0, Part::Item, 1);
    menu.pointerMoved(POINT{monitor.left + 4, monitor.top + 4});
    EXPECT_EQ(menu.levels().size(), 1u);

    // A separator highlights nothing; a click on it picks nothing.
    const RECT separator = menu.rowRect(0, Part::Item, 2);
    const POINT onSeparator{separator.left + 4, separator.top + 4};
    menu.pointerMoved(onSeparator);
    EXPECT_EQ(menu.levels()[0].highlight, -1);
    menu.pressed(onSeparator);
    EXPECT_EQ(menu.released(onSeparator).kind, Outcome::Nothing);

    // A click on an item picks it.
    const RECT about = menu.rowRect(0, Part::Item, 3);
    const POINT onAbout{about.left + 4, about.top + 4};
    EXPECT_EQ(menu.pressed(onAbout).kind, Outcome::Nothing);
    const Outcome picked = menu.released(onAbout);
    EXPECT_EQ(picked.kind, Outcome::Picked);
    EXPECT_EQ(picked.command, "@T About");

    // A press outside every level closes the menu.
    EXPECT_EQ(menu.pressed(POINT{90, 90}).kind, Outcome::Closed);
    EXPECT_EQ(menu.hitTest(POINT{90, 90}).level, -1);
}

TEST_F(PopupMenuModelTest, TheWheelChangesAHighlightedIntegerItemWithinItsBounds) {
    PopupMenuModel menu(buildTree(), POINT{100, 100}, kScreen, Metrics{});
    run({VK_DOWN, VK_RIGHT, VK_DOWN}, &menu);
    EXPECT_EQ(menu.levels()[1].highlight, 2);
    menu.wheel(POINT{0, 0}, 3);
    EXPECT_EQ(menu.shownValue(1, 2), 203);
    menu.wheel(POINT{0, 0}, 100);
    EXPECT_EQ(menu.shownValue(1, 2), 255);
    const Outcome picked = menu.key(VK_RETURN);
    EXPECT_EQ(picked.command, "@T Alpha 255");
}

TEST_F(PopupMenuModelTest, ARebuiltTreeKeepsThePlaceTheLevelsAndTheHighlight) {
    Menu* root = buildTree();
    PopupMenuModel menu(root, POINT{100, 100}, kScreen, Metrics{});
    run({VK_DOWN, VK_RIGHT}, &menu);
    const RECT before = menu.levels()[1].rect;

    // The plug-in builds the same menus again (same ids, new items), as after a toggle.
    Menu* again = buildTree();
    ASSERT_EQ(again, root);
    menu.rebuilt(again);
    ASSERT_EQ(menu.levels().size(), 2u);
    EXPECT_EQ(menu.levels()[1].highlight, 0);
    EXPECT_TRUE(EqualRect(&menu.levels()[1].rect, &before));
    EXPECT_EQ(menu.key(VK_RETURN).command, "@T AlwaysOnTop");

    // A tree without that submenu closes its level.
    Menu* other = MakeNamedMenu("Other", "t_other", 0);
    MakeMenuItem(other, "Only", "@T Only", 0);
    menu.rebuilt(other);
    EXPECT_EQ(menu.levels().size(), 1u);
    EXPECT_EQ(menu.levels()[0].highlight, 0);
    EXPECT_EQ(menu.key(VK_RETURN).command, "@T Only");
}

}  // namespace

// The menu calls as a plug-in makes them, checked through the tree's text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "menu_text.h"
#include "menu_tree.h"

namespace {

class MenuTree : public ::testing::Test {
protected:
    void TearDown() override { obsidel::clearMenus(); }
};

TEST_F(MenuTree, PrintsEveryKindOfEntryIndentedUnderItsMenu) {
    Menu* main = MakeNamedMenu("Main", "test_main", 1);
    Menu* sub = MakeNamedMenu("Sub", "test_sub", 1);
    MakeMenuItem(sub, "Inner", "@Test Inner", 0);
    MakeSubmenu(main, sub, "Sub Title");
    MakeMenuItem(main, "On", "@Test On", 1);
    MakeMenuItem(main, "Off", "@Test Off", 0);
    MakeMenuNOP(main, nullptr);
    MakeMenuNOP(main, "Group");
    MakeMenuItemInt(main, "Level", "@Test Level", 7, -5, 300);
    MakeMenuItem(main, "Say \"hi\"\\now", "a\tb", 0);

    const char* expected =
        "menu \"Main\" id \"test_main\" flag 1\n"
        "  > \"Sub Title\" menu \"Sub\" id \"test_sub\" flag 1\n"
        "    [ ] \"Inner\" -> \"@Test Inner\"\n"
        "  [x] \"On\" -> \"@Test On\"\n"
        "  [ ] \"Off\" -> \"@Test Off\"\n"
        "  ---\n"
        "  --- \"Group\"\n"
        "  [=] \"Level\" -> \"@Test Level\" 7 in -5..300\n"
        "  [ ] \"Say \\\"hi\\\"\\\\now\" -> \"a\\x09b\"\n";
    EXPECT_EQ(obsidel::menuText(*main), expected);
}

TEST_F(MenuTree, CopiesEveryTextDuringTheCall) {
    // The plug-in formats its generated items into the same two buffers.
    char title[16], id[16], text[16], command[32];
    std::strcpy(title, "Rates");
    std::strcpy(id, "test_rates");
    Menu* menu = MakeNamedMenu(title, id, 0);
    for (int rate : {10, 20}) {
        std::snprintf(text, sizeof text, "%d", rate);
        std::snprintf(command, sizeof command, "@Test Rate %d", rate);
        MakeMenuItem(menu, text, command, rate == 20);
    }
    std::strcpy(text, "Level");
    std::strcpy(command, "@Test Level");
    MakeMenuItemInt(menu, text, command, 3, 0, 9);
    std::strcpy(text, "Sep");
    MakeMenuNOP(menu, text);
    Menu* child = MakeNamedMenu("Child", "test_child", 0);
    std::strcpy(text, "Attached");
    MakeSubmenu(menu, child, text);
    for (char* buffer : {title, id, text, command}) std::memset(buffer, 'X', 15), buffer[15] = '\0';

    EXPECT_EQ(obsidel::menuText(*menu),
              "menu \"Rates\" id \"test_rates\" flag 0\n"
              "  [ ] \"10\" -> \"@Test Rate 10\"\n"
              "  [x] \"20\" -> \"@Test Rate 20\"\n"
              "  [=] \"Level\" -> \"@Test Level\" 3 in 0..9\n"
              "  --- \"Sep\"\n"
              "  > \"Attached\" menu \"Child\" id \"test_child\" flag 0\n");
    // The id was copied too: the same id finds the same menu.
    EXPECT_EQ(MakeNamedMenu("Rates", "test_rates", 0), menu);
}

TEST_F(MenuTree, AMenuMadeAgainWithItsIdIsEmptiedAndKeepsItsPlaceInTheTree) {
    Menu* main = MakeNamedMenu("Main", "test_main", 1);
    Menu* first = MakeNamedMenu("Sub", "test_sub", 1);
    MakeMenuItem(first, "Old", "@Test Old", 1);
    MakeSubmenu(main, first, "Sub");

    Menu* again = MakeNamedMenu("Sub Again", "test_sub", 0);
    MakeMenuItem(again, "New", "@Test New", 0);

    EXPECT_EQ(again, first);
    EXPECT_EQ(obsidel::menuText(*main),
              "menu \"Main\" id \"test_main\" flag 1\n"
              "  > \"Sub\" menu \"Sub Again\" id \"test_sub\" flag 0\n"
              "    [ ] \"New\" -> \"@Test New\"\n");
}

TEST_F(MenuTree, MenusWithoutAnIdAreNewEachTime) {
    Menu* a = MakeNamedMenu("A", nullptr, 1);
    Menu* b = MakeNamedMenu("A", "", 1);
    MakeMenuItem(a, "Only in a", "@Test A", 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(obsidel::menuText(*b), "menu \"A\" id \"\" flag 1\n");
}

TEST_F(MenuTree, RefusesToPutAMenuUnderItself) {
    Menu* top = MakeNamedMenu("Top", "test_top", 1);
    Menu* middle = MakeNamedMenu("Middle", "test_middle", 1);
    Menu* bottom = MakeNamedMenu("Bottom", "test_bottom", 1);
    ASSERT_NE(MakeSubmenu(top, middle, "Middle"), nullptr);
    ASSERT_NE(MakeSubmenu(middle, bottom, "Bottom"), nullptr);

    EXPECT_EQ(MakeSubmenu(top, top, "Self"), nullptr);
    EXPECT_EQ(MakeSubmenu(bottom, top, "Loop"), nullptr);
    EXPECT_EQ(obsidel::menuText(*top),
              "menu \"Top\" id \"test_top\" flag 1\n"
              "  > \"Middle\" menu \"Middle\" id \"test_middle\" flag 1\n"
              "    > \"Bottom\" menu \"Bottom\" id \"test_bottom\" flag 1\n");
    // The same menu twice side by side is no loop.
    EXPECT_NE(MakeSubmenu(top, bottom, "Bottom again"), nullptr);
}

TEST_F(MenuTree, ToleratesMissingMenusAndTexts) {
    EXPECT_EQ(MakeMenuItem(nullptr, "x", "y", 0), nullptr);
    EXPECT_EQ(MakeMenuItemInt(nullptr, "x", "y", 0, 0, 1), nullptr);
    EXPECT_EQ(MakeMenuNOP(nullptr, nullptr), nullptr);
    Menu* menu = MakeNamedMenu(nullptr, "test_null", 1);
    EXPECT_EQ(MakeSubmenu(menu, nullptr, "x"), nullptr);
    EXPECT_EQ(MakeSubmenu(nullptr, menu, "x"), nullptr);
    MakeMenuItem(menu, nullptr, nullptr, 1);
    EXPECT_EQ(obsidel::menuText(*menu), "menu \"\" id \"test_null\" flag 1\n  [x] \"\" -> \"\"\n");
}

TEST_F(MenuTree, ShowMenuRemembersTheMenuShownLast) {
    EXPECT_EQ(obsidel::shownMenu(), nullptr);
    auto before = obsidel::menuShowCount();
    Menu* a = MakeNamedMenu("A", "test_a", 1);
    Menu* b = MakeNamedMenu("B", "test_b", 1);
    ShowMenu(a);
    ShowMenu(b);
    ShowMenu(nullptr);
    EXPECT_EQ(obsidel::shownMenu(), b);
    EXPECT_EQ(obsidel::menuShowCount(), before + 2);
}

}  // namespace

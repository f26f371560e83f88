// Picking a menu entry by its path, as `obsidel --pick` and tests do.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "menu_text.h"
#include "menu_tree.h"

namespace {

class MenuPath : public ::testing::Test {
protected:
    void SetUp() override {
        // A small menu shaped like a plug-in's: submenus, a label with a
        // slash, an integer item, a separator and a submenu and item that
        // share a text.
        main = MakeNamedMenu("Plugin", "path_main", 1);
        Menu* config = MakeNamedMenu("Configuration", "path_config", 1);
        MakeMenuItem(config, "Always On Top", "@P AlwaysOnTop", 1);
        MakeMenuNOP(config, nullptr);
        MakeMenuItemInt(config, "Alpha Value", "@P TransparencyAlpha", 60, 0, 255);
        Menu* fps = MakeNamedMenu("FPS", "path_fps", 1);
        MakeMenuItem(fps, "10", "@P SetFPS 10", 0);
        MakeMenuItem(fps, "30", "@P SetFPS 30", 0);
        MakeSubmenu(config, fps, "FPS");
        Menu* drop = MakeNamedMenu("Peak Drop Speed", "path_drop", 1);
        MakeMenuItem(drop, "1/10", "@P SetPeakDrop 1", 1);
        MakeMenuItem(drop, "7/10", "@P SetPeakDrop 7", 0);
        MakeSubmenu(config, drop, "Peak Drop Speed");
        MakeSubmenu(main, config, "Configuration");
        Menu* twin = MakeNamedMenu("Twin", "path_twin", 1);
        MakeMenuItem(twin, "Inside", "@P Inside", 0);
        MakeSubmenu(main, twin, "Twin");
        MakeMenuItem(main, "Twin", "@P TwinItem", 0);
        MakeMenuItem(main, "About", "@P About", 0);
    }
    void TearDown() override { obsidel::clearMenus(); }
    Menu* main = nullptr;
};

TEST_F(MenuPath, PathsNameItemsAndGiveTheirCommands) {
    struct Case {
        const char* path;
        std::optional<int> value;
        const char* command;
    };
    const Case cases[] = {
        {"About", std::nullopt, "@P About"},
        {"Configuration/Always On Top", std::nullopt, "@P AlwaysOnTop"},
        {"Configuration/FPS/30", std::nullopt, "@P SetFPS 30"},
        {"Configuration/Peak Drop Speed/7/10", std::nullopt, "@P SetPeakDrop 7"},
        {"Configuration/Alpha Value", 200, "@P TransparencyAlpha 200"},
        {"Configuration/Alpha Value", 0, "@P TransparencyAlpha 0"},
        {"Configuration/Alpha Value", 255, "@P TransparencyAlpha 255"},
        {"Twin/Inside", std::nullopt, "@P Inside"},
        {"Twin", std::nullopt, "@P TwinItem"},
    };
    for (const Case& c : cases) {
        std::string error;
        auto command = obsidel::commandForPath(*main, c.path, c.value, error);
        ASSERT_TRUE(command) << c.path << ": " << error;
        EXPECT_EQ(*command, c.command) << c.path;
    }
}

TEST_F(MenuPath, RefusesPathsThatNameNoItemOrValuesThatDoNotFit) {
    struct Case {
        const char* path;
        std::optional<int> value;
        const char* reason;
    };
    const Case cases[] = {
        {"", std::nullopt, "the menu \"Plugin\" has no entry \"\""},
        {"Configuration/FPS/25", std::nullopt, "the menu \"Plugin\" has no entry \"Configuration/FPS/25\""},
        {"configuration/FPS/30", std::nullopt, "the menu \"Plugin\" has no entry \"configuration/FPS/30\""},
        {"Configuration/FPS", std::nullopt, "\"Configuration/FPS\" is a submenu, not an item"},
        {"Configuration/FPS/", std::nullopt, "the menu \"Plugin\" has no entry \"Configuration/FPS/\""},
        {"About", 3, "\"About\" takes no value"},
        {"Configuration/Alpha Value", std::nullopt,
         "\"Configuration/Alpha Value\" needs a value from 0 to 255 (PATH=VALUE)"},
        {"Configuration/Alpha Value", 256, "the value 256 of \"Configuration/Alpha Value\" is not within 0..255"},
        {"Configuration/Alpha Value", -1, "the value -1 of \"Configuration/Alpha Value\" is not within 0..255"},
    };
    for (const Case& c : cases) {
        std::string error;
        auto command = obsidel::commandForPath(*main, c.path, c.value, error);
        EXPECT_FALSE(command) << c.path << " gave " << command.value_or("");
        EXPECT_EQ(error, c.reason) << c.path;
    }
}

TEST(MenuPathText, SplitsAnIntegerValueOffTheEnd) {
    struct Case {
        const char* text;
        const char* path;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"Configuration/Alpha Value=200", "Configuration/Alpha Value", 200},
        {"A=-3", "A", -3},
        {"A=+4", "A", 4},
        {"x=1=2", "x=1", 2},
        {"Configuration/FPS/30", "Configuration/FPS/30", std::nullopt},
        {"A=B", "A=B", std::nullopt},
        {"A=", "A=", std::nullopt},
        {"A=-", "A=-", std::nullopt},
        {"A=99999999999", "A=99999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string path;
        std::optional<int> value = 12345;
        obsidel::splitPathAndValue(c.text, path, value);
        EXPECT_EQ(path, c.path) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

}  // namespace

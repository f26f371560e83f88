// The configuration menu as the host receives it: the whole tree for the
// default state, and the check marks that follow the state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/menu.h"
#include "menu_text.h"
#include "menu_tree.h"
#include "plugin_fixture.h"
#include "test_support.h"

namespace {

std::string rightClick(HWND window, UINT message = WM_RBUTTONUP) {
    auto before = obsidel::menuShowCount();
    SendMessageA(window, message, 0, 0);
    EXPECT_EQ(obsidel::menuShowCount(), before + 1) << "no menu was shown";
    return obsidel::shownMenu() ? obsidel::menuText(*obsidel::shownMenu()) : "";
}

// The submenu at `path` (texts joined by "/") of the menu shown last.
const Menu* shownSubmenu(const std::string& path) {
    const Menu* menu = obsidel::shownMenu();
    std::string rest = path;
    while (menu && !rest.empty()) {
        auto slash = rest.find('/');
        std::string text = rest.substr(0, slash);
        rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
        const Menu* next = nullptr;
        for (const auto& item : menu->items)
            if (item->kind == MenuItem::Kind::Submenu && item->text == text) next = item->submenu;
        menu = next;
    }
    return menu;
}

std::vector<std::string> labels(const Menu& menu) {
    std::vector<std::string> texts;
    for (const auto& item : menu.items) texts.push_back(item->text);
    return texts;
}

std::vector<std::string> checkedLabels(const Menu& menu) {
    std::vector<std::string> texts;
    for (const auto& item : menu.items)
        if (item->kind == MenuItem::Kind::Command && item->checked) texts.push_back(item->text);
    return texts;
}

std::vector<std::string> numbers(int from, int to) {
    std::vector<std::string> texts;
    for (int i = from; i <= to; ++i) texts.push_back(std::to_string(i));
    return texts;
}

TEST(ConfigMenu, TheDefaultStateGivesTheWholeTreeOfTheMenuTables) {
    commandtest::StartedPlugin plugin("");
    ASSERT_TRUE(plugin.started());
    std::string expected = testsupport::readFile(DEFAULT_MENU_FILE);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(rightClick(plugin.window(), WM_RBUTTONUP), expected);
    EXPECT_EQ(rightClick(plugin.window(), WM_NCRBUTTONUP), expected);
}

TEST(ConfigMenu, ARebuildAfterAToggleGivesEveryMenuTheFlagZeroAndTheNewMark) {
    commandtest::StartedPlugin plugin("");
    commandtest::broadcast("@VumiraInternal AlwaysOnTop");
    ASSERT_NE(obsidel::shownMenu(), nullptr);
    std::string text = obsidel::menuText(*obsidel::shownMenu());
    EXPECT_EQ(text.find("flag 1"), std::string::npos) << text;
    EXPECT_NE(text.find("    [ ] \"Always On Top\" -> \"@VumiraInternal AlwaysOnTop\"\n"), std::string::npos)
        << text;
}

struct MarkCase {
    const char* rc;
    const char* command;  // sent before the right click, when given
    const char* submenu;
    std::vector<std::string> checked;
};

std::ostream& operator<<(std::ostream& out, const MarkCase& c) {
    return out << c.submenu << " with rc \"" << c.rc << "\" and command \"" << (c.command ? c.command : "") << "\"";
}

class CheckMarks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(CheckMarks, FollowTheStateAtTheRightClick) {
    const MarkCase& c = GetParam();
    commandtest::StartedPlugin plugin(c.rc);
    if (c.command) commandtest::broadcast(c.command);
    rightClick(plugin.window());
    const Menu* menu = shownSubmenu(c.submenu);
    ASSERT_NE(menu, nullptr) << c.submenu;
    EXPECT_EQ(checkedLabels(*menu), c.checked);
}

const MarkCase kMarks[] = {
    // 25 frames a second is an interval of 40 ms, which no item gives.
    {"", nullptr, "Configuration/FPS", {}},
    {"Vumira.plugin.wave.fps: 30\n", nullptr, "Configuration/FPS", {"30"}},
    {"", "@VumiraInternal SetFPS 30", "Configuration/FPS", {"30"}},
    {"Vumira.plugin.style.peakDrop: 7\n", nullptr, "Configuration/Peak Drop Speed", {"7/10"}},
    {"", nullptr, "Configuration/Peak Drop Speed", {"1/10"}},
    {"", nullptr, "Configuration/Motion Blur Alpha", {"120"}},
    {"Vumira.plugin.motionbluralpha: 125\n", nullptr, "Configuration/Motion Blur Alpha", {}},
    {"Vumira.plugin.motionbluralpha: 250\n", nullptr, "Configuration/Motion Blur Alpha", {}},
    {"Vumira.plugin.motionbluralpha: 240\n", nullptr, "Configuration/Motion Blur Alpha", {"240"}},
    {"Vumira.plugin.style.tabPosition: BR\n", nullptr, "Configuration/Tab Position", {}},
    {"Vumira.plugin.style.tabPosition: tl\n", nullptr, "Configuration/Tab Position", {"Top Left"}},
    {"Vumira.plugin.style.scopeType: v\n", nullptr, "Configuration/Orientation", {"Vertical"}},
    {"Vumira.plugin.style.peakType: line\n", nullptr, "Configuration/Peak Marker Type", {"Line"}},
    {"Vumira.plugin.wave.KHz: 44\nVumira.plugin.wave.bit: 8\n", nullptr, "Configuration/KHz", {"44"}},
    {"Vumira.plugin.wave.KHz: 44\nVumira.plugin.wave.bit: 8\n", nullptr, "Configuration/Bit", {"8"}},
    {"Vumira.plugin.wave.buffsize: 256\n", nullptr, "Configuration/Buffer Size", {"256"}},
    {"Vumira.plugin.style.maxBarHeight: 128\n", nullptr, "Configuration/Max Bar Height", {"128"}},
    {"Vumira.plugin.style.maxBarHeight: 129\n", nullptr, "Configuration/Max Bar Height", {}},
    {"Vumira.plugin.inSlit: true\n", nullptr, "Configuration",
     {"Always On Top", "Docked to Slit", "Snap Window To Edge", "Toggle With Plugins", "Show Border",
      "Start Monitor on Startup"}},
    {"Vumira.plugin.alwaysontop: false\nVumira.plugin.transparency.enabled: true\nVumira.plugin.wave.peaks: true\n"
     "Vumira.plugin.motionblur: true\nVumira.plugin.wave.StartWaveMonitorOnStartUp: false\n",
     nullptr, "Configuration",
     {"Snap Window To Edge", "Toggle With Plugins", "Show Border", "Transparency Enabled", "Motion Blur",
      "Show peak markers"}},
    // "Monitor Wave?" shows whether capture runs; Edit and About are never marked.
    {"", nullptr, "", {"Monitor Wave?"}},
    {"Vumira.plugin.wave.StartWaveMonitorOnStartUp: false\n", nullptr, "", {}},
    {"", "@VumiraInternal ToggleRecord", "", {}},
    // The presets are never marked, whatever the colour keys hold.
    {"", "@VumiraInternal SetStyle2", "Configuration/Visual Style", {}},
};
INSTANTIATE_TEST_SUITE_P(Menu, CheckMarks, ::testing::ValuesIn(kMarks));

struct RangeCase {
    const char* rc;
    const char* command;
    std::vector<std::string> freqMin, freqMinChecked, freqMax, freqMaxChecked;
};

std::ostream& operator<<(std::ostream& out, const RangeCase& c) {
    return out << "rc \"" << c.rc << "\" and command \"" << (c.command ? c.command : "") << "\"";
}

class FrequencyLists : public ::testing::TestWithParam<RangeCase> {};

TEST_P(FrequencyLists, OfferOnlyRangesWithTheLowestBandBelowTheHighest) {
    const RangeCase& c = GetParam();
    commandtest::StartedPlugin plugin(c.rc);
    if (c.command) commandtest::broadcast(c.command);
    rightClick(plugin.window());
    const Menu* low = shownSubmenu("Configuration/Freq Min");
    const Menu* high = shownSubmenu("Configuration/Freq Max");
    ASSERT_NE(low, nullptr);
    ASSERT_NE(high, nullptr);
    EXPECT_EQ(labels(*low), c.freqMin);
    EXPECT_EQ(checkedLabels(*low), c.freqMinChecked);
    EXPECT_EQ(labels(*high), c.freqMax);
    EXPECT_EQ(checkedLabels(*high), c.freqMaxChecked);
}

const RangeCase kRanges[] = {
    // The defaults: buffer 64, bands 0 to 32.
    {"", nullptr, numbers(0, 31), {"0"}, numbers(1, 63), {"32"}},
    {"Vumira.plugin.wave.freqmin: 10\nVumira.plugin.wave.freqmax: 20\n", nullptr, numbers(0, 19), {"10"},
     numbers(11, 63), {"20"}},
    {"Vumira.plugin.wave.buffsize: 32\nVumira.plugin.wave.freqmax: 31\n", nullptr, numbers(0, 30), {"0"},
     numbers(1, 31), {"31"}},
    // With freqMax 0 the lowest list is empty, and still attached.
    {"Vumira.plugin.wave.freqmax: 0\n", nullptr, {}, {}, numbers(1, 63), {}},
    // With freqMin at bufferSize - 1 the highest list is empty.
    {"", "@VumiraInternal SetFreqMin 63", numbers(0, 31), {}, {}, {}},
};
INSTANTIATE_TEST_SUITE_P(Menu, FrequencyLists, ::testing::ValuesIn(kRanges));

TEST(ConfigMenu, EveryPeakDropFrom1To20IsWrittenBackAndMarkedAsSent) {
    commandtest::StartedPlugin plugin("");
    for (int tenths = 1; tenths <= 20; ++tenths) {
        commandtest::broadcast("@VumiraInternal SetPeakDrop " + std::to_string(tenths));
        EXPECT_EQ(commandtest::rcEntries(plugin.rcPath()).at("Vumira.plugin.style.peakDrop:"),
                  std::to_string(tenths));
        rightClick(plugin.window());
        const Menu* drop = shownSubmenu("Configuration/Peak Drop Speed");
        ASSERT_NE(drop, nullptr);
        EXPECT_EQ(checkedLabels(*drop), std::vector<std::string>{std::to_string(tenths) + "/10"});
    }
}

TEST(ConfigMenu, BufferSizesArePowersOfTwo) {
    // powerOfTwo is the recursion 2^n with 1 for n of 0 or less.
    struct Case {
        int n, power;
    };
    for (auto [n, power] : {Case{-3, 1}, Case{0, 1}, Case{1, 2}, Case{5, 32}, Case{8, 256}, Case{10, 1024}})
        EXPECT_EQ(vumira::powerOfTwo(n), power) << n;
}

}  // namespace

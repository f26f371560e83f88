// The host's own messages to the plug-in: the show and hide broadcasts,
// and the reconfigure message with capture running and idle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/plugin_state.h"
#include "host_window.h"
#include "menu_tree.h"
#include "plugin_fixture.h"
#include "slit.h"

namespace {

struct ShowHideCase {
    const char* name;
    const char* rc;
    bool inSlit;  // started in the host's slit
    std::vector<const char*> commands;
    bool hidden;   // pluginsHidden afterwards
    bool visible;  // the window afterwards
};

std::ostream& operator<<(std::ostream& out, const ShowHideCase& c) { return out << c.name; }

class ShowHide : public ::testing::TestWithParam<ShowHideCase> {};

TEST_P(ShowHide, HidesTheWindowOnlyWhenFloatingAndToggledWithThePlugins) {
    const ShowHideCase& c = GetParam();
    HWND slit = c.inSlit ? obsidel::createSlit(GetModuleHandleA(nullptr)) : nullptr;
    {
        commandtest::StartedPlugin plugin(c.rc, slit);
        ASSERT_TRUE(plugin.started());
        ASSERT_EQ(vumira::plugin.inSlit, c.inSlit);
        auto rcBefore = commandtest::rcEntries(plugin.rcPath());
        auto status = commandtest::statusTextsDuring([&] {
            for (const char* command : c.commands) commandtest::broadcast(command);
        });
        EXPECT_EQ(vumira::plugin.pluginsHidden, c.hidden);
        EXPECT_EQ(IsWindowVisible(plugin.window()) != 0, c.visible);
        // Showing and hiding are not settings: nothing is announced or written.
        EXPECT_TRUE(status.empty());
        EXPECT_EQ(commandtest::rcEntries(plugin.rcPath()), rcBefore);
        if (c.visible && !c.inSlit) {
            RECT rect{};
            GetWindowRect(plugin.window(), &rect);
            EXPECT_EQ(rect.left, 10);
            EXPECT_EQ(rect.top, 10);
            EXPECT_EQ(rect.right - rect.left, 100);
            EXPECT_EQ(rect.bottom - rect.top, 25);
        }
        // Leave the flag as a fresh module has it: start does not reset it.
        vumira::plugin.pluginsHidden = false;
    }
    if (slit) obsidel::destroySlit();
}

const char* kDocked = "Vumira.plugin.inSlit: true\n";
const char* kNotToggled = "Vumira.plugin.togglewithplugins: false\n";

INSTANTIATE_TEST_SUITE_P(
    HostBroadcasts, ShowHide,
    ::testing::Values(ShowHideCase{"hide", "", false, {"@OBHidePlugins"}, true, false},
                      ShowHideCase{"hideInLowerCase", "", false, {"@obhideplugins"}, true, false},
                      ShowHideCase{"hideThenShow", "", false, {"@OBHidePlugins", "@OBShowPlugins"}, false, true},
                      ShowHideCase{"hideNotToggled", kNotToggled, false, {"@OBHidePlugins"}, true, true},
                      ShowHideCase{"hideDocked", kDocked, true, {"@OBHidePlugins"}, false, true},
                      ShowHideCase{"showDockedLeavesTheFlag", kDocked, true, {"@OBShowPlugins"}, false, true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(HostBroadcasts, TurningToggleWithPluginsOffShowsAHiddenWindow) {
    commandtest::StartedPlugin plugin("");
    commandtest::broadcast("@OBHidePlugins");
    ASSERT_FALSE(IsWindowVisible(plugin.window()));
    commandtest::broadcast("@VumiraInternal ToggleWithPlugins");
    EXPECT_TRUE(vumira::plugin.pluginsHidden);
    EXPECT_TRUE(IsWindowVisible(plugin.window()));
    vumira::plugin.pluginsHidden = false;
}

struct ReconfigureCase {
    const char* name;
    const char* rc;
    bool capturing;
};

std::ostream& operator<<(std::ostream& out, const ReconfigureCase& c) { return out << c.name; }

class Reconfigure : public ::testing::TestWithParam<ReconfigureCase> {};

TEST_P(Reconfigure, RereadsEverySettingAndRestartsOnlyARunningCapture) {
    const ReconfigureCase& c = GetParam();
    commandtest::StartedPlugin plugin(c.rc);
    ASSERT_EQ(vumira::plugin.capturing.load(), c.capturing ? 1 : 0);
    ASSERT_NE(GetWindowLongA(plugin.window(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    // Another program changes the rc file behind the plug-in's back.
    testsupport::writeFile(plugin.rcPath(), std::string(c.rc) +
                                                "Vumira.plugin.wave.KHz: 8\n"
                                                "Vumira.plugin.alwaysontop: false\n"
                                                "Vumira.plugin.wave.buffsize: 1000\n"
                                                "Vumira.plugin.style.ScopeColor: menu.frame.color\n");
    auto captureBefore = commandtest::captureCounts();
    auto showsBefore = obsidel::menuShowCount();
    commandtest::markWindowState(plugin.window());
    auto status = commandtest::statusTextsDuring([] { obsidel::reconfigure(); });

    EXPECT_EQ(vumira::plugin.sampleRateKHz, 8);
    EXPECT_FALSE(vumira::plugin.alwaysOnTop);
    EXPECT_EQ(vumira::plugin.bufferSize, 256);  // the loader's clamp
    EXPECT_STREQ(vumira::plugin.scopeColorKey, "menu.frame.color:");
    EXPECT_TRUE(commandtest::windowStateApplied(plugin.window()));
    EXPECT_EQ(GetWindowLongA(plugin.window(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(obsidel::menuShowCount(), showsBefore);
    EXPECT_TRUE(status.empty());

    auto captureAfter = commandtest::captureCounts();
    EXPECT_EQ(vumira::plugin.capturing.load(), c.capturing ? 1 : 0);
    if (c.capturing) {
        EXPECT_EQ(captureAfter.closed - captureBefore.closed, 1);
        EXPECT_EQ(captureAfter.opened - captureBefore.opened, 1);
        EXPECT_EQ(captureAfter.lastRate, 8000u);  // started with the values just read
    } else {
        EXPECT_EQ(captureAfter.closed, captureBefore.closed);
        EXPECT_EQ(captureAfter.opened, captureBefore.opened);
    }
}

INSTANTIATE_TEST_SUITE_P(HostMessages, Reconfigure,
                         ::testing::Values(ReconfigureCase{"capturing", "", true},
                                           ReconfigureCase{"idle",
                                                           "Vumira.plugin.wave.StartWaveMonitorOnStartUp: false\n",
                                                           false}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(CaptureRestart, StartsAgainWithTheFormatJustSet) {
    struct Case {
        const char* command;
        unsigned rate;
    };
    commandtest::StartedPlugin plugin("");
    for (auto [command, rate] : {Case{"@VumiraInternal SetKHz 8", 8000}, Case{"@VumiraInternal SetKHz 44", 44000},
                                 Case{"@VumiraInternal SetFPS 50", 44000}}) {
        auto before = commandtest::captureCounts();
        commandtest::broadcast(command);
        auto after = commandtest::captureCounts();
        EXPECT_EQ(after.opened - before.opened, 1) << command;
        EXPECT_EQ(after.lastRate, rate) << command;
        EXPECT_EQ(vumira::plugin.capturing.load(), 1) << command;
    }
}

}  // namespace

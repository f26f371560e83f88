// Every command as the host broadcasts it: what it changes in the state,
// what it writes to the rc file, and what follows (status text, window
// state, menu, capture). Each case starts the plug-in afresh from a small
// rc file (the defaults unless the case says otherwise), with capture
// running on a built-in signal.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "menu_tree.h"
#include "plugin_fixture.h"

namespace {

using commandtest::Fields;

enum class Capture { Untouched, Restarted, Stopped, Started };

struct Case {
    const char* command;
    Fields state;                                 // the fields that change, with their new values
    std::map<std::string, std::string> written;   // rc keys written, with their values
    const char* status = nullptr;                 // the status text, when one is shown
    bool window = false;                          // the window state is applied again
    bool menu = false;                            // the menu is rebuilt (flag 0)
    Capture capture = Capture::Untouched;
    const char* rc = "";                          // the rc file to start from
};

std::ostream& operator<<(std::ostream& out, const Case& c) {
    return out << "\"" << c.command << "\" from rc \"" << c.rc << "\"";
}

constexpr const char* kIdle = "Vumira.plugin.wave.StartWaveMonitorOnStartUp: false\n";

// Keys and values as the rc file holds them: bools as true/false.
const Case kCommandTable[] = {
    {"@VumiraInternal SlitToggle", {}, {{"Vumira.plugin.inSlit:", "false"}},
     "VumiraPlugin -> SlitToggle disabled!", true, true},
    {"@VumiraInternal MonitorStartUp", {{"startMonitorOnStartup", "0"}},
     {{"Vumira.plugin.wave.StartWaveMonitorOnStartUp:", "false"}}, "VumiraPlugin -> MonitorStartUp disabled!", true,
     true},
    {"@VumiraInternal MonitorStartUp", {{"startMonitorOnStartup", "1"}},
     {{"Vumira.plugin.wave.StartWaveMonitorOnStartUp:", "true"}}, "VumiraPlugin -> MonitorStartUp enabled!", true,
     true, Capture::Untouched, kIdle},
    {"@VumiraInternal PeakMarkers", {{"peakMarkers", "1"}}, {{"Vumira.plugin.wave.peaks:", "true"}},
     "VumiraPlugin -> PeakMarkers enabled!", true, true},
    {"@VumiraInternal AlwaysOnTop", {{"alwaysOnTop", "0"}}, {{"Vumira.plugin.alwaysontop:", "false"}},
     "VumiraPlugin -> AlwaysOnTop disabled!", true, true},
    {"@VumiraInternal SnapWindowToEdge", {{"snapWindow", "0"}}, {{"Vumira.plugin.snapwindow:", "false"}},
     "VumiraPlugin -> SnapWindowToEdge disabled!", true, true},
    {"@VumiraInternal TransparencyEnabled", {{"transparencyEnabled", "1"}},
     {{"Vumira.plugin.transparency.enabled:", "true"}}, "VumiraPlugin -> TransparencyEnabled enabled!", true, true},
    {"@VumiraInternal ToggleBorder", {{"showBorder", "0"}}, {{"Vumira.plugin.showBorder:", "false"}},
     "VumiraPlugin -> ToggleBorder disabled!", true, true},
    {"@VumiraInternal TransbackEnabled", {{"transBackEnabled", "1"}}, {{"Vumira.plugin.transback.enabled:", "true"}},
     "VumiraPlugin -> TransbackEnabled enabled!", true, true},
    {"@VumiraInternal TransparencyAlpha 200", {{"transparencyAlpha", "200"}},
     {{"Vumira.plugin.transparency.alpha:", "200"}}, nullptr, true, false},
    {"@VumiraInternal ToggleWithPlugins", {{"toggleWithPlugins", "0"}},
     {{"Vumira.plugin.togglewithplugins:", "false"}}, "VumiraPlugin -> ToggleWithPlugins disabled!", true, true},
    {"@VumiraInternal Edit", {}, {}},
    {"@VumiraInternal About", {}, {}},
    {"@VumiraInternal ToggleRecord", {{"capturing", "0"}}, {}, nullptr, false, false, Capture::Stopped},
    {"@VumiraInternal ToggleRecord", {{"capturing", "1"}}, {}, nullptr, false, false, Capture::Started, kIdle},
    {"@VumiraInternal ToggleBlur", {{"motionBlur", "1"}}, {{"Vumira.plugin.motionblur:", "true"}},
     "VumiraPlugin -> ToggleBlur enabled!", true, true},
    {"@VumiraInternal SetBlurAlpha 300", {{"motionBlurAlpha", "44"}}, {{"Vumira.plugin.motionbluralpha:", "44"}}},
    {"@VumiraInternal SetBlurAlpha 200", {{"motionBlurAlpha", "200"}}, {{"Vumira.plugin.motionbluralpha:", "200"}}},
    {"@VumiraInternal SetKHz 8", {{"sampleRateKHz", "8"}}, {{"Vumira.plugin.wave.KHz:", "8"}}, nullptr, false, false,
     Capture::Restarted},
    {"@VumiraInternal SetKHz 44", {{"sampleRateKHz", "44"}}, {{"Vumira.plugin.wave.KHz:", "44"}}, nullptr, false,
     false, Capture::Untouched, kIdle},
    {"@VumiraInternal SetFreqMin 5", {{"freqMin", "5"}, {"bandCount", "27"}}, {{"Vumira.plugin.wave.freqmin:", "5"}}},
    {"@VumiraInternal SetFreqMax 40", {{"freqMax", "40"}, {"bandCount", "40"}},
     {{"Vumira.plugin.wave.freqmax:", "40"}}},
    {"@VumiraInternal SetBufferSize 128", {{"bufferSize", "128"}}, {{"Vumira.plugin.wave.buffsize:", "128"}}, nullptr,
     false, false, Capture::Restarted},
    {"@VumiraInternal SetBufferSize 32", {{"bufferSize", "32"}, {"freqMax", "31"}, {"bandCount", "31"}},
     {{"Vumira.plugin.wave.buffsize:", "32"}}, nullptr, false, false, Capture::Restarted,
     "Vumira.plugin.wave.freqmax: 63\n"},
    {"@VumiraInternal SetBufferSize 32",
     {{"bufferSize", "32"}, {"freqMin", "0"}, {"freqMax", "31"}, {"bandCount", "31"}},
     {{"Vumira.plugin.wave.buffsize:", "32"}}, nullptr, false, false, Capture::Restarted,
     "Vumira.plugin.wave.freqmin: 40\nVumira.plugin.wave.freqmax: 63\n"},
    {"@VumiraInternal SetBit 8", {{"bitsPerSample", "8"}}, {{"Vumira.plugin.wave.bit:", "8"}}, nullptr, false, false,
     Capture::Restarted},
    {"@VumiraInternal SetFPS 30", {{"frameIntervalMs", "33"}}, {{"Vumira.plugin.wave.fps:", "30"}}, nullptr, false,
     false, Capture::Restarted},
    {"@VumiraInternal SetTabHT", {{"tabPosition", "ht"}}, {{"Vumira.plugin.style.tabPosition:", "ht"}}},
    {"@VumiraInternal SetTabTR", {{"tabPosition", "tr"}}, {{"Vumira.plugin.style.tabPosition:", "tr"}}},
    {"@VumiraInternal SetTabBL", {{"tabPosition", "bl"}}, {{"Vumira.plugin.style.tabPosition:", "bl"}}},
    {"@VumiraInternal SetTabBR", {}, {{"Vumira.plugin.style.tabPosition:", "br"}}},
    {"@VumiraInternal SetTabTL", {{"tabPosition", "tl"}}, {{"Vumira.plugin.style.tabPosition:", "tl"}}},
    {"@VumiraInternal SetScopeV", {{"scopeType", "v"}}, {{"Vumira.plugin.style.scopeType:", "v"}}},
    {"@VumiraInternal SetScopeH", {}, {{"Vumira.plugin.style.scopeType:", "h"}}},
    {"@VumiraInternal SetPeakDot", {}, {{"Vumira.plugin.style.peakType:", "dot"}}},
    {"@VumiraInternal SetPeakLine", {{"peakType", "line"}}, {{"Vumira.plugin.style.peakType:", "line"}}},
    {"@VumiraInternal SetPeakDrop 7", {{"peakDropSpeed", "0.7"}}, {{"Vumira.plugin.style.peakDrop:", "7"}}},
    {"@VumiraInternal SetMaxHeight 100", {{"maxBarHeight", "100"}}, {{"Vumira.plugin.style.maxBarHeight:", "100"}}},
    {"@VumiraInternal SetStyle1",
     {{"scopeColorKey", "toolbar.windowLabel.color:"}, {"peakColorKey", "window.label.focus.textColor:"}},
     {{"Vumira.plugin.style.ScopeColor:", "toolbar.windowLabel.color"},
      {"Vumira.plugin.style.PeakColor:", "window.label.focus.textColor"}}},
    {"@VumiraInternal SetStyle2",
     {{"scopeColorKey", "window.label.focus.color:"}, {"peakColorKey", "menu.frame.color:"}},
     {{"Vumira.plugin.style.ScopeColor:", "window.label.focus.color"},
      {"Vumira.plugin.style.PeakColor:", "menu.frame.color"}}},
    {"@VumiraInternal SetStyle3",
     {{"scopeColorKey", "menu.frame.color:"}, {"peakColorKey", "window.label.focus.color:"}},
     {{"Vumira.plugin.style.ScopeColor:", "menu.frame.color"},
      {"Vumira.plugin.style.PeakColor:", "window.label.focus.color"}}},
    {"@VumiraInternal SetStyle4", {{"scopeColorKey", "menu.hilite.color:"}, {"peakColorKey", "menu.frame.color:"}},
     {{"Vumira.plugin.style.ScopeColor:", "menu.hilite.color"}, {"Vumira.plugin.style.PeakColor:", "menu.frame.color"}}},
    // The host's own preset broadcasts, as pluginInfo(7) announces them.
    {"@Vumira SetStyle 2", {{"scopeColorKey", "window.label.focus.color:"}, {"peakColorKey", "menu.frame.color:"}},
     {{"Vumira.plugin.style.ScopeColor:", "window.label.focus.color"},
      {"Vumira.plugin.style.PeakColor:", "menu.frame.color"}}},
    {"@vumira setstyle 4", {{"scopeColorKey", "menu.hilite.color:"}, {"peakColorKey", "menu.frame.color:"}},
     {{"Vumira.plugin.style.ScopeColor:", "menu.hilite.color"}, {"Vumira.plugin.style.PeakColor:", "menu.frame.color"}}},
};

// How names are matched and numbers read: letter case, blanks, signs,
// missing numbers, and numbers beyond what a setting can hold.
const Case kMatchingAndNumbers[] = {
    {"@vumirainternal alwaysontop", {{"alwaysOnTop", "0"}}, {{"Vumira.plugin.alwaysontop:", "false"}},
     "VumiraPlugin -> alwaysontop disabled!", true, true},
    {"@VUMIRAINTERNAL TOGGLEBLUR", {{"motionBlur", "1"}}, {{"Vumira.plugin.motionblur:", "true"}},
     "VumiraPlugin -> TOGGLEBLUR enabled!", true, true},
    {"@VumiraInternalToggleBlur", {{"motionBlur", "1"}}, {{"Vumira.plugin.motionblur:", "true"}},
     "VumiraPlugin -> ToggleBlur enabled!", true, true},
    {"@VumiraInternal     ToggleBlur", {{"motionBlur", "1"}}, {{"Vumira.plugin.motionblur:", "true"}},
     "VumiraPlugin -> ToggleBlur enabled!", true, true},
    {"@VumiraInternal \tToggleBlur", {}, {}},
    {"@VumiraInternal ToggleBlur ", {}, {}},
    {"@VumiraInternal setkhz 8", {}, {}},
    {"@VumiraInternal SetKHz", {}, {}},
    {"@VumiraInternal SetFPS30", {}, {}},
    {"@VumiraInternalSetKHz 8", {{"sampleRateKHz", "8"}}, {{"Vumira.plugin.wave.KHz:", "8"}}, nullptr, false, false,
     Capture::Restarted},
    {"@VumiraInternal xSetKHz 8", {{"sampleRateKHz", "8"}}, {{"Vumira.plugin.wave.KHz:", "8"}}, nullptr, false, false,
     Capture::Restarted},
    // The first Contains row that fits wins, and the number follows the first blank.
    {"@VumiraInternal SetBlurAlpha SetKHz 8", {{"motionBlurAlpha", "0"}}, {{"Vumira.plugin.motionbluralpha:", "0"}}},
    {"@VumiraInternal SetMaxHeight +12abc", {{"maxBarHeight", "12"}}, {{"Vumira.plugin.style.maxBarHeight:", "12"}}},
    {"@VumiraInternal SetMaxHeight   -7", {{"maxBarHeight", "-7"}}, {{"Vumira.plugin.style.maxBarHeight:", "-7"}}},
    {"@VumiraInternal SetMaxHeight x", {{"maxBarHeight", "0"}}, {{"Vumira.plugin.style.maxBarHeight:", "0"}}},
    {"@VumiraInternal SetMaxHeight \t 9", {{"maxBarHeight", "9"}}, {{"Vumira.plugin.style.maxBarHeight:", "9"}}},
    {"@VumiraInternal SetMaxHeight\t7", {}, {}},
    {"@VumiraInternal SetMaxHeight 99999999999", {{"maxBarHeight", "2147483647"}},
     {{"Vumira.plugin.style.maxBarHeight:", "2147483647"}}},
    {"@VumiraInternal SetMaxHeight -99999999999", {{"maxBarHeight", "-2147483648"}},
     {{"Vumira.plugin.style.maxBarHeight:", "-2147483648"}}},
    {"@VumiraInternal transparencyalpha 99", {{"transparencyAlpha", "99"}},
     {{"Vumira.plugin.transparency.alpha:", "99"}}, nullptr, true},
    {"@VumiraInternal TransparencyAlpha    7", {{"transparencyAlpha", "7"}},
     {{"Vumira.plugin.transparency.alpha:", "7"}}, nullptr, true},
    {"@VumiraInternal TransparencyAlpha", {}, {}},
    {"@VumiraInternal TransparencyAlphaX5", {}, {}},
    {"@VumiraInternal SetBlurAlpha -1", {{"motionBlurAlpha", "255"}}, {{"Vumira.plugin.motionbluralpha:", "255"}}},
    {"@VumiraInternal SetPeakDrop 20", {{"peakDropSpeed", "2"}}, {{"Vumira.plugin.style.peakDrop:", "20"}}},
    // A frame rate of 0 or less gives one frame a second; the number sent is written.
    {"@VumiraInternal SetFPS 0", {{"frameIntervalMs", "1000"}}, {{"Vumira.plugin.wave.fps:", "0"}}, nullptr, false,
     false, Capture::Restarted},
    {"@VumiraInternal SetFPS -5", {{"frameIntervalMs", "1000"}}, {{"Vumira.plugin.wave.fps:", "-5"}}, nullptr, false,
     false, Capture::Restarted},
    // Bands stay within the buffer, the buffer within 32 to 256 bytes: the
    // nearest bound is stored and written.
    {"@VumiraInternal SetFreqMin -3", {}, {{"Vumira.plugin.wave.freqmin:", "0"}}},
    {"@VumiraInternal SetFreqMin 999", {{"freqMin", "63"}, {"bandCount", "-31"}},
     {{"Vumira.plugin.wave.freqmin:", "63"}}},
    {"@VumiraInternal SetFreqMax 64", {{"freqMax", "63"}, {"bandCount", "63"}}, {{"Vumira.plugin.wave.freqmax:", "63"}}},
    {"@VumiraInternal SetFreqMax -1", {{"freqMax", "0"}, {"bandCount", "0"}}, {{"Vumira.plugin.wave.freqmax:", "0"}}},
    {"@VumiraInternal SetBufferSize 1000", {{"bufferSize", "256"}}, {{"Vumira.plugin.wave.buffsize:", "256"}}, nullptr,
     false, false, Capture::Restarted},
    {"@VumiraInternal SetBufferSize 256", {{"bufferSize", "256"}}, {{"Vumira.plugin.wave.buffsize:", "256"}}, nullptr,
     false, false, Capture::Restarted},
    {"@VumiraInternal SetBufferSize 8", {{"bufferSize", "32"}, {"freqMax", "31"}, {"bandCount", "31"}},
     {{"Vumira.plugin.wave.buffsize:", "32"}}, nullptr, false, false, Capture::Restarted},
    // Texts that are not this plug-in's commands.
    {"@VumiraInternal", {}, {}},
    {"@VumiraInternal Unknown", {}, {}},
    {"@VumiraInternal SetStyle5", {}, {}},
    {"@Vumira SetStyle 5", {}, {}},
    {"@Vumira SetStyle 1 ", {}, {}},
    {"@OBShowPluginsX", {}, {}},
    {"Hello", {}, {}},
    {"", {}, {}},
};

Fields changed(const Fields& before, const Fields& after) {
    Fields changes;
    for (const auto& [name, value] : after)
        if (before.at(name) != value) changes[name] = value;
    return changes;
}

std::map<std::string, std::string> written(const std::map<std::string, std::string>& before,
                                           const std::map<std::string, std::string>& after) {
    std::map<std::string, std::string> writes;
    for (const auto& [key, value] : after) {
        auto old = before.find(key);
        if (old == before.end() || old->second != value) writes[key] = value;
    }
    return writes;
}

class Command : public ::testing::TestWithParam<Case> {};

TEST_P(Command, ChangesWritesAndFollowsUpAsItsRowSays) {
    const Case& c = GetParam();
    commandtest::StartedPlugin plugin(c.rc);
    ASSERT_TRUE(plugin.started());
    HWND window = plugin.window();
    auto fieldsBefore = commandtest::pluginFields();
    auto rcBefore = commandtest::rcEntries(plugin.rcPath());
    auto captureBefore = commandtest::captureCounts();
    auto showsBefore = obsidel::menuShowCount();
    commandtest::markWindowState(window);

    auto status = commandtest::statusTextsDuring([&] { commandtest::broadcast(c.command); });

    EXPECT_EQ(changed(fieldsBefore, commandtest::pluginFields()), c.state);
    // Writing a key that the rc file holds with the same value leaves no
    // trace; the starting rc files never hold the keys that a case writes.
    EXPECT_EQ(written(rcBefore, commandtest::rcEntries(plugin.rcPath())), c.written);
    EXPECT_EQ(status, c.status ? std::vector<std::string>{c.status} : std::vector<std::string>{});
    EXPECT_EQ(commandtest::windowStateApplied(window), c.window);
    EXPECT_EQ(obsidel::menuShowCount() - showsBefore, c.menu ? 1u : 0u);
    if (c.menu) {
        EXPECT_EQ(obsidel::shownMenu()->flag, 0);
    }

    auto captureAfter = commandtest::captureCounts();
    int opened = captureAfter.opened - captureBefore.opened;
    int closed = captureAfter.closed - captureBefore.closed;
    switch (c.capture) {
    case Capture::Untouched:
        EXPECT_EQ(opened, 0);
        EXPECT_EQ(closed, 0);
        break;
    case Capture::Restarted:
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(opened, 1);
        break;
    case Capture::Stopped:
        EXPECT_EQ(closed, 1);
        EXPECT_EQ(opened, 0);
        break;
    case Capture::Started:
        EXPECT_EQ(closed, 0);
        EXPECT_EQ(opened, 1);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Command, ::testing::ValuesIn(kCommandTable));
INSTANTIATE_TEST_SUITE_P(MatchingAndNumbers, Command, ::testing::ValuesIn(kMatchingAndNumbers));

}  // namespace

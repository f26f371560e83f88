// The configuration menu, built afresh through the host's menu calls every
// time it is needed; check marks show the state at the moment of building.
#include "commands/menu.h"

#include <obsidel/api.h>

#include <bit>
#include <cmath>
#include <cstdio>

#include "base/limits.h"
#include "config/plugin_state.h"
#include "config/settings_table.h"

namespace vumira {
namespace {

// The generated items share these two buffers, one item after the other;
// the host copies both texts during each call.
char itemCommand[64];
char itemLabel[16];

struct Builder {
    int flag;

    Menu* menu(const char* title, const char* id) const { return MakeNamedMenu(title, id, flag); }
};

void item(Menu* menu, const char* text, const char* command, bool checked) {
    MakeMenuItem(menu, text, command, checked ? 1 : 0);
}

// One item per value, ascending: command "<commandFormat>" and label
// "<labelFormat>" formatted with the value.
template <typename Checked>
void generatedItem(Menu* menu, const char* commandFormat, const char* labelFormat, int value, Checked checked) {
    std::snprintf(itemCommand, sizeof itemCommand, commandFormat, value);
    std::snprintf(itemLabel, sizeof itemLabel, labelFormat, value);
    item(menu, itemLabel, itemCommand, checked(value));
}

void attach(Menu* parent, Menu* child, const char* title) { MakeSubmenu(parent, child, title); }

void addTabPosition(const Builder& b, Menu* config) {
    Menu* tab = b.menu("Tab Position", "Vumira_TabPosition");
    auto is = [](const char* position) { return textIs(SettingId::TabPosition, position); };
    item(tab, "Hide Tab", "@VumiraInternal SetTabHT", is("ht"));
    item(tab, "Top Right", "@VumiraInternal SetTabTR", is("tr"));
    item(tab, "Bottom Right", "@VumiraInternal SetTabBR", is("br"));
    item(tab, "Top Left", "@VumiraInternal SetTabTL", is("tl"));
    item(tab, "Bottom Left", "@VumiraInternal SetTabBL", is("bl"));
    attach(config, tab, "Tab Position");
}

void addOrientation(const Builder& b, Menu* config) {
    Menu* orientation = b.menu("Orientation", "Vumira_Orientation");
    item(orientation, "Vertical", "@VumiraInternal SetScopeV", textIs(SettingId::ScopeType, "v"));
    item(orientation, "Horizontal", "@VumiraInternal SetScopeH", textIs(SettingId::ScopeType, "h"));
    attach(config, orientation, "Orientation");
}

void addSampleFormat(const Builder& b, Menu* config) {
    Menu* rate = b.menu("KHz", "Vumira_KHz");
    item(rate, "8", "@VumiraInternal SetKHz 8", numberOf(SettingId::SampleRateKHz) == 8);
    item(rate, "16", "@VumiraInternal SetKHz 16", numberOf(SettingId::SampleRateKHz) == 16);
    item(rate, "44", "@VumiraInternal SetKHz 44", numberOf(SettingId::SampleRateKHz) == 44);
    attach(config, rate, "KHz");

    Menu* width = b.menu("Bit", "Vumira_Bit");
    item(width, "8", "@VumiraInternal SetBit 8", numberOf(SettingId::BitsPerSample) == 8);
    item(width, "16", "@VumiraInternal SetBit 16", numberOf(SettingId::BitsPerSample) == 16);
    attach(config, width, "Bit");
}

// The buffer sizes offered are the powers of two from the smallest buffer
// to the largest (32 .. 256: n = 5 .. 8).
static_assert(std::has_single_bit(static_cast<unsigned>(kBufferSizeMin)) &&
              std::has_single_bit(static_cast<unsigned>(kBufferSizeMax)));
constexpr int kFirstBufferExponent = std::countr_zero(static_cast<unsigned>(kBufferSizeMin));
constexpr int kLastBufferExponent = std::countr_zero(static_cast<unsigned>(kBufferSizeMax));

void addAnalysis(const Builder& b, Menu* config) {
    Menu* fps = b.menu("FPS", "Vumira_FPS");
    // The row of the frame rate holds the interval between repaints.
    const int interval = numberOf(SettingId::Fps);
    for (int v = 10; v <= 100; v += 10)
        generatedItem(fps, "@VumiraInternal SetFPS %d", "%d", v, [&](int x) { return 1000 / x == interval; });
    attach(config, fps, "FPS");

    Menu* buffer = b.menu("Buffer Size", "Vumira_BufferSize");
    const int bufferSize = numberOf(SettingId::BufferSize);
    for (int n = kFirstBufferExponent; n <= kLastBufferExponent; ++n)
        generatedItem(buffer, "@VumiraInternal SetBufferSize %d", "%d", powerOfTwo(n),
                      [&](int x) { return x == bufferSize; });
    attach(config, buffer, "Buffer Size");

    // The two lists only offer ranges in which freqMin stays below freqMax.
    const int freqMin = numberOf(SettingId::FreqMin);
    const int freqMax = numberOf(SettingId::FreqMax);
    Menu* low = b.menu("Freq Min", "Vumira_FreqMin");
    for (int i = 0; i < freqMax; ++i)
        generatedItem(low, "@VumiraInternal SetFreqMin %d", "%d", i, [&](int x) { return x == freqMin; });
    attach(config, low, "Freq Min");

    Menu* high = b.menu("Freq Max", "Vumira_FreqMax");
    for (int i = freqMin + 1; i < bufferSize; ++i)
        generatedItem(high, "@VumiraInternal SetFreqMax %d", "%d", i, [&](int x) { return x == freqMax; });
    attach(config, high, "Freq Max");
}

void addMotionBlur(const Builder& b, Menu* config) {
    item(config, "Motion Blur", "@VumiraInternal ToggleBlur", isOn(SettingId::MotionBlur));
    Menu* alpha = b.menu("Motion Blur Alpha", "Vumira_BlurAlpha");
    const int current = numberOf(SettingId::MotionBlurAlpha);
    for (int v = 10; v <= 240; v += 10)
        generatedItem(alpha, "@VumiraInternal SetBlurAlpha %d", "%d", v, [&](int x) { return x == current; });
    attach(config, alpha, "Motion Blur Alpha");
}

void addPeakMarkers(const Builder& b, Menu* config) {
    item(config, "Show peak markers", "@VumiraInternal PeakMarkers", isOn(SettingId::PeakMarkers));

    Menu* type = b.menu("Peak Marker Type", "Vumira_SetPeakType");
    item(type, "Dot", "@VumiraInternal SetPeakDot", textIs(SettingId::PeakType, "dot"));
    item(type, "Line", "@VumiraInternal SetPeakLine", textIs(SettingId::PeakType, "line"));
    attach(config, type, "Peak Marker Type");

    Menu* drop = b.menu("Peak Drop Speed", "Vumira_SetPeakDropSpeed");
    const long tenths = std::lround(realOf(SettingId::PeakDropSpeed) * 10.0);
    for (int i = 1; i <= 20; ++i)
        generatedItem(drop, "@VumiraInternal SetPeakDrop %d", "%d/10", i, [&](int x) { return x == tenths; });
    attach(config, drop, "Peak Drop Speed");
}

void addBarHeight(const Builder& b, Menu* config) {
    Menu* height = b.menu("Max Bar Height", "Vumira_SetMaxBarHeight");
    const int current = numberOf(SettingId::MaxBarHeight);
    for (int i = kBarHeightMin; i <= kBarHeightMax; ++i)
        generatedItem(height, "@VumiraInternal SetMaxHeight %d", "%d", i, [&](int x) { return x == current; });
    attach(config, height, "Max Bar Height");
}

void addVisualStyle(const Builder& b, Menu* config) {
    Menu* style = b.menu("Visual Style", "Vumira_SetStyle");
    item(style, "Style 1", "@Vumira SetStyle 1", false);
    item(style, "Style 2", "@Vumira SetStyle 2", false);
    item(style, "Style 3", "@Vumira SetStyle 3", false);
    item(style, "Style 4", "@Vumira SetStyle 4", false);
    attach(config, style, "Visual Style");
}

}  // namespace

int powerOfTwo(int n) { return n <= 0 ? 1 : 2 * powerOfTwo(n - 1); }

void buildConfigMenu(unsigned char flag) {
    const Builder b{flag};
    Menu* main = b.menu("VumiraPlugin", "Vumira_IDMain");
    Menu* config = b.menu("Configuration", "Vumira_IDConfig");

    item(config, "Always On Top", "@VumiraInternal AlwaysOnTop", isOn(SettingId::AlwaysOnTop));
    item(config, "Docked to Slit", "@VumiraInternal SlitToggle", isOn(SettingId::InSlit));
    item(config, "Snap Window To Edge", "@VumiraInternal SnapWindowToEdge", isOn(SettingId::SnapWindow));
    item(config, "Toggle With Plugins", "@VumiraInternal ToggleWithPlugins", isOn(SettingId::ToggleWithPlugins));
    item(config, "Show Border", "@VumiraInternal ToggleBorder", isOn(SettingId::ShowBorder));
    MakeMenuNOP(config, nullptr);
    item(config, "Start Monitor on Startup", "@VumiraInternal MonitorStartUp", isOn(SettingId::StartMonitorOnStartup));
    MakeMenuNOP(config, nullptr);
    item(config, "Transparency Enabled", "@VumiraInternal TransparencyEnabled", isOn(SettingId::TransparencyEnabled));
    item(config, "Transparent Back Enabled", "@VumiraInternal TransbackEnabled", isOn(SettingId::TransBackEnabled));
    MakeMenuItemInt(config, "Alpha Value", "@VumiraInternal TransparencyAlpha", numberOf(SettingId::TransparencyAlpha),
                    0, 255);
    addTabPosition(b, config);
    MakeMenuNOP(config, nullptr);
    addOrientation(b, config);
    MakeMenuNOP(config, nullptr);
    addSampleFormat(b, config);
    addAnalysis(b, config);
    MakeMenuNOP(config, nullptr);
    addMotionBlur(b, config);
    MakeMenuNOP(config, nullptr);
    addPeakMarkers(b, config);
    MakeMenuNOP(config, nullptr);
    addBarHeight(b, config);
    MakeMenuNOP(config, nullptr);
    addVisualStyle(b, config);

    attach(main, config, "Configuration");
    item(main, "Monitor Wave?", "@VumiraInternal ToggleRecord", plugin.capturing.load() != 0);
    MakeMenuNOP(main, nullptr);
    item(main, "Edit Vumira.rc", "@VumiraInternal Edit", false);
    item(main, "About Vumira", "@VumiraInternal About", false);

    ShowMenu(main);
}

}  // namespace vumira

// The broadcast command interpreter. Every option changes through a text
// command: the menu's picks and the host's own broadcasts arrive here as
// message 10901, the host's reconfigure as 10103.
#include "commands/interpreter.h"

#include <windows.h>

#include <obsidel/api.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

#include "audio/capture.h"
#include "base/identity.h"
#include "commands/matching.h"
#include "commands/menu.h"
#include "commands/spectrum_commands.h"
#include "config/plugin_state.h"
#include "config/settings.h"
#include "config/settings_table.h"
#include "config/spectrum_settings.h"
#include "config/style.h"
#include "display/window_state.h"
#include "signal/bands.h"

namespace vumira {
namespace {

constexpr char kPrefix[] = "@VumiraInternal";
constexpr std::size_t kStatusTextSize = 80;
constexpr std::size_t kBoxTextSize = MAX_PATH;

// Reads an optionally signed decimal number after white space; no digits
// read as 0. A number too large for an int reads as the nearest int, so a
// huge number is never taken for a small or negative one.
int readNumber(const char* text) {
    while (*text && std::isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// ---- follow-ups ----

// Stop and start again with the new values, only when capture was running.
void restartCapture() {
    if (!plugin.capturing.load()) return;
    stopCapture();
    startCapture();
}

// A new end of the band range changes the number of bands.
void recountBands() { plugin.bandCount = bandCountOf({plugin.freqMin.load(), plugin.freqMax.load()}); }

// A new buffer size takes the band range with it; only the size is written,
// not the range it adjusted.
void fitBandsToBuffer() {
    const BandRange range = fitBandRangeToBuffer({plugin.freqMin.load(), plugin.freqMax.load()}, plugin.bufferSize);
    plugin.freqMin.store(range.freqMin);
    plugin.freqMax.store(range.freqMax);
    plugin.bandCount = bandCountOf(range);
}

// The editor's argument text is split into words as a command line is, so
// a path with blanks goes in double quotes (with a backslash before each
// quote, and before backslashes that would otherwise escape one).
void quoteArgument(const char* path, char* out, std::size_t size) {
    if (!std::strpbrk(path, " \t\"")) {
        copyText(out, size, path);
        return;
    }
    std::size_t at = 0;
    auto put = [&](char c) {
        if (at + 1 < size) out[at++] = c;
    };
    put('"');
    for (const char* p = path; *p; ++p) {
        std::size_t backslashes = 0;
        while (p[backslashes] == '\\') ++backslashes;
        if (backslashes) {
            bool beforeQuote = p[backslashes] == '"' || p[backslashes] == '\0';
            for (std::size_t i = 0; i < (beforeQuote ? 2 * backslashes : backslashes); ++i) put('\\');
            p += backslashes - 1;
            continue;
        }
        if (*p == '"') put('\\');
        put(*p);
    }
    // The closing quote always fits: a cut text stays well formed.
    if (at + 2 > size) at = size - 2;
    out[at++] = '"';
    out[at] = '\0';
}

// ---- the commands that are more than a setting ----

void toggleSlit(const char* subCommand) {
    HWND window = plugin.pluginWindow.load();
    if (plugin.inSlit && plugin.slitWindow) {
        SendMessageA(plugin.slitWindow, SLIT_REMOVE, 0, reinterpret_cast<LPARAM>(window));
        SetWindowPos(window, nullptr, plugin.posX, plugin.posY, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        plugin.inSlit = false;
        applyWindowState();
    } else if (plugin.slitWindow) {
        plugin.inSlit = true;
        applyWindowState();
        SendMessageA(plugin.slitWindow, SLIT_ADD, 0, reinterpret_cast<LPARAM>(window));
    }
    // Started without a slit, the plug-in keeps inSlit as it is and still
    // announces and writes it.
    reportSetting(plugin.inSlit, subCommand, setting(SettingId::InSlit).key);
}

void editRcFile(const char*) {
    char editor[MAX_PATH] = {};
    GetObsidelEditor(editor);
    editor[MAX_PATH - 1] = '\0';
    char argument[2 * MAX_PATH + 3];
    quoteArgument(plugin.rcPath, argument, sizeof argument);
    OBExecute(nullptr, nullptr, editor, argument, nullptr, 1, 0);
}

void showAbout(const char*) {
    char text[kBoxTextSize];
    std::snprintf(text, sizeof text, "%s\n\nAuthor : %s\nWeb: %s\nEmail: %s", identity::kNameAndVersion,
                  identity::kAuthor, identity::kWebLink, identity::kEmail);
    MessageBoxA(nullptr, text, "About this plugin...", MB_ICONINFORMATION);
}

void toggleRecord(const char*) {
    if (plugin.capturing.load())
        stopCapture();
    else
        startCapture();
}

// ---- the command table ----

enum class Match { Whole, StartsWith, Contains };

enum class Action {
    Run,        // a command of its own
    Toggle,     // flips a bool setting: toggleSetting
    SetNumber,  // sets a number setting to the number sent
    SetText,    // sets a text setting to the row's text
    Preset,     // applies the row's colour preset
};

// What follows a new number, besides its write.
enum class Then {
    Nothing,      // the change shows at the next repaint or analysed buffer
    WindowState,  // applyWindowState, before the write
    Restart,      // capture restarts, after the write, when it was running
};

struct Effect {
    Action action;
    SettingId setting = SettingId::Count;  // Count: none
    Then then = Then::Nothing;
    void (*adjust)() = nullptr;  // what a new number moves with it, before the write
    const char* text = nullptr;
    int preset = 0;
    void (*run)(const char* subCommand) = nullptr;
};

constexpr Effect runs(void (*command)(const char*)) { return {.action = Action::Run, .run = command}; }
constexpr Effect toggles(SettingId id) { return {.action = Action::Toggle, .setting = id}; }
constexpr Effect setsNumber(SettingId id, Then then = Then::Nothing, void (*adjust)() = nullptr) {
    return {.action = Action::SetNumber, .setting = id, .then = then, .adjust = adjust};
}
constexpr Effect setsText(SettingId id, const char* text) {
    return {.action = Action::SetText, .setting = id, .text = text};
}
constexpr Effect appliesPreset(int preset) { return {.action = Action::Preset, .preset = preset}; }

struct CommandRow {
    const char* name;  // a StartsWith row compares its whole name
    Match match;
    Effect effect;
};

// Tested in this order; the first row that matches runs.
constexpr CommandRow kCommands[] = {
    {"SlitToggle", Match::Whole, runs(toggleSlit)},
    {"MonitorStartUp", Match::Whole, toggles(SettingId::StartMonitorOnStartup)},
    {"PeakMarkers", Match::Whole, toggles(SettingId::PeakMarkers)},
    {"AlwaysOnTop", Match::Whole, toggles(SettingId::AlwaysOnTop)},
    {"SnapWindowToEdge", Match::Whole, toggles(SettingId::SnapWindow)},
    {"TransparencyEnabled", Match::Whole, toggles(SettingId::TransparencyEnabled)},
    {"ToggleBorder", Match::Whole, toggles(SettingId::ShowBorder)},
    {"TransbackEnabled", Match::Whole, toggles(SettingId::TransBackEnabled)},
    {"TransparencyAlpha ", Match::StartsWith, setsNumber(SettingId::TransparencyAlpha, Then::WindowState)},
    {"ToggleWithPlugins", Match::Whole, toggles(SettingId::ToggleWithPlugins)},
    {"Edit", Match::Whole, runs(editRcFile)},
    {"About", Match::Whole, runs(showAbout)},
    {"ToggleRecord", Match::Whole, runs(toggleRecord)},
    {"ToggleBlur", Match::Whole, toggles(SettingId::MotionBlur)},
    {"SetBlurAlpha", Match::Contains, setsNumber(SettingId::MotionBlurAlpha)},
    {"SetKHz", Match::Contains, setsNumber(SettingId::SampleRateKHz, Then::Restart)},
    {"SetFreqMin", Match::Contains, setsNumber(SettingId::FreqMin, Then::Nothing, recountBands)},
    {"SetFreqMax", Match::Contains, setsNumber(SettingId::FreqMax, Then::Nothing, recountBands)},
    {"SetBuff", Match::Contains, setsNumber(SettingId::BufferSize, Then::Restart, fitBandsToBuffer)},
    {"SetBit", Match::Contains, setsNumber(SettingId::BitsPerSample, Then::Restart)},
    {"SetFPS", Match::Contains, setsNumber(SettingId::Fps, Then::Restart)},
    {"SetTabHT", Match::Whole, setsText(SettingId::TabPosition, "ht")},
    {"SetTabTR", Match::Whole, setsText(SettingId::TabPosition, "tr")},
    {"SetTabBL", Match::Whole, setsText(SettingId::TabPosition, "bl")},
    {"SetTabBR", Match::Whole, setsText(SettingId::TabPosition, "br")},
    {"SetTabTL", Match::Whole, setsText(SettingId::TabPosition, "tl")},
    {"SetScopeV", Match::Whole, setsText(SettingId::ScopeType, "v")},
    {"SetScopeH", Match::Whole, setsText(SettingId::ScopeType, "h")},
    {"SetPeakDot", Match::Whole, setsText(SettingId::PeakType, "dot")},
    {"SetPeakLine", Match::Whole, setsText(SettingId::PeakType, "line")},
    {"SetPeakDrop", Match::Contains, setsNumber(SettingId::PeakDropSpeed)},
    {"SetMaxHeight", Match::Contains, setsNumber(SettingId::MaxBarHeight)},
    {"SetStyle1", Match::Whole, appliesPreset(1)},
    {"SetStyle2", Match::Whole, appliesPreset(2)},
    {"SetStyle3", Match::Whole, appliesPreset(3)},
    {"SetStyle4", Match::Whole, appliesPreset(4)},
};
static_assert(sizeof "TransparencyAlpha " - 1 == 18, "the name and one blank");

// Every row that names a setting names one of the kind that its action needs.
constexpr bool commandsFitTheirSettings() {
    for (const CommandRow& row : kCommands) {
        const Effect& e = row.effect;
        const bool named = e.setting != SettingId::Count;
        const bool wantsSetting = e.action == Action::Toggle || e.action == Action::SetNumber ||
                                  e.action == Action::SetText;
        if (named != wantsSetting) return false;
        if (!named) continue;
        const SettingKind kind = setting(e.setting).kind;
        const bool textual = kind == SettingKind::Text || kind == SettingKind::ColorKey;
        if (e.action == Action::Toggle && kind != SettingKind::Bool) return false;
        if (e.action == Action::SetText && !textual) return false;
        if (e.action == Action::SetNumber && (textual || kind == SettingKind::Bool)) return false;
        if ((row.match == Match::Whole) == (e.action == Action::SetNumber)) return false;
    }
    return true;
}
static_assert(commandsFitTheirSettings());

// The log-band spectrum's commands are tried after the table: none of the
// table's rules (whole name, start, part of the text) may take their names.
constexpr bool spectrumCommandsStayApart() {
    for (const SpectrumSetting& spectrum : kSpectrumSettings) {
        for (const CommandRow& row : kCommands) {
            switch (row.match) {
            case Match::Whole:
                if (equalsIgnoringCase(spectrum.command, row.name)) return false;
                break;
            case Match::StartsWith:
                if (startsWithIgnoringCase(spectrum.command, row.name, textLength(row.name))) return false;
                break;
            case Match::Contains:
                if (contains(spectrum.command, row.name)) return false;
                break;
            }
        }
    }
    return true;
}
static_assert(spectrumCommandsStayApart());

// Stores the number within the setting's bounds, lets what depends on it
// follow, and writes what was stored.
void setNumber(const Effect& effect, int number) {
    const Setting& row = setting(effect.setting);
    const int written = storeNumber(row, keepInBounds(row, number));
    if (effect.adjust) effect.adjust();
    if (effect.then == Then::WindowState) applyWindowState();
    writeSetting(row, written);
    if (effect.then == Then::Restart) restartCapture();
}

void setText(const Effect& effect) {
    const Setting& row = setting(effect.setting);
    storeText(row, effect.text);
    writeSettingText(row);
}

// Whole rows run with the sub-command text (the name a toggle announces),
// the others with the number they read.
void runEffect(const Effect& effect, const char* subCommand, int number) {
    switch (effect.action) {
    case Action::Run: effect.run(subCommand); return;
    case Action::Toggle: toggleSetting(setting(effect.setting), subCommand); return;
    case Action::SetNumber: setNumber(effect, number); return;
    case Action::SetText: setText(effect); return;
    case Action::Preset: applyColorPreset(effect.preset); return;
    }
}

// Runs the first row that matches; returns false when none does.
bool runCommand(const char* subCommand) {
    for (const CommandRow& row : kCommands) {
        switch (row.match) {
        case Match::Whole:
            if (!equalsIgnoringCase(subCommand, row.name)) continue;
            runEffect(row.effect, subCommand, 0);
            return true;
        case Match::StartsWith: {
            const std::size_t length = std::strlen(row.name);
            if (!startsWithIgnoringCase(subCommand, row.name, length)) continue;
            runEffect(row.effect, subCommand, readNumber(subCommand + length));
            return true;
        }
        case Match::Contains: {
            if (!contains(subCommand, row.name)) continue;
            // The number follows the first blank; with no blank there is
            // no number, and the command changes nothing.
            const char* number = std::strchr(subCommand, ' ');
            if (number) runEffect(row.effect, subCommand, readNumber(number));
            return true;
        }
        }
    }
    return false;
}

void showOrHidePlugins(bool hidden) {
    // Docked in the slit, the window follows the slit, not the plug-ins' visibility.
    if (plugin.inSlit) return;
    plugin.pluginsHidden = hidden;
    applyWindowState();
}

}  // namespace

void handleBroadcast(const char* command) {
    if (!command) return;
    if (equalsIgnoringCase(command, "@OBShowPlugins")) {
        showOrHidePlugins(false);
        return;
    }
    if (equalsIgnoringCase(command, "@OBHidePlugins")) {
        showOrHidePlugins(true);
        return;
    }
    static constexpr const char* kPresetCommands[] = {"@Vumira SetStyle 1", "@Vumira SetStyle 2",
                                                      "@Vumira SetStyle 3", "@Vumira SetStyle 4"};
    for (int preset = 1; preset <= 4; ++preset) {
        if (equalsIgnoringCase(command, kPresetCommands[preset - 1])) {
            applyColorPreset(preset);
            return;
        }
    }
    constexpr std::size_t prefixLength = sizeof kPrefix - 1;
    if (!startsWithIgnoringCase(command, kPrefix, prefixLength)) return;
    const char* subCommand = command + prefixLength;
    while (*subCommand == ' ') ++subCommand;
    if (!runCommand(subCommand)) runSpectrumCommand(subCommand);
}

void handleReconfigure() {
    bool wasCapturing = plugin.capturing.load() != 0;
    if (wasCapturing) stopCapture();
    loadSettings();
    readStyle();
    applyWindowState();
    if (wasCapturing) startCapture();
}

void reportSetting(bool setting, const char* subCommand, const char* key) {
    char status[kStatusTextSize];
    std::snprintf(status, sizeof status, "VumiraPlugin -> %s %sabled!", subCommand, setting ? "en" : "dis");
    SendMessageA(plugin.hostWindow, OBM_SETSTATUSBAR, 0, reinterpret_cast<LPARAM>(status));
    WriteBool(plugin.rcPath, key, setting);
    applyWindowState();
    buildConfigMenu(0);
}

void toggleSetting(const Setting& row, const char* subCommand) {
    const bool now = storeNumber(row, row.field.number() == 0 ? 1 : 0) != 0;
    reportSetting(now, subCommand, row.key);
}

}  // namespace vumira

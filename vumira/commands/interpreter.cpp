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
#include "commands/menu.h"
#include "config/plugin_state.h"
#include "config/rc_keys.h"
#include "config/settings.h"
#include "config/style.h"
#include "core/identity.h"
#include "display/window.h"

namespace vumira {
namespace {

constexpr char kPrefix[] = "@VumiraInternal";
constexpr std::size_t kStatusTextSize = 80;
constexpr std::size_t kBoxTextSize = MAX_PATH;

// ---- the three matching rules ----

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool equalsIgnoringCase(const char* text, const char* name) {
    for (; *text && *name; ++text, ++name)
        if (upper(*text) != upper(*name)) return false;
    return *text == *name;
}

bool startsWithIgnoringCase(const char* text, const char* name, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!text[i] || upper(text[i]) != upper(name[i])) return false;
    }
    return true;
}

bool contains(const char* text, const char* name) { return std::strstr(text, name) != nullptr; }

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

// The analysed bands must lie in the transformed buffer: a command brings
// a band number outside 0 .. bufferSize - 1 to the nearest bound and stores
// and writes that value.
int clampToBands(int band) { return std::clamp(band, 0, std::max(0, plugin.bufferSize - 1)); }

// The one recording buffer holds 32 to 256 bytes, as the loader keeps it.
int clampBufferSize(int size) { return std::clamp(size, 32, 256); }

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

// ---- the commands ----

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
    reportSetting(plugin.inSlit, subCommand, rckey::kInSlit);
}

void toggleMonitorStartUp(const char* s) {
    toggleSetting(plugin.startMonitorOnStartup, s, rckey::kStartMonitorOnStartup);
}
void togglePeakMarkers(const char* s) { toggleSetting(plugin.peakMarkers, s, rckey::kPeakMarkers); }
void toggleAlwaysOnTop(const char* s) { toggleSetting(plugin.alwaysOnTop, s, rckey::kAlwaysOnTop); }
void toggleSnapWindow(const char* s) { toggleSetting(plugin.snapWindow, s, rckey::kSnapWindow); }
void toggleTransparency(const char* s) {
    toggleSetting(plugin.transparencyEnabled, s, rckey::kTransparencyEnabled);
}
void toggleBorder(const char* s) { toggleSetting(plugin.showBorder, s, rckey::kShowBorder); }
void toggleTransBack(const char* s) {
    toggleSetting(plugin.transBackEnabled, s, rckey::kTransBackEnabled);
}
void toggleWithPlugins(const char* s) {
    toggleSetting(plugin.toggleWithPlugins, s, rckey::kToggleWithPlugins);
}
void toggleBlur(const char* s) { toggleSetting(plugin.motionBlur, s, rckey::kMotionBlur); }

void setTransparencyAlpha(int n) {
    plugin.transparencyAlpha = n;
    applyWindowState();
    WriteInt(plugin.rcPath, rckey::kTransparencyAlpha, n);
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

void setBlurAlpha(int n) {
    // Only the constant-alpha byte of the blend counts.
    auto alpha = static_cast<BYTE>(static_cast<unsigned>(n) & 0xFFu);
    plugin.blendFunction.SourceConstantAlpha = alpha;
    WriteInt(plugin.rcPath, rckey::kMotionBlurAlpha, alpha);
}

void setKHz(int n) {
    plugin.sampleRateKHz = n;
    WriteInt(plugin.rcPath, rckey::kSampleRateKHz, n);
    restartCapture();
}

void setFreqMin(int n) {
    n = clampToBands(n);
    plugin.freqMin.store(n);
    plugin.bandCount = plugin.freqMax.load() - n;
    WriteInt(plugin.rcPath, rckey::kFreqMin, n);
}

void setFreqMax(int n) {
    n = clampToBands(n);
    plugin.freqMax.store(n);
    plugin.bandCount = n - plugin.freqMin.load();
    WriteInt(plugin.rcPath, rckey::kFreqMax, n);
}

void setBufferSize(int n) {
    n = clampBufferSize(n);
    plugin.bufferSize = n;
    int freqMin = plugin.freqMin.load();
    int freqMax = plugin.freqMax.load();
    if (n - 1 < freqMax) freqMax = n - 1;
    if (freqMin > freqMax) {
        freqMin = 0;
        freqMax = n - 1;
    }
    plugin.freqMin.store(freqMin);
    plugin.freqMax.store(freqMax);
    plugin.bandCount = freqMax - freqMin;
    // Only the size is written; the adjusted range is not.
    WriteInt(plugin.rcPath, rckey::kBufferSize, n);
    restartCapture();
}

void setBit(int n) {
    plugin.bitsPerSample = n;
    WriteInt(plugin.rcPath, rckey::kBitsPerSample, n);
    restartCapture();
}

void setFps(int n) {
    WriteInt(plugin.rcPath, rckey::kFps, n);
    // A rate of 0 or less counts as 1 frame a second, as in the loader.
    plugin.frameIntervalMs.store(1000 / std::max(n, 1));
    restartCapture();
}

void setTab(const char* position) {
    copyText(plugin.tabPosition, position);
    WriteString(plugin.rcPath, rckey::kTabPosition, plugin.tabPosition);
}
void setTabHT(const char*) { setTab("ht"); }
void setTabTR(const char*) { setTab("tr"); }
void setTabBL(const char*) { setTab("bl"); }
void setTabBR(const char*) { setTab("br"); }
void setTabTL(const char*) { setTab("tl"); }

void setScope(const char* type) {
    plugin.scopeType.set(type);
    char stored[kScopeTypeSize];
    plugin.scopeType.get(stored);
    WriteString(plugin.rcPath, rckey::kScopeType, stored);
}
void setScopeV(const char*) { setScope("v"); }
void setScopeH(const char*) { setScope("h"); }

void setPeak(const char* type) {
    copyText(plugin.peakType, type);
    WriteString(plugin.rcPath, rckey::kPeakType, plugin.peakType);
}
void setPeakDot(const char*) { setPeak("dot"); }
void setPeakLine(const char*) { setPeak("line"); }

void setPeakDrop(int tenths) {
    plugin.peakDropSpeed.store(static_cast<float>(tenths * 0.1));
    WriteInt(plugin.rcPath, rckey::kPeakDrop, tenths);
}

void setMaxHeight(int n) {
    plugin.maxBarHeight.store(n);
    WriteInt(plugin.rcPath, rckey::kMaxBarHeight, n);
}

void setStyle1(const char*) { applyColorPreset(1); }
void setStyle2(const char*) { applyColorPreset(2); }
void setStyle3(const char*) { applyColorPreset(3); }
void setStyle4(const char*) { applyColorPreset(4); }

// ---- the command table ----

enum class Match { Whole, StartsWith, Contains };

struct CommandRow {
    const char* name;
    Match match;
    void (*run)(const char* subCommand);  // Whole rows
    void (*runWithNumber)(int number);    // StartsWith and Contains rows
};

constexpr std::size_t kTransparencyAlphaLength = 18;  // the name and one blank

// Tested in this order; the first row that matches runs.
constexpr CommandRow kCommands[] = {
    {"SlitToggle", Match::Whole, toggleSlit, nullptr},
    {"MonitorStartUp", Match::Whole, toggleMonitorStartUp, nullptr},
    {"PeakMarkers", Match::Whole, togglePeakMarkers, nullptr},
    {"AlwaysOnTop", Match::Whole, toggleAlwaysOnTop, nullptr},
    {"SnapWindowToEdge", Match::Whole, toggleSnapWindow, nullptr},
    {"TransparencyEnabled", Match::Whole, toggleTransparency, nullptr},
    {"ToggleBorder", Match::Whole, toggleBorder, nullptr},
    {"TransbackEnabled", Match::Whole, toggleTransBack, nullptr},
    {"TransparencyAlpha ", Match::StartsWith, nullptr, setTransparencyAlpha},
    {"ToggleWithPlugins", Match::Whole, toggleWithPlugins, nullptr},
    {"Edit", Match::Whole, editRcFile, nullptr},
    {"About", Match::Whole, showAbout, nullptr},
    {"ToggleRecord", Match::Whole, toggleRecord, nullptr},
    {"ToggleBlur", Match::Whole, toggleBlur, nullptr},
    {"SetBlurAlpha", Match::Contains, nullptr, setBlurAlpha},
    {"SetKHz", Match::Contains, nullptr, setKHz},
    {"SetFreqMin", Match::Contains, nullptr, setFreqMin},
    {"SetFreqMax", Match::Contains, nullptr, setFreqMax},
    {"SetBuff", Match::Contains, nullptr, setBufferSize},
    {"SetBit", Match::Contains, nullptr, setBit},
    {"SetFPS", Match::Contains, nullptr, setFps},
    {"SetTabHT", Match::Whole, setTabHT, nullptr},
    {"SetTabTR", Match::Whole, setTabTR, nullptr},
    {"SetTabBL", Match::Whole, setTabBL, nullptr},
    {"SetTabBR", Match::Whole, setTabBR, nullptr},
    {"SetTabTL", Match::Whole, setTabTL, nullptr},
    {"SetScopeV", Match::Whole, setScopeV, nullptr},
    {"SetScopeH", Match::Whole, setScopeH, nullptr},
    {"SetPeakDot", Match::Whole, setPeakDot, nullptr},
    {"SetPeakLine", Match::Whole, setPeakLine, nullptr},
    {"SetPeakDrop", Match::Contains, nullptr, setPeakDrop},
    {"SetMaxHeight", Match::Contains, nullptr, setMaxHeight},
    {"SetStyle1", Match::Whole, setStyle1, nullptr},
    {"SetStyle2", Match::Whole, setStyle2, nullptr},
    {"SetStyle3", Match::Whole, setStyle3, nullptr},
    {"SetStyle4", Match::Whole, setStyle4, nullptr},
};
static_assert(sizeof "TransparencyAlpha " - 1 == kTransparencyAlphaLength);

// Runs the first row that matches; returns false when none does.
bool runCommand(const char* subCommand) {
    for (const CommandRow& row : kCommands) {
        switch (row.match) {
        case Match::Whole:
            if (!equalsIgnoringCase(subCommand, row.name)) continue;
            row.run(subCommand);
            return true;
        case Match::StartsWith:
            if (!startsWithIgnoringCase(subCommand, row.name, kTransparencyAlphaLength)) continue;
            row.runWithNumber(readNumber(subCommand + kTransparencyAlphaLength));
            return true;
        case Match::Contains: {
            if (!contains(subCommand, row.name)) continue;
            // The number follows the first blank; with no blank there is
            // no number, and the command changes nothing.
            const char* number = std::strchr(subCommand, ' ');
            if (number) row.runWithNumber(readNumber(number));
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
    runCommand(subCommand);
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

void toggleSetting(bool& setting, const char* subCommand, const char* key) {
    setting = !setting;
    reportSetting(setting, subCommand, key);
}

void toggleSetting(std::atomic<bool>& setting, const char* subCommand, const char* key) {
    bool now = !setting.load();
    setting.store(now);
    reportSetting(now, subCommand, key);
}

}  // namespace vumira

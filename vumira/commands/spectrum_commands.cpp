#include "commands/spectrum_commands.h"

#include <windows.h>

#include <obsidel/api.h>

#include <cstdio>
#include <cstring>

#include "audio/capture.h"
#include "commands/matching.h"
#include "config/plugin_state.h"
#include "config/spectrum_settings.h"

namespace vumira {
namespace {

constexpr std::size_t kStatusTextSize = 160;

void showStatus(const char* text) {
    SendMessageA(plugin.hostWindow, OBM_SETSTATUSBAR, 0, reinterpret_cast<LPARAM>(text));
}

// What the row takes, for the message about a value it does not.
void describeValues(const SpectrumSetting& row, char* out, std::size_t size) {
    switch (row.kind) {
    case SpectrumValue::Word:
        std::snprintf(out, size, "%s", row.words[0]);
        for (std::size_t i = 1; i < row.wordCount; ++i) {
            const std::size_t used = std::strlen(out);
            std::snprintf(out + used, size - used, " or %s", row.words[i]);
        }
        return;
    case SpectrumValue::Flag: std::snprintf(out, size, "true or false"); return;
    case SpectrumValue::PowerOfTwo:
        std::snprintf(out, size, "a power of two from %g to %g", static_cast<double>(row.low),
                      static_cast<double>(row.high));
        return;
    case SpectrumValue::Choice: std::snprintf(out, size, "0, 1, 2, 3, 6, 12 or 24"); return;
    case SpectrumValue::Number:
        std::snprintf(out, size, "a number from %g to %g", static_cast<double>(row.low), static_cast<double>(row.high));
        return;
    }
}

void runRow(const SpectrumSetting& row, const char* valueText) {
    char status[kStatusTextSize];
    float value = 0;
    if (!parseSpectrumValue(row, valueText, value)) {
        char values[64];
        describeValues(row, values, sizeof values);
        std::snprintf(status, sizeof status, "VumiraPlugin -> %s: \"%s\" is not %s; nothing changed", row.command,
                      valueText, values);
        showStatus(status);
        return;
    }
    setSpectrumValue(row, value);
    char text[32];
    formatSpectrumValue(row, value, text, sizeof text);
    std::snprintf(status, sizeof status, "VumiraPlugin -> %s %s", row.command, text);
    showStatus(status);
    // The recording's format and the transform's length are chosen at the start.
    if (row.restartsCapture && plugin.capturing.load()) {
        stopCapture();
        startCapture();
    }
    const HWND window = plugin.pluginWindow.load();
    if (window) InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

bool runSpectrumCommand(const char* subCommand) {
    for (const SpectrumSetting& row : kSpectrumSettings) {
        const std::size_t length = textLength(row.command);
        if (!startsWithIgnoringCase(subCommand, row.command, length)) continue;
        const char after = subCommand[length];
        if (after != ' ' && after != '\0') continue;
        const char* value = subCommand + length;
        while (*value == ' ') ++value;
        runRow(row, value);
        return true;
    }
    return false;
}

}  // namespace vumira

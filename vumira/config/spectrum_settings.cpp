#include "config/spectrum_settings.h"

#include <obsidel/api.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/plugin_state.h"
#include "signal/bands.h"

namespace vumira {
namespace {

bool sameWord(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// A whole text that is a number (blanks around it allowed).
bool readNumber(const char* text, double& number) {
    char* end = nullptr;
    number = std::strtod(text, &end);
    if (end == text || !std::isfinite(number)) return false;
    while (std::isspace(static_cast<unsigned char>(*end))) ++end;
    return *end == '\0';
}

float nearestPowerOfTwo(double number, float low, float high) {
    const double clamped = std::clamp(number, static_cast<double>(low), static_cast<double>(high));
    return static_cast<float>(std::exp2(std::round(std::log2(clamped))));
}

float nearestBandsPerOctave(double number) {
    int best = kBandsPerOctaveChoices[0];
    for (const int choice : kBandsPerOctaveChoices)
        if (std::fabs(number - choice) < std::fabs(number - best)) best = choice;
    return static_cast<float>(best);
}

}  // namespace

bool parseSpectrumValue(const SpectrumSetting& row, const char* text, float& value) {
    while (text && std::isspace(static_cast<unsigned char>(*text))) ++text;
    if (!text || !*text) return false;
    double number = 0;
    switch (row.kind) {
    case SpectrumValue::Word:
        for (std::size_t i = 0; i < row.wordCount; ++i) {
            if (sameWord(text, row.words[i])) {
                value = static_cast<float>(i);
                return true;
            }
        }
        return false;
    case SpectrumValue::Flag:
        for (const char* yes : {"true", "yes", "on", "1"})
            if (sameWord(text, yes)) return value = 1, true;
        for (const char* no : {"false", "no", "off", "0"})
            if (sameWord(text, no)) return value = 0, true;
        return false;
    case SpectrumValue::PowerOfTwo:
        if (!readNumber(text, number)) return false;
        value = nearestPowerOfTwo(number, row.low, row.high);
        return true;
    case SpectrumValue::Choice:
        if (!readNumber(text, number)) return false;
        value = nearestBandsPerOctave(number);
        return true;
    case SpectrumValue::Number:
        if (!readNumber(text, number)) return false;
        value = static_cast<float>(std::clamp(number, static_cast<double>(row.low), static_cast<double>(row.high)));
        return true;
    }
    return false;
}

void formatSpectrumValue(const SpectrumSetting& row, float value, char* out, std::size_t size) {
    switch (row.kind) {
    case SpectrumValue::Word: {
        const std::size_t index = std::min(static_cast<std::size_t>(std::max(value, 0.0f)), row.wordCount - 1);
        std::snprintf(out, size, "%s", row.words[index]);
        return;
    }
    case SpectrumValue::Flag: std::snprintf(out, size, "%s", value != 0 ? "true" : "false"); return;
    case SpectrumValue::PowerOfTwo:
    case SpectrumValue::Choice:
    case SpectrumValue::Number: std::snprintf(out, size, "%g", static_cast<double>(value)); return;
    }
}

float spectrumValue(const SpectrumSetting& row) {
    return (plugin.spectrum.*row.value).load(std::memory_order_relaxed);
}

bool logScaleChosen() { return plugin.spectrum.logScale.load(std::memory_order_relaxed) != 0; }

void loadSpectrumSettings() {
    for (const SpectrumSetting& row : kSpectrumSettings) {
        char fallback[32];
        formatSpectrumValue(row, row.defaultValue, fallback, sizeof fallback);
        float value = row.defaultValue;
        if (!parseSpectrumValue(row, ReadString(plugin.rcPath, row.key, fallback), value)) value = row.defaultValue;
        (plugin.spectrum.*row.value).store(value, std::memory_order_relaxed);
    }
}

void setSpectrumValue(const SpectrumSetting& row, float value) {
    (plugin.spectrum.*row.value).store(value, std::memory_order_relaxed);
    char text[32];
    formatSpectrumValue(row, value, text, sizeof text);
    WriteString(plugin.rcPath, row.key, text);
}

}  // namespace vumira

#include "config/settings_table.h"

#include <algorithm>
#include <cstring>

#include "signal/bands.h"

namespace vumira {
namespace {

// A screen smaller than the smallest window still takes the smallest window.
int withinScreen(int number, int screenIndex) {
    return std::clamp(number, kWindowSizeMin, std::max(kWindowSizeMin, GetSystemMetrics(screenIndex)));
}

}  // namespace

int defaultNumber(const Setting& row) {
    return row.defaultValue.isComputed ? row.defaultValue.computed() : row.defaultValue.number;
}

int keepInBounds(const Setting& row, int number) {
    switch (row.bounds.range) {
    case Range::Any: return number;
    case Range::Fixed: return std::clamp(number, row.bounds.low, row.bounds.high);
    case Range::Bands: return bandInBuffer(number, plugin.bufferSize);
    case Range::ScreenWidth: return withinScreen(number, SM_CXSCREEN);
    case Range::ScreenHeight: return withinScreen(number, SM_CYSCREEN);
    }
    return number;
}

int storeNumber(const Setting& row, int number) {
    switch (row.kind) {
    case SettingKind::Int: row.field.setNumber(number); return number;
    case SettingKind::Bool: row.field.setNumber(number != 0 ? 1 : 0); return number != 0 ? 1 : 0;
    case SettingKind::AlphaByte: {
        const int alpha = static_cast<int>(static_cast<unsigned>(number) & 0xFFu);
        row.field.setNumber(alpha);
        return alpha;
    }
    case SettingKind::Tenths: row.field.setReal(static_cast<float>(number * 0.1)); return number;
    case SettingKind::FrameRate:
        // A rate of 0 or less counts as 1 frame a second; the file keeps the rate as it was given.
        row.field.setNumber(1000 / std::max(number, 1));
        return number;
    case SettingKind::Text:
    case SettingKind::ColorKey: break;
    }
    return number;
}

void storeText(const Setting& row, const char* text) {
    if (row.kind != SettingKind::ColorKey) {
        row.field.setText(text);
        return;
    }
    // Held with its colon: a stored key too long for the field is cut so
    // that the colon still fits.
    char held[kPathSize];
    copyText(held, row.field.textSize - 1, text);
    std::strcat(held, ":");
    row.field.setText(held);
}

void fileText(const Setting& row, char* out, std::size_t size) {
    row.field.text(out, size);
    if (row.kind != SettingKind::ColorKey) return;
    std::size_t length = std::strlen(out);
    if (length && out[length - 1] == ':') out[length - 1] = '\0';
}

bool textIs(SettingId id, const char* text) {
    char now[kPathSize];
    setting(id).field.text(now, sizeof now);
    return std::strcmp(now, text) == 0;
}

}  // namespace vumira

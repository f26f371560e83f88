// Every setting of the plug-in in one table: its rc key, the field of
// `PluginState` that holds it, how the file's value becomes the field's,
// its default and the range it is kept in. The loader reads the rows in
// the table's order; the commands, the window and the menu reach a setting
// through its row, so that no key, default or bound is written twice.
#pragma once

#include <atomic>
#include <cstddef>
#include <iterator>
#include <type_traits>

#include "base/limits.h"
#include "config/plugin_state.h"

namespace vumira {

// How a setting is kept in the rc file and in memory.
enum class SettingKind {
    Int,        // ReadInt and WriteInt
    Bool,       // ReadBool and WriteBool
    Text,       // ReadString and WriteString, cut to fit the field
    AlphaByte,  // an int in the file, the blend's constant-alpha byte in memory: only the low 8 bits count
    Tenths,     // an int of tenths in the file, a float in memory
    FrameRate,  // frames per second in the file, the repaint interval 1000 / fps in memory
    ColorKey,   // a style key, stored without its colon and held with it
};

// The range a number is brought into, to its nearest bound.
enum class Range {
    Any,    // stored as given
    Fixed,  // low .. high, when read and when a command sets it
    // 0 .. bufferSize - 1, moving with the buffer. A command keeps it; the
    // loader fixes both ends of the range up after the last row, since
    // each end depends on the other.
    Bands,
    // kWindowSizeMin .. the screen's width or height, at load only: the
    // window's own moves and sizes are recorded as they happen.
    ScreenWidth,
    ScreenHeight,
};

struct Bounds {
    Range range = Range::Any;
    int low = 0;
    int high = 0;
};
inline constexpr Bounds kBufferSizes{Range::Fixed, kBufferSizeMin, kBufferSizeMax};
inline constexpr Bounds kBands{Range::Bands};
inline constexpr Bounds kWindowWidths{Range::ScreenWidth};
inline constexpr Bounds kWindowHeights{Range::ScreenHeight};

// A number (a bool as 0 or 1), a text, or a number that follows from the
// rows read before it.
struct SettingDefault {
    constexpr SettingDefault(int value) : number(value) {}
    constexpr SettingDefault(bool value) : number(value ? 1 : 0) {}
    constexpr SettingDefault(const char* value) : text(value), isText(true) {}
    constexpr SettingDefault(int (*from)()) : computed(from), isComputed(true) {}

    int number = 0;
    const char* text = nullptr;
    int (*computed)() = nullptr;
    // Told apart without comparing addresses, which the sanitizers' builds
    // do not allow in a constant expression.
    bool isText = false;
    bool isComputed = false;
};

// What a field holds, as far as the table is concerned.
enum class FieldShape { Number, Real, Text };

// How a row reaches its field. Plain fields and the atomics that the
// capture callback shares are read and written alike, each value whole (the
// atomics relaxed: the callback needs each value whole, no order among them).
struct SettingField {
    FieldShape shape = FieldShape::Number;
    int (*number)() = nullptr;  // ints, bools (0 or 1) and bytes
    void (*setNumber)(int) = nullptr;
    float (*real)() = nullptr;
    void (*setReal)(float) = nullptr;
    void (*text)(char* out, std::size_t size) = nullptr;
    void (*setText)(const char*) = nullptr;  // cut to fit
    std::size_t textSize = 0;                // the field's buffer, terminating zero included
};

namespace settingfield {

template <typename T>
struct IsSharedText : std::false_type {};
template <std::size_t N>
struct IsSharedText<SharedText<N>> : std::true_type {};

template <typename T>
inline constexpr bool kIsNumber = std::is_same_v<T, int> || std::is_same_v<T, bool>;
template <typename T>
inline constexpr bool kIsSharedNumber = std::is_same_v<T, std::atomic<int>> || std::is_same_v<T, std::atomic<bool>>;

}  // namespace settingfield

// The access to one field of the state record, from its pointer to member.
template <auto member>
constexpr SettingField field() {
    using Field = std::remove_reference_t<decltype(plugin.*member)>;
    using namespace settingfield;
    if constexpr (kIsNumber<Field>) {
        return {.shape = FieldShape::Number,
                .number = [] { return static_cast<int>(plugin.*member); },
                .setNumber = [](int value) { plugin.*member = static_cast<Field>(value); }};
    } else if constexpr (kIsSharedNumber<Field>) {
        using Value = typename Field::value_type;
        return {.shape = FieldShape::Number,
                .number = [] { return static_cast<int>((plugin.*member).load(std::memory_order_relaxed)); },
                .setNumber = [](int value) {
                    (plugin.*member).store(static_cast<Value>(value), std::memory_order_relaxed);
                }};
    } else if constexpr (std::is_same_v<Field, std::atomic<float>>) {
        return {.shape = FieldShape::Real,
                .real = [] { return (plugin.*member).load(std::memory_order_relaxed); },
                .setReal = [](float value) { (plugin.*member).store(value, std::memory_order_relaxed); }};
    } else if constexpr (std::is_same_v<std::remove_extent_t<Field>, char>) {
        return {.shape = FieldShape::Text,
                .text = [](char* out, std::size_t size) { copyText(out, size, plugin.*member); },
                .setText = [](const char* value) { copyText(plugin.*member, value); },
                .textSize = std::extent_v<Field>};
    } else {
        static_assert(IsSharedText<Field>::value, "a field of a kind that the settings table does not know");
        return {.shape = FieldShape::Text,
                .text = [](char* out, std::size_t size) {
                    char now[Field::kSize];
                    (plugin.*member).get(now);
                    copyText(out, size, now);
                },
                .setText = [](const char* value) { (plugin.*member).set(value); },
                .textSize = Field::kSize};
    }
}

// The motion-blur alpha lives in the blend's record, as its constant alpha.
inline constexpr SettingField kBlendAlphaField{
    .shape = FieldShape::Number,
    .number = [] { return static_cast<int>(plugin.blendFunction.SourceConstantAlpha); },
    .setNumber = [](int value) { plugin.blendFunction.SourceConstantAlpha = static_cast<BYTE>(value); }};

// The highest band's default: half the buffer size read before it.
inline int halfTheBuffer() { return plugin.bufferSize >> 1; }

// One name per row, in the table's order.
enum class SettingId {
    PosX,
    PosY,
    InSlit,
    MotionBlur,
    MotionBlurAlpha,
    TransparencyEnabled,
    TransBackEnabled,
    TransparencyAlpha,
    AlwaysOnTop,
    SnapWindow,
    ToggleWithPlugins,
    UpdateUrl,
    Width,
    Height,
    StartMonitorOnStartup,
    BufferSize,
    FreqMin,
    FreqMax,
    Fps,
    SampleRateKHz,
    BitsPerSample,
    PeakMarkers,
    PeakType,
    PeakDropSpeed,
    MaxBarHeight,
    ScopeColorKey,
    PeakColorKey,
    TabPosition,
    ScopeType,
    ShowBorder,
    Count,
};

struct Setting {
    SettingId id;
    const char* key;  // in full, trailing colon included
    SettingKind kind;
    SettingField field;
    SettingDefault defaultValue;
    Bounds bounds = {};
};

// In the order of reading: a row may take its default from the rows above it.
inline constexpr Setting kSettings[] = {
    {SettingId::PosX, "Vumira.plugin.x:", SettingKind::Int, field<&PluginState::posX>(), 10},
    {SettingId::PosY, "Vumira.plugin.y:", SettingKind::Int, field<&PluginState::posY>(), 10},
    {SettingId::InSlit, "Vumira.plugin.inSlit:", SettingKind::Bool, field<&PluginState::inSlit>(), false},
    {SettingId::MotionBlur, "Vumira.plugin.motionblur:", SettingKind::Bool, field<&PluginState::motionBlur>(),
     false},
    {SettingId::MotionBlurAlpha, "Vumira.plugin.motionbluralpha:", SettingKind::AlphaByte, kBlendAlphaField, 120},
    {SettingId::TransparencyEnabled, "Vumira.plugin.transparency.enabled:", SettingKind::Bool,
     field<&PluginState::transparencyEnabled>(), false},
    {SettingId::TransBackEnabled, "Vumira.plugin.transback.enabled:", SettingKind::Bool,
     field<&PluginState::transBackEnabled>(), false},
    {SettingId::TransparencyAlpha, "Vumira.plugin.transparency.alpha:", SettingKind::Int,
     field<&PluginState::transparencyAlpha>(), 60},
    {SettingId::AlwaysOnTop, "Vumira.plugin.alwaysontop:", SettingKind::Bool, field<&PluginState::alwaysOnTop>(),
     true},
    {SettingId::SnapWindow, "Vumira.plugin.snapwindow:", SettingKind::Bool, field<&PluginState::snapWindow>(), true},
    {SettingId::ToggleWithPlugins, "Vumira.plugin.togglewithplugins:", SettingKind::Bool,
     field<&PluginState::toggleWithPlugins>(), true},
    {SettingId::UpdateUrl, "Vumira.plugin.update.url:", SettingKind::Text, field<&PluginState::updateUrl>(), ""},
    {SettingId::Width, "Vumira.plugin.width:", SettingKind::Int, field<&PluginState::width>(), 100,
     kWindowWidths},
    {SettingId::Height, "Vumira.plugin.height:", SettingKind::Int, field<&PluginState::height>(), 25,
     kWindowHeights},
    {SettingId::StartMonitorOnStartup, "Vumira.plugin.wave.StartWaveMonitorOnStartUp:", SettingKind::Bool,
     field<&PluginState::startMonitorOnStartup>(), true},
    {SettingId::BufferSize, "Vumira.plugin.wave.buffsize:", SettingKind::Int, field<&PluginState::bufferSize>(), 64,
     kBufferSizes},
    {SettingId::FreqMin, "Vumira.plugin.wave.freqmin:", SettingKind::Int, field<&PluginState::freqMin>(), 0, kBands},
    {SettingId::FreqMax, "Vumira.plugin.wave.freqmax:", SettingKind::Int, field<&PluginState::freqMax>(),
     halfTheBuffer, kBands},
    {SettingId::Fps, "Vumira.plugin.wave.fps:", SettingKind::FrameRate, field<&PluginState::frameIntervalMs>(), 25},
    {SettingId::SampleRateKHz, "Vumira.plugin.wave.KHz:", SettingKind::Int, field<&PluginState::sampleRateKHz>(),
     16},
    {SettingId::BitsPerSample, "Vumira.plugin.wave.bit:", SettingKind::Int, field<&PluginState::bitsPerSample>(),
     16},
    {SettingId::PeakMarkers, "Vumira.plugin.wave.peaks:", SettingKind::Bool, field<&PluginState::peakMarkers>(),
     false},
    {SettingId::PeakType, "Vumira.plugin.style.peakType:", SettingKind::Text, field<&PluginState::peakType>(), "dot"},
    {SettingId::PeakDropSpeed, "Vumira.plugin.style.peakDrop:", SettingKind::Tenths,
     field<&PluginState::peakDropSpeed>(), 1},
    {SettingId::MaxBarHeight, "Vumira.plugin.style.maxBarHeight:", SettingKind::Int,
     field<&PluginState::maxBarHeight>(), 64},
    {SettingId::ScopeColorKey, "Vumira.plugin.style.ScopeColor:", SettingKind::ColorKey,
     field<&PluginState::scopeColorKey>(), "toolbar.textColor"},
    {SettingId::PeakColorKey, "Vumira.plugin.style.PeakColor:", SettingKind::ColorKey,
     field<&PluginState::peakColorKey>(), "borderColor"},
    {SettingId::TabPosition, "Vumira.plugin.style.tabPosition:", SettingKind::Text,
     field<&PluginState::tabPosition>(), "br"},
    {SettingId::ScopeType, "Vumira.plugin.style.scopeType:", SettingKind::Text, field<&PluginState::scopeType>(),
     "h"},
    {SettingId::ShowBorder, "Vumira.plugin.showBorder:", SettingKind::Bool, field<&PluginState::showBorder>(), true},
};

inline constexpr const Setting& setting(SettingId id) { return kSettings[static_cast<std::size_t>(id)]; }

namespace settingfield {

constexpr bool sameText(const char* a, const char* b) {
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// "Vumira.plugin." followed by a name and a colon.
constexpr bool isRcKey(const char* key) {
    for (const char* prefix = "Vumira.plugin."; *prefix; ++prefix, ++key)
        if (*key != *prefix) return false;
    if (!*key || *key == ':') return false;
    while (key[1]) ++key;
    return *key == ':';
}

// Each row stands at its name's place, reaches its field as its kind needs,
// has a default of its kind and a well-formed key of its own; the one computed default,
// half the buffer, comes after the buffer size.
constexpr bool wellFormed() {
    for (std::size_t i = 0; i < std::size(kSettings); ++i) {
        const Setting& row = kSettings[i];
        if (static_cast<std::size_t>(row.id) != i) return false;
        if (!isRcKey(row.key)) return false;
        const bool textual = row.kind == SettingKind::Text || row.kind == SettingKind::ColorKey;
        const FieldShape shape = textual                           ? FieldShape::Text
                                 : row.kind == SettingKind::Tenths ? FieldShape::Real
                                                                   : FieldShape::Number;
        if (row.field.shape != shape || row.defaultValue.isText != textual) return false;
        if (textual && (row.field.textSize < 2 || row.field.textSize > kPathSize)) return false;
        if (row.defaultValue.isComputed && i <= static_cast<std::size_t>(SettingId::BufferSize)) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (sameText(kSettings[j].key, row.key)) return false;
    }
    return true;
}

}  // namespace settingfield

static_assert(std::size(kSettings) == static_cast<std::size_t>(SettingId::Count), "one row per setting name");
static_assert(settingfield::wellFormed());

// The default as a number, computed from the rows above where it follows from them.
int defaultNumber(const Setting& row);
// The number brought into the row's bounds (for the band range, the bands
// of the present buffer size).
int keepInBounds(const Setting& row, int number);
// Stores a number as the rc file holds it into the row's field, converted
// as the row's kind says; returns the number that the file gets for it.
int storeNumber(const Setting& row, int number);
// Stores a text as the rc file holds it, cut to fit (a colour key keeps
// room for the colon it gains).
void storeText(const Setting& row, const char* text);
// The row's text as the rc file holds it (a colour key without its colon).
void fileText(const Setting& row, char* out, std::size_t size);

// What the menu's check marks and the commands read.
inline bool isOn(SettingId id) { return setting(id).field.number() != 0; }
inline int numberOf(SettingId id) { return setting(id).field.number(); }
inline float realOf(SettingId id) { return setting(id).field.real(); }
bool textIs(SettingId id, const char* text);

}  // namespace vumira

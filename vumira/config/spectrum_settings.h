// The settings of the log-band spectrum, a mode beside the exact analysis:
// one row per key "Vumira.plugin.spectrum.*", with its command name, the
// values it takes and its default. Read with the other settings; written
// only when a command sets one, so a file that never set them never gains
// them.
#pragma once

#include <atomic>
#include <cstddef>
#include <iterator>

namespace vumira {

// Every value is held as a float (whole numbers are exact in one): the
// wave-in thread reads them while a command may change them.
struct SpectrumSettings {
    std::atomic<float> logScale{0};        // 0: the exact analysis ("linear"), 1: log bands ("log")
    std::atomic<float> points{4096};       // transform length
    std::atomic<float> lowHz{50};          // the lowest band's lower edge
    std::atomic<float> highHz{16000};      // the highest band holds this frequency
    std::atomic<float> bandsPerOctave{0};  // 0: as many bands as the window holds
    std::atomic<float> floorDb{-70};       // the level of an empty bar; 0 dB is a full bar
    std::atomic<float> autoGain{0};        // 0 or 1
    std::atomic<float> aWeighting{0};      // 0: "none", 1: "A"
};

// How a row's text becomes its value.
enum class SpectrumValue {
    Word,        // one of the row's words (any letter case); the value is its index
    Flag,        // true/false, yes/no, on/off, 1/0
    PowerOfTwo,  // a whole number, brought to the nearest power of two within the bounds
    Choice,      // a whole number, brought to the nearest of kBandsPerOctaveChoices
    Number,      // a number (decimals allowed), brought within the bounds
};

struct SpectrumSetting {
    const char* key;      // in full, trailing colon included
    const char* command;  // "@VumiraInternal <command> <value>"
    SpectrumValue kind;
    std::atomic<float> SpectrumSettings::*value;
    float defaultValue;
    float low = 0;   // bounds of PowerOfTwo and Number
    float high = 0;
    const char* const* words = nullptr;  // Word: the texts of the values 0, 1, ...
    std::size_t wordCount = 0;
    bool restartsCapture = false;  // the recording's format or the transform's length follows it
};

inline constexpr const char* kScaleWords[] = {"linear", "log"};
inline constexpr const char* kWeightingWords[] = {"none", "A"};

inline constexpr SpectrumSetting kSpectrumSettings[] = {
    {"Vumira.plugin.spectrum.scale:", "SpectrumScale", SpectrumValue::Word, &SpectrumSettings::logScale, 0, 0, 0,
     kScaleWords, std::size(kScaleWords), true},
    {"Vumira.plugin.spectrum.points:", "SpectrumPoints", SpectrumValue::PowerOfTwo, &SpectrumSettings::points, 4096,
     512, 16384, nullptr, 0, true},
    {"Vumira.plugin.spectrum.lowHz:", "SpectrumLowHz", SpectrumValue::Number, &SpectrumSettings::lowHz, 50, 1,
     96000},
    {"Vumira.plugin.spectrum.highHz:", "SpectrumHighHz", SpectrumValue::Number, &SpectrumSettings::highHz, 16000, 1,
     96000},
    {"Vumira.plugin.spectrum.bandsPerOctave:", "SpectrumBandsPerOctave", SpectrumValue::Choice,
     &SpectrumSettings::bandsPerOctave, 0},
    {"Vumira.plugin.spectrum.floorDb:", "SpectrumFloorDb", SpectrumValue::Number, &SpectrumSettings::floorDb, -70,
     -200, -1},
    {"Vumira.plugin.spectrum.autoGain:", "SpectrumAutoGain", SpectrumValue::Flag, &SpectrumSettings::autoGain, 0},
    {"Vumira.plugin.spectrum.weighting:", "SpectrumWeighting", SpectrumValue::Word, &SpectrumSettings::aWeighting, 0,
     0, 0, kWeightingWords, std::size(kWeightingWords)},
};

// Reads every row from the rc file; a missing key or a text that is no
// value of its row gives the row's default.
void loadSpectrumSettings();
// The value that a text gives the row, brought within its bounds; false for
// a text that is no value of the row.
bool parseSpectrumValue(const SpectrumSetting& row, const char* text, float& value);
// The value as the rc file keeps it.
void formatSpectrumValue(const SpectrumSetting& row, float value, char* out, std::size_t size);
// Stores the value and writes it under the row's key.
void setSpectrumValue(const SpectrumSetting& row, float value);

// The row's value now.
float spectrumValue(const SpectrumSetting& row);
// Whether the log-band analysis is chosen.
bool logScaleChosen();

}  // namespace vumira

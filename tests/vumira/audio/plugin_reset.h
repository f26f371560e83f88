// Brings the fields that capture and analysis use back to the state that
// plug-in start gives with the default settings, so that every test starts
// from the same place.
#pragma once

#include "audio/capture.h"
#include "config/plugin_state.h"
#include "config/settings_table.h"
#include "config/spectrum_settings.h"

namespace capturetest {

inline void resetPluginState() {
    using vumira::plugin;
    plugin.pluginWindow.store(nullptr);
    // Every setting's default, in the table's order (the highest band
    // follows the buffer size above it), as a load with no rc file gives.
    for (const vumira::Setting& row : vumira::kSettings) {
        if (row.field.shape == vumira::FieldShape::Text)
            vumira::storeText(row, row.defaultValue.text);
        else
            vumira::storeNumber(row, vumira::defaultNumber(row));
    }
    plugin.bandCount = plugin.freqMax.load() - plugin.freqMin.load();
    plugin.capturing.store(0);
    plugin.waveInHandle.store(nullptr);
    // The records a test left behind; their buffers went with the doubles.
    delete plugin.capture.exchange(nullptr);
    while (vumira::CaptureBuffer* kept = plugin.abandonedCaptures) {
        plugin.abandonedCaptures = kept->nextAbandoned;
        delete kept;
    }
    plugin.returnedBuffers.store(1);
    for (auto& bar : plugin.bars) bar.store(0);
    for (auto& peak : plugin.peaks) peak.store(0.0f);
    plugin.lastRepaintTick.store(0);
    // The log-band spectrum's settings at their defaults (the exact analysis), its bars empty.
    for (const vumira::SpectrumSetting& row : vumira::kSpectrumSettings) (plugin.spectrum.*row.value).store(row.defaultValue);
    plugin.logSpectrum.recording.store(false);
    for (auto& bar : plugin.logSpectrum.bars) bar.store(0);
    for (auto& peak : plugin.logSpectrum.peaks) peak.store(0.0f);
}

}  // namespace capturetest

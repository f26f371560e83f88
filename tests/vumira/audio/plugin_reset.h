// Brings the fields that capture and analysis use back to the state that
// plug-in start gives with the default settings, so that every test starts
// from the same place.
#pragma once

#include "config/plugin_state.h"

namespace capturetest {

inline void resetPluginState() {
    using vumira::plugin;
    plugin.pluginWindow.store(nullptr);
    plugin.width.store(100);
    plugin.height.store(25);
    plugin.bufferSize = 64;
    plugin.freqMin.store(0);
    plugin.freqMax.store(32);
    plugin.bandCount = 32;
    plugin.frameIntervalMs.store(40);
    plugin.sampleRateKHz = 16;
    plugin.bitsPerSample = 16;
    plugin.peakMarkers.store(false);
    plugin.peakDropSpeed.store(0.1f);
    plugin.maxBarHeight.store(64);
    plugin.scopeType.set("h");
    plugin.capturing.store(0);
    plugin.waveInHandle.store(nullptr);
    plugin.waveHeader = WAVEHDR{};
    plugin.returnedBuffers.store(1);
    for (auto& bar : plugin.bars) bar.store(0);
    for (auto& peak : plugin.peaks) peak.store(0.0f);
    plugin.lastRepaintTick.store(0);
}

}  // namespace capturetest

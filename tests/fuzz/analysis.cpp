// The analysis of recorded buffers under random byte counts (0 to 600, past
// the 512 the analysis takes), random bytes, and random settings stored as
// the rc file and the commands store them, within their bounds and far
// outside. A few buffers run in turn, so bars decay and peaks fall. Bands
// outside the range the settings give must keep their bars and peaks; a
// peak must stay a finite number.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/spectrum.h"
#include "base/limits.h"
#include "config/plugin_state.h"
#include "config/settings_table.h"
#include "fuzz_input.h"
#include "plugin_reset.h"

namespace {

using vumira::plugin;
using vumira::SettingId;

[[noreturn]] void fault(const char* what, int band) {
    std::fprintf(stderr, "analysis: %s at band %d\n", what, band);
    std::abort();
}

// A number near a bound, or any int at all.
int settingNumber(fuzzing::FuzzInput& input) {
    static constexpr int kNear[] = {0, 1, -1, 2, 16, 31, 32, 63, 64, 255, 256, 511, 512, 513, 1000};
    const std::uint8_t choice = input.byte();
    if (choice < 200) return kNear[choice % std::size(kNear)] * (choice & 1 ? -1 : 1);
    return input.number<int>();
}

void chooseSettings(fuzzing::FuzzInput& input) {
    for (SettingId id : {SettingId::Width, SettingId::Height, SettingId::FreqMin, SettingId::FreqMax, SettingId::Fps,
                         SettingId::PeakMarkers, SettingId::PeakDropSpeed, SettingId::MaxBarHeight})
        if (input.flag()) vumira::storeNumber(vumira::setting(id), settingNumber(input));
    if (input.flag()) vumira::storeText(vumira::setting(SettingId::ScopeType), input.text(4).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    capturetest::resetPluginState();
    chooseSettings(input);
    for (std::size_t i = 0; i < vumira::kBandSlots; ++i) {
        plugin.bars[i].store(input.byte());
        plugin.peaks[i].store(float(input.byte()));
    }
    const int first = plugin.freqMin.load();
    const int end = plugin.freqMax.load();
    auto inRange = [&](int band) { return band >= first && band < end; };
    std::vector<unsigned char> barsBefore(vumira::kBandSlots);
    std::vector<float> peaksBefore(vumira::kBandSlots);
    for (std::size_t i = 0; i < vumira::kBandSlots; ++i) {
        barsBefore[i] = plugin.bars[i].load();
        peaksBefore[i] = plugin.peaks[i].load();
    }

    const unsigned buffers = input.inRange(1, 4);
    for (unsigned b = 0; b < buffers; ++b) {
        const unsigned count = input.inRange(0, 600);
        // Exactly `count` bytes, so that a read past them is caught.
        std::vector<unsigned char> bytes(count);
        for (auto& byte : bytes) byte = input.byte();
        vumira::analyseBuffer(count ? bytes.data() : nullptr, count);
    }

    for (int band = 0; band < int(vumira::kBandSlots); ++band) {
        const float peak = plugin.peaks[band].load();
        if (!std::isfinite(peak)) fault("a peak is not a number", band);
        if (inRange(band)) continue;
        if (plugin.bars[band].load() != barsBefore[std::size_t(band)]) fault("a bar outside the bands changed", band);
        if (peak != peaksBefore[std::size_t(band)]) fault("a peak outside the bands changed", band);
    }
    return 0;
}

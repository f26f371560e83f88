// The one process-wide record of the plug-in: every setting (its rc key,
// default and bounds are rows of settings_table.h) and every runtime value
// (windows, capture, arrays, style, back buffer). No other copy of any of
// these exists.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <obsidel/api.h>

#include <atomic>
#include <cstddef>

#include "base/limits.h"
#include "base/text.h"
#include "config/spectrum_settings.h"
#include "signal/log_spectrum_state.h"

namespace vumira {

struct CaptureBuffer;  // audio/capture.h

inline constexpr std::size_t kPathSize = MAX_PATH;
inline constexpr std::size_t kColorKeySize = 100;
inline constexpr std::size_t kPeakTypeSize = 32;
inline constexpr std::size_t kScopeTypeSize = 5;
inline constexpr std::size_t kTabPositionSize = 3;

// The see-through colour of the transparent background: red 255, green 0, blue 230.
inline constexpr COLORREF colorKey = RGB(255, 0, 230);
static_assert(colorKey == 0x00E600FF);

// The blend's constant alpha from the start until the settings are read,
// which replace it with the stored motion-blur alpha.
inline constexpr BYTE kStartBlendAlpha = 128;

// Fields marked "shared" are read by the capture callback on the wave-in
// thread while the user-interface thread may change them. They are atomics:
// relaxed where only each value needs to be whole, release/acquire for the
// stop handshake (returnedBuffers).
struct PluginState {
    // ---- plug-in core ----
    HINSTANCE moduleInstance = nullptr;
    HWND hostWindow = nullptr;
    HWND slitWindow = nullptr;
    std::atomic<HWND> pluginWindow{nullptr};  // shared: the callback invalidates it
    bool layeredSupported = false;
    BLENDFUNCTION blendFunction{};  // constant alpha = motionBlurAlpha

    // ---- settings: each a row of settings_table.h, read from the file at rcPath ----
    char rcPath[kPathSize] = {};
    int posX = 10;
    int posY = 10;
    bool inSlit = false;
    bool motionBlur = false;
    bool transparencyEnabled = false;
    bool transBackEnabled = false;
    int transparencyAlpha = 60;
    bool alwaysOnTop = true;
    bool snapWindow = true;
    bool toggleWithPlugins = true;
    char updateUrl[kPathSize] = {};
    std::atomic<int> width{100};   // shared
    std::atomic<int> height{25};   // shared
    bool startMonitorOnStartup = true;
    int bufferSize = 0;  // zero until the first loadSettings
    std::atomic<int> freqMin{0};   // shared
    std::atomic<int> freqMax{32};  // shared
    int bandCount = 32;
    std::atomic<int> frameIntervalMs{40};  // shared
    int sampleRateKHz = 16;
    int bitsPerSample = 16;
    std::atomic<bool> peakMarkers{false};  // shared
    char peakType[kPeakTypeSize] = "dot";
    std::atomic<float> peakDropSpeed{0.1f};  // shared
    std::atomic<int> maxBarHeight{64};       // shared
    char scopeColorKey[kColorKeySize] = "toolbar.textColor:";
    char peakColorKey[kColorKeySize] = "borderColor:";
    char tabPosition[kTabPositionSize] = "br";
    SharedText<kScopeTypeSize> scopeType{"h"};  // shared
    bool showBorder = true;

    // ---- style ----
    StyleItem styleItem{};
    int bevelWidth = 0;
    int borderWidth = 0;
    COLORREF borderColor = 0;
    COLORREF scopeColor = RGB(255, 255, 255);
    COLORREF peakColor = 0;
    HFONT styleFont = nullptr;

    // ---- capture ----
    std::atomic<int> capturing{0};             // shared
    std::atomic<HWAVEIN> waveInHandle{nullptr};  // shared
    // The running capture's header and buffer, a record of its own for each
    // start (null while idle); the callback tells a late buffer by it.
    std::atomic<CaptureBuffer*> capture{nullptr};  // shared
    // Buffers that a stop gave up on, still held by their devices: released
    // once a device hands its buffer back or closes.
    CaptureBuffer* abandonedCaptures = nullptr;
    std::atomic<int> returnedBuffers{0};  // buffers the last stopped capture got back

    // ---- analysis ----
    std::atomic<unsigned char> bars[kBandSlots] = {};  // shared
    std::atomic<float> peaks[kBandSlots] = {};         // shared
    std::atomic<DWORD> lastRepaintTick{0};

    // ---- the log-band spectrum, a mode beside the exact analysis ----
    SpectrumSettings spectrum;  // shared: read on every frame
    LogSpectrumState logSpectrum;

    // ---- window ----
    bool pluginsHidden = false;

    // ---- back buffer ----
    HDC backBufferDC = nullptr;
    HBITMAP backBufferBitmap = nullptr;
    HBITMAP previousBitmap = nullptr;
};

extern PluginState plugin;

}  // namespace vumira

// The rc file's keys, one per setting, each with its trailing colon.
#pragma once

namespace vumira::rckey {

inline constexpr const char* kX = "Vumira.plugin.x:";
inline constexpr const char* kY = "Vumira.plugin.y:";
inline constexpr const char* kInSlit = "Vumira.plugin.inSlit:";
inline constexpr const char* kMotionBlur = "Vumira.plugin.motionblur:";
inline constexpr const char* kMotionBlurAlpha = "Vumira.plugin.motionbluralpha:";
inline constexpr const char* kTransparencyEnabled = "Vumira.plugin.transparency.enabled:";
inline constexpr const char* kTransBackEnabled = "Vumira.plugin.transback.enabled:";
inline constexpr const char* kTransparencyAlpha = "Vumira.plugin.transparency.alpha:";
inline constexpr const char* kAlwaysOnTop = "Vumira.plugin.alwaysontop:";
inline constexpr const char* kSnapWindow = "Vumira.plugin.snapwindow:";
inline constexpr const char* kToggleWithPlugins = "Vumira.plugin.togglewithplugins:";
inline constexpr const char* kUpdateUrl = "Vumira.plugin.update.url:";
inline constexpr const char* kWidth = "Vumira.plugin.width:";
inline constexpr const char* kHeight = "Vumira.plugin.height:";
inline constexpr const char* kStartMonitorOnStartup = "Vumira.plugin.wave.StartWaveMonitorOnStartUp:";
inline constexpr const char* kBufferSize = "Vumira.plugin.wave.buffsize:";
inline constexpr const char* kFreqMin = "Vumira.plugin.wave.freqmin:";
inline constexpr const char* kFreqMax = "Vumira.plugin.wave.freqmax:";
inline constexpr const char* kFps = "Vumira.plugin.wave.fps:";
inline constexpr const char* kSampleRateKHz = "Vumira.plugin.wave.KHz:";
inline constexpr const char* kBitsPerSample = "Vumira.plugin.wave.bit:";
inline constexpr const char* kPeakMarkers = "Vumira.plugin.wave.peaks:";
inline constexpr const char* kPeakType = "Vumira.plugin.style.peakType:";
inline constexpr const char* kPeakDrop = "Vumira.plugin.style.peakDrop:";
inline constexpr const char* kMaxBarHeight = "Vumira.plugin.style.maxBarHeight:";
inline constexpr const char* kScopeColor = "Vumira.plugin.style.ScopeColor:";
inline constexpr const char* kPeakColor = "Vumira.plugin.style.PeakColor:";
inline constexpr const char* kTabPosition = "Vumira.plugin.style.tabPosition:";
inline constexpr const char* kScopeType = "Vumira.plugin.style.scopeType:";
inline constexpr const char* kShowBorder = "Vumira.plugin.showBorder:";

}  // namespace vumira::rckey

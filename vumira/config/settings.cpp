#include "config/settings.h"

#include <cstring>

#include "config/plugin_state.h"
#include "config/rc_keys.h"

namespace vumira {
namespace {

// Keeps `rcPath` up to and including its last separator (backslash or
// slash, so Windows and POSIX module paths both work), or empties it.
void cutAfterLastSeparator(char* path) {
    char* backslash = std::strrchr(path, '\\');
    char* slash = std::strrchr(path, '/');
    char* last = backslash > slash ? backslash : slash;
    if (last) last[1] = '\0';
    else path[0] = '\0';
}

void appendText(char* path, std::size_t size, const char* name) {
    std::size_t used = std::strlen(path);
    if (used < size) copyText(path + used, size - used, name);
}

// Looks for "Vumirarc", then "Vumira.rc", in the folder of `rcPath`;
// leaves the one found in `rcPath`.
bool findRcFileBeside() {
    cutAfterLastSeparator(plugin.rcPath);
    appendText(plugin.rcPath, kPathSize, "Vumirarc");
    if (FileExists(plugin.rcPath)) return true;
    cutAfterLastSeparator(plugin.rcPath);
    appendText(plugin.rcPath, kPathSize, "Vumira.rc");
    return FileExists(plugin.rcPath) != 0;
}

// Whether the folder of `path` takes a new file: a short-lived probe file
// is made there. A folder that does not (an installation for all users) is
// no place for the first write of the rc file.
bool folderTakesNewFiles(const char* path) {
    char probe[kPathSize];
    copyText(probe, path);
    cutAfterLastSeparator(probe);
    appendText(probe, kPathSize, "Vumira.rc.probe");
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;  // another probe's leftover
    CloseHandle(file);
    return true;
}

void locateRcFile() {
    plugin.rcPath[0] = '\0';
    DWORD length = GetModuleFileNameA(plugin.moduleInstance, plugin.rcPath, static_cast<DWORD>(kPathSize));
    if (length >= kPathSize) length = static_cast<DWORD>(kPathSize - 1);
    plugin.rcPath[length] = '\0';
    if (findRcFileBeside()) return;

    char besideModule[kPathSize];
    copyText(besideModule, plugin.rcPath);
    GetObsidelPath(plugin.rcPath, static_cast<int>(kPathSize));
    if (findRcFileBeside()) return;

    // Neither folder has one: it comes into being at the first write, beside
    // the module, or in the host's folder when the module's cannot take it.
    if (folderTakesNewFiles(besideModule)) copyText(plugin.rcPath, besideModule);
}

int readInt(const char* key, int fallback) { return ReadInt(plugin.rcPath, key, fallback); }
bool readBool(const char* key, bool fallback) { return ReadBool(plugin.rcPath, key, fallback ? 1 : 0) != 0; }

template <std::size_t N>
void readText(char (&field)[N], const char* key, const char* fallback) {
    copyText(field, ReadString(plugin.rcPath, key, fallback));
}

// A colour key is stored without its colon and held with it. A stored text
// too long for the buffer is cut so the colon still fits.
void readColorKey(char (&field)[kColorKeySize], const char* key, const char* fallback) {
    copyText(field, kColorKeySize - 1, ReadString(plugin.rcPath, key, fallback));
    appendText(field, kColorKeySize, ":");
}

}  // namespace

void loadSettings() {
    locateRcFile();

    plugin.posX = readInt(rckey::kX, 10);
    plugin.posY = readInt(rckey::kY, 10);
    plugin.inSlit = readBool(rckey::kInSlit, false);
    plugin.motionBlur = readBool(rckey::kMotionBlur, false);
    // Only the low 8 bits count: the value is the blend's constant-alpha byte.
    plugin.blendFunction.SourceConstantAlpha = static_cast<BYTE>(readInt(rckey::kMotionBlurAlpha, 120) & 0xFF);
    plugin.transparencyEnabled = readBool(rckey::kTransparencyEnabled, false);
    plugin.transBackEnabled = readBool(rckey::kTransBackEnabled, false);
    plugin.transparencyAlpha = readInt(rckey::kTransparencyAlpha, 60);
    plugin.alwaysOnTop = readBool(rckey::kAlwaysOnTop, true);
    plugin.snapWindow = readBool(rckey::kSnapWindow, true);
    plugin.toggleWithPlugins = readBool(rckey::kToggleWithPlugins, true);
    readText(plugin.updateUrl, rckey::kUpdateUrl, "");
    plugin.width.store(readInt(rckey::kWidth, 100), std::memory_order_relaxed);
    plugin.height.store(readInt(rckey::kHeight, 25), std::memory_order_relaxed);
    plugin.startMonitorOnStartup = readBool(rckey::kStartMonitorOnStartup, true);

    int bufferSize = readInt(rckey::kBufferSize, 64);
    if (bufferSize > 256) bufferSize = 256;
    if (bufferSize < 32) bufferSize = 32;
    plugin.bufferSize = bufferSize;

    // The band range must stay inside the recorded buffer: a stored lowest
    // band below 0 or beyond the buffer is brought to the nearest bound
    // before the range's own fix-ups.
    int freqMin = readInt(rckey::kFreqMin, 0);
    if (freqMin < 0) freqMin = 0;
    if (freqMin > bufferSize - 1) freqMin = bufferSize - 1;
    int freqMax = readInt(rckey::kFreqMax, bufferSize >> 1);
    if (freqMax < freqMin) {
        freqMin = 0;
        freqMax = bufferSize - 1;
    }
    if (freqMax > bufferSize - 1) freqMax = bufferSize - 1;
    plugin.freqMin.store(freqMin, std::memory_order_relaxed);
    plugin.freqMax.store(freqMax, std::memory_order_relaxed);
    plugin.bandCount = freqMax - freqMin;

    int fps = readInt(rckey::kFps, 25);
    if (fps <= 0) fps = 1;
    plugin.frameIntervalMs.store(1000 / fps, std::memory_order_relaxed);

    plugin.sampleRateKHz = readInt(rckey::kSampleRateKHz, 16);
    plugin.bitsPerSample = readInt(rckey::kBitsPerSample, 16);
    plugin.peakMarkers.store(readBool(rckey::kPeakMarkers, false), std::memory_order_relaxed);
    readText(plugin.peakType, rckey::kPeakType, "dot");
    plugin.peakDropSpeed.store(static_cast<float>(readInt(rckey::kPeakDrop, 1) * 0.1), std::memory_order_relaxed);
    plugin.maxBarHeight.store(readInt(rckey::kMaxBarHeight, 64), std::memory_order_relaxed);
    readColorKey(plugin.scopeColorKey, rckey::kScopeColor, "toolbar.textColor");
    readColorKey(plugin.peakColorKey, rckey::kPeakColor, "borderColor");
    readText(plugin.tabPosition, rckey::kTabPosition, "br");
    plugin.scopeType.set(ReadString(plugin.rcPath, rckey::kScopeType, "h"));
    plugin.showBorder = readBool(rckey::kShowBorder, true);
}

}  // namespace vumira

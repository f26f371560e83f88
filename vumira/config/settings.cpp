#include "config/settings.h"

#include <cstdio>
#include <cstring>

#include "config/plugin_state.h"
#include "config/settings_table.h"
#include "config/spectrum_settings.h"
#include "signal/bands.h"

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

bool keptOnScreen(const Setting& row) {
    return row.bounds.range == Range::ScreenWidth || row.bounds.range == Range::ScreenHeight;
}

// A stored window size that the screen cannot show (too large to make, or
// too small to see) is brought within it; the status text names the key,
// so the user knows why the window is not the size the file says.
void reportSizeKept(const Setting& row, int stored, int kept) {
    char status[kPathSize];
    std::snprintf(status, sizeof status, "VumiraPlugin -> %s %d is outside %d..%d: %d kept", row.key, stored,
                  kWindowSizeMin, row.bounds.range == Range::ScreenWidth ? GetSystemMetrics(SM_CXSCREEN)
                                                                         : GetSystemMetrics(SM_CYSCREEN),
                  kept);
    SendMessageA(plugin.hostWindow, OBM_SETSTATUSBAR, 0, reinterpret_cast<LPARAM>(status));
}

// Reads one row under its key, its default standing in for a missing key.
void readRow(const Setting& row) {
    switch (row.kind) {
    case SettingKind::Bool:
        storeNumber(row, ReadBool(plugin.rcPath, row.key, defaultNumber(row) != 0 ? 1 : 0));
        return;
    case SettingKind::Text:
    case SettingKind::ColorKey: storeText(row, ReadString(plugin.rcPath, row.key, row.defaultValue.text)); return;
    case SettingKind::Int:
    case SettingKind::AlphaByte:
    case SettingKind::Tenths:
    case SettingKind::FrameRate: {
        int number = ReadInt(plugin.rcPath, row.key, defaultNumber(row));
        if (row.bounds.range == Range::Fixed) number = keepInBounds(row, number);
        if (keptOnScreen(row)) {
            const int kept = keepInBounds(row, number);
            if (kept != number) reportSizeKept(row, number, kept);
            number = kept;
        }
        storeNumber(row, number);
        return;
    }
    }
}

// The band range must lie inside the recorded buffer, and its two ends
// depend on each other, so they are fixed up together after every row.
void fitBandRange() {
    const BandRange range = fitLoadedBandRange(
        {plugin.freqMin.load(std::memory_order_relaxed), plugin.freqMax.load(std::memory_order_relaxed)},
        plugin.bufferSize);
    plugin.freqMin.store(range.freqMin, std::memory_order_relaxed);
    plugin.freqMax.store(range.freqMax, std::memory_order_relaxed);
    plugin.bandCount = bandCountOf(range);
}

}  // namespace

void loadSettings() {
    locateRcFile();
    for (const Setting& row : kSettings) readRow(row);
    fitBandRange();
    loadSpectrumSettings();
}

void writeSetting(const Setting& row, int number) {
    if (row.kind == SettingKind::Bool)
        WriteBool(plugin.rcPath, row.key, number);
    else
        WriteInt(plugin.rcPath, row.key, number);
}

void writeSettingText(const Setting& row) {
    char text[kPathSize];
    fileText(row, text, sizeof text);
    WriteString(plugin.rcPath, row.key, text);
}

}  // namespace vumira

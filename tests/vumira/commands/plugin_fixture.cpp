#include "plugin_fixture.h"

#include <obsidel/api.h>
#include <win32subset.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "config/plugin_state.h"
#include "core/entry_points.h"
#include "host_paths.h"
#include "host_window.h"

namespace commandtest {

std::atomic<int> opened{0};
std::atomic<int> closed{0};
std::atomic<unsigned> lastRate{0};

namespace {

// The marker alpha: applyWindowState sets 255 or transparencyAlpha's low
// byte, and the tests never use 7 for it.
constexpr BYTE kMarkAlpha = 7;

std::string programFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().string();
}

std::string yesNo(bool value) { return value ? "1" : "0"; }

}  // namespace

void prepareProcess() {
    static bool prepared = false;
    if (prepared) return;
    for (const char* name : {"Vumirarc", "Vumira.rc"}) {
        auto beside = std::filesystem::path(programFolder()) / name;
        ASSERT_FALSE(std::filesystem::exists(beside))
            << beside << " would be read in place of the tests' own rc files: remove it";
    }
    // Edit must never start a person's real editor from a test.
    setenv("VISUAL", "true", 1);
    ASSERT_EQ(Win32SubsetSetDisplay("headless"), 0);
    ASSERT_EQ(Win32SubsetSetWaveIn("tone:440"), 0);
    ASSERT_NE(obsidel::createHostWindow(GetModuleHandleA(nullptr)), nullptr);
    prepared = true;
}

namespace {

// Prepared before any test runs, so that no test finds it half done.
class ProcessEnvironment : public ::testing::Environment {
public:
    void SetUp() override { prepareProcess(); }
};
[[maybe_unused]] ::testing::Environment* const processEnvironment =
    ::testing::AddGlobalTestEnvironment(new ProcessEnvironment);

}  // namespace

StartedPlugin::StartedPlugin(const std::string& rcText, HWND slit, const std::string& homeName) {
    prepareProcess();
    auto home = folder_.path() / homeName;
    std::filesystem::create_directories(home);
    obsidel::setHomeFolder(home.string());
    rcPath_ = (home / "Vumira.rc").string();
    testsupport::writeFile(rcPath_, rcText);
    HINSTANCE module = GetModuleHandleA(nullptr);
    result_ = slit ? beginSlitPlugin(module, slit) : beginPlugin(module);
    pumpMessages();
}

StartedPlugin::~StartedPlugin() {
    endPlugin(GetModuleHandleA(nullptr));
    pumpMessages();
}

HWND StartedPlugin::window() const { return vumira::plugin.pluginWindow.load(); }

Fields pluginFields() {
    const auto& p = vumira::plugin;
    char scope[vumira::kScopeTypeSize];
    p.scopeType.get(scope);
    char drop[32];
    std::snprintf(drop, sizeof drop, "%g", static_cast<double>(p.peakDropSpeed.load()));
    return {
        {"posX", std::to_string(p.posX)},
        {"posY", std::to_string(p.posY)},
        {"inSlit", yesNo(p.inSlit)},
        {"pluginsHidden", yesNo(p.pluginsHidden)},
        {"capturing", std::to_string(p.capturing.load())},
        {"motionBlur", yesNo(p.motionBlur)},
        {"motionBlurAlpha", std::to_string(p.blendFunction.SourceConstantAlpha)},
        {"transparencyEnabled", yesNo(p.transparencyEnabled)},
        {"transBackEnabled", yesNo(p.transBackEnabled)},
        {"transparencyAlpha", std::to_string(p.transparencyAlpha)},
        {"alwaysOnTop", yesNo(p.alwaysOnTop)},
        {"snapWindow", yesNo(p.snapWindow)},
        {"toggleWithPlugins", yesNo(p.toggleWithPlugins)},
        {"width", std::to_string(p.width.load())},
        {"height", std::to_string(p.height.load())},
        {"startMonitorOnStartup", yesNo(p.startMonitorOnStartup)},
        {"bufferSize", std::to_string(p.bufferSize)},
        {"freqMin", std::to_string(p.freqMin.load())},
        {"freqMax", std::to_string(p.freqMax.load())},
        {"bandCount", std::to_string(p.bandCount)},
        {"frameIntervalMs", std::to_string(p.frameIntervalMs.load())},
        {"sampleRateKHz", std::to_string(p.sampleRateKHz)},
        {"bitsPerSample", std::to_string(p.bitsPerSample)},
        {"peakMarkers", yesNo(p.peakMarkers.load())},
        {"peakType", p.peakType},
        {"peakDropSpeed", drop},
        {"maxBarHeight", std::to_string(p.maxBarHeight.load())},
        {"scopeColorKey", p.scopeColorKey},
        {"peakColorKey", p.peakColorKey},
        {"tabPosition", p.tabPosition},
        {"scopeType", scope},
        {"showBorder", yesNo(p.showBorder)},
    };
}

std::map<std::string, std::string> rcEntries(const std::string& path) {
    std::map<std::string, std::string> entries;
    std::istringstream lines(testsupport::readFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        entries[line.substr(0, colon + 1)] = value;
    }
    return entries;
}

std::vector<std::string> statusLines(const std::string& log) {
    std::vector<std::string> texts;
    std::istringstream lines(log);
    std::string line;
    const std::string prefix = "obsidel: VumiraPlugin -> ";
    while (std::getline(lines, line))
        if (line.rfind(prefix, 0) == 0) texts.push_back(line.substr(std::string("obsidel: ").size()));
    return texts;
}

CaptureCounts captureCounts() { return {opened.load(), closed.load(), lastRate.load()}; }

void markWindowState(HWND window) { SetLayeredWindowAttributes(window, 0, kMarkAlpha, LWA_ALPHA); }

bool windowStateApplied(HWND window) {
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(window, &key, &alpha, &flags);
    return !(alpha == kMarkAlpha && flags == LWA_ALPHA);
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void broadcast(const std::string& command) { obsidel::broadcast(command.c_str()); }

}  // namespace commandtest

// The recording device as the plug-in opens and closes it, counted on its
// way to the subset's own calls.
extern "C" MMRESULT WINAPI waveInOpen(LPHWAVEIN device, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                                      DWORD_PTR instance, DWORD flags) {
    using Open = MMRESULT (*)(LPHWAVEIN, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD);
    static auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "waveInOpen"));
    MMRESULT result = real(device, deviceId, format, callback, instance, flags);
    if (result == MMSYSERR_NOERROR) {
        commandtest::lastRate = format ? format->nSamplesPerSec : 0;
        ++commandtest::opened;
    }
    return result;
}

extern "C" MMRESULT WINAPI waveInClose(HWAVEIN device) {
    using Close = MMRESULT (*)(HWAVEIN);
    static auto real = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "waveInClose"));
    MMRESULT result = real(device);
    if (result == MMSYSERR_NOERROR) ++commandtest::closed;
    return result;
}

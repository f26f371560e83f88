// The plug-in's command interpreter under random command texts, sent as
// the host sends its broadcasts: to the plug-in's window procedure, with the
// plug-in started once on the headless display and recording a tone. An
// input holds up to eight commands, one a line; a line that starts with
// "Vumira.plugin." is instead written into the rc file, followed by the
// host's reconfigure message. After each, the buffer size must lie within
// its bounds, the band range within the buffer, the band count must match
// the range, and the window must be shown (unless hidden with the host's
// plug-ins) at a size between the smallest window and the screen.
#include <windows.h>

#include <obsidel/api.h>
#include <win32subset.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/limits.h"
#include "config/plugin_state.h"
#include "core/entry_points.h"
#include "host_paths.h"
#include "host_window.h"
#include "scratch.h"
#include "settings_store.h"

namespace {

using vumira::plugin;

[[noreturn]] void fault(const char* what, const std::string& command) {
    fuzzing::fault("command interpreter", what,
                   command + "; buffer " + std::to_string(plugin.bufferSize) + ", bands " +
                       std::to_string(plugin.freqMin.load()) + ".." + std::to_string(plugin.freqMax.load()) +
                       ", count " + std::to_string(plugin.bandCount));
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void checkState(const std::string& command) {
    if (plugin.bufferSize < vumira::kBufferSizeMin || plugin.bufferSize > vumira::kBufferSizeMax)
        fault("the buffer size left its bounds", command);
    const int last = plugin.bufferSize - 1;
    if (plugin.freqMin.load() < 0 || plugin.freqMin.load() > last || plugin.freqMax.load() < 0 ||
        plugin.freqMax.load() > last)
        fault("the band range left the buffer", command);
    if (plugin.bandCount != plugin.freqMax.load() - plugin.freqMin.load())
        fault("the band count does not match the range", command);
    const int width = plugin.width.load(), height = plugin.height.load();
    if (width < vumira::kWindowSizeMin || width > GetSystemMetrics(SM_CXSCREEN) || height < vumira::kWindowSizeMin ||
        height > GetSystemMetrics(SM_CYSCREEN))
        fault("the window's size left the screen", command + "; size " + std::to_string(width) + "x" +
                                                       std::to_string(height));
    if (!IsWindowVisible(plugin.pluginWindow.load()) && !(plugin.pluginsHidden && plugin.toggleWithPlugins))
        fault("the window is not shown", command);
}

// An rc line as a person could save it (key, colon, value), replacing the
// key's line, read at the next reconfigure.
void storeAndReconfigure(const std::string& line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) return;
    obsidel::writeSetting(plugin.rcPath, line.substr(0, colon + 1), line.substr(colon + 1));
    SendMessageA(plugin.pluginWindow.load(), OBM_RECONFIGURE, 0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Edit must never start a person's editor.
    setenv("VISUAL", "true", 1);
    Win32SubsetSetDisplay("headless");
    Win32SubsetSetWaveIn("tone:440");
    HINSTANCE module = GetModuleHandleA(nullptr);
    if (!obsidel::createHostWindow(module)) fault("no host window", "");
    const auto& home = fuzzing::scratchFolder();
    obsidel::setHomeFolder(home.string());
    std::ofstream(home / "Vumira.rc") << "";
    if (beginPlugin(module) != 0) fault("the plug-in did not start", "");
    pumpMessages();
    std::atexit([] {
        endPlugin(GetModuleHandleA(nullptr));
        pumpMessages();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
    std::string command;
    for (int sent = 0; sent < 8 && std::getline(lines, command); ++sent) {
        if (command.rfind("Vumira.plugin.", 0) == 0)
            storeAndReconfigure(command);
        else
            SendMessageA(plugin.pluginWindow.load(), OBM_BROADCAST, 0, reinterpret_cast<LPARAM>(command.c_str()));
        pumpMessages();
        checkState(command);
    }
    Win32SubsetClearMessageBoxes();
    return 0;
}

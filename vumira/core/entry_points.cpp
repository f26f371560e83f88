// The module's exports: start, start in the slit, stop, and the identity
// texts. Every export runs on the host's user-interface thread.
#include "core/entry_points.h"

#include <cstring>

#include "audio/capture.h"
#include "base/identity.h"
#include "config/plugin_state.h"
#include "config/settings.h"
#include "config/style.h"
#include "window/window.h"

namespace vumira {

PluginState plugin;

namespace {

constexpr const char* kClassName = "Vumira";
constexpr DWORD kLayeredToolWindow = WS_EX_TOOLWINDOW | WS_EX_LAYERED;  // 0x80080
constexpr DWORD kPopupStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;  // 0x96000000
static_assert(kLayeredToolWindow == 0x80080 && kPopupStyle == 0x96000000);

void showError(HWND owner, const char* text) {
    MessageBoxA(owner, text, identity::kNameAndVersion, identity::kErrorBoxFlags);
}

bool systemHasLayeredWindows() {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    if (!GetVersionExA(&version)) return false;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4;
}

}  // namespace
}  // namespace vumira

using vumira::plugin;

extern "C" int beginPlugin(HINSTANCE module) {
    using namespace vumira;
    plugin.blendFunction = BLENDFUNCTION{AC_SRC_OVER, 0, kStartBlendAlpha, 0};
    plugin.lastRepaintTick.store(GetTickCount(), std::memory_order_relaxed);
    for (std::size_t i = 0; i < kPeaksClearedAtStart; ++i) plugin.peaks[i].store(0.0f, std::memory_order_relaxed);
    plugin.returnedBuffers.store(1, std::memory_order_relaxed);
    // Through bufferSize inclusive, with the size of the previous start
    // (zero the first time); never beyond the array.
    for (int i = 0; i <= plugin.bufferSize && i < static_cast<int>(kBandSlots); ++i)
        plugin.bars[i].store(0, std::memory_order_relaxed);

    plugin.layeredSupported = systemHasLayeredWindows();
    plugin.hostWindow = GetOBWnd();
    plugin.moduleInstance = module;

    WNDCLASSA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) {
        showError(plugin.hostWindow, "Error registering window class");
        return 1;
    }

    loadSettings();
    readStyle();

    HWND window = CreateWindowExA(plugin.layeredSupported ? kLayeredToolWindow : WS_EX_TOOLWINDOW, kClassName, "",
                                  kPopupStyle, plugin.posX, plugin.posY, plugin.width.load(), plugin.height.load(),
                                  nullptr, nullptr, module, nullptr);
    if (!window) {
        showError(nullptr, "Error creating window");
        return 1;
    }

    plugin.capturing.store(0, std::memory_order_relaxed);
    if (plugin.startMonitorOnStartup) startCapture();
    return 0;
}

extern "C" int beginSlitPlugin(HINSTANCE module, HWND slit) {
    plugin.inSlit = true;
    plugin.slitWindow = slit;
    int result = beginPlugin(module);
    // No window to dock when the start failed.
    if (result == 0 && plugin.inSlit && plugin.slitWindow)
        SendMessageA(plugin.slitWindow, SLIT_ADD, 0, reinterpret_cast<LPARAM>(plugin.pluginWindow.load()));
    return result;
}

extern "C" int beginPluginEx(HINSTANCE module, HWND slit) { return beginSlitPlugin(module, slit); }

extern "C" void endPlugin(HINSTANCE module) {
    using namespace vumira;
    stopCapture();
    HWND window = plugin.pluginWindow.load();
    if (plugin.inSlit && plugin.slitWindow) {
        SendMessageA(plugin.slitWindow, SLIT_REMOVE, 0, reinterpret_cast<LPARAM>(window));
        SetWindowPos(window, nullptr, plugin.posX, plugin.posY, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        plugin.inSlit = false;  // not written: the stored value still says where to start next time
    }
    // The slit belongs to this start: a later start through beginPlugin has
    // none, and must not dock into a slit that may be gone.
    plugin.slitWindow = nullptr;
    if (window) DestroyWindow(window);
    UnregisterClassA(kClassName, module);
    if (plugin.styleFont) {
        DeleteObject(plugin.styleFont);
        plugin.styleFont = nullptr;
    }
}

extern "C" LPCSTR pluginInfo(int field) {
    using namespace vumira;
    switch (field) {
    case 1: return identity::kName;
    case 2: return identity::kVersion;
    case 3: return identity::kAuthor;
    case 4: return identity::kReleaseDate;
    case 5: return identity::kWebLink;
    case 6: return identity::kEmail;
    case 7: return identity::kPresetCommands;
    case 8: return plugin.updateUrl;
    default: return identity::kNameAndVersion;
    }
}

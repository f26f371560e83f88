// The display tests' fixture: the plug-in's state back at its defaults, its
// rc file in a temporary folder, a host window that records what the plug-in
// sends it, and the plug-in window created as the start creates it (tool
// window, layered when the system has layered windows, pop-up, visible).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "config/plugin_state.h"
#include "display/render.h"
#include "display/window_state.h"
#include "host_paths.h"
#include "pixel_canvas.h"
#include "style.h"
#include "test_support.h"
#include "window_helpers.h"
#include "window/window.h"

namespace displaytest {

using vumira::plugin;

// The windows live on the headless display unless the environment chooses
// another: test discovery hands a program one environment variable only,
// and that one names the recording device.
inline const bool headlessDisplayChosen = [] {
    static char choice[] = "VUMIRA_DISPLAY=headless";
    if (!std::getenv("VUMIRA_DISPLAY")) {
#ifdef _WIN32
        _putenv(choice);
#else
        putenv(choice);
#endif
    }
    return true;
}();

// One message that reached the host window: registration lists are copied.
struct HostMessage {
    UINT message;
    WPARAM wParam;
    std::vector<UINT> list;
};

inline std::vector<HostMessage>& hostMessages() {
    static std::vector<HostMessage> messages;
    return messages;
}

inline LRESULT CALLBACK recordingHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == OBM_REGISTERMESSAGE || message == OBM_UNREGISTERMESSAGE) {
        HostMessage seen{message, wParam, {}};
        for (const UINT* item = reinterpret_cast<const UINT*>(lParam); item && *item; ++item) seen.list.push_back(*item);
        hostMessages().push_back(seen);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The plug-in's state as a fresh module has it.
inline void resetPluginState() {
    if (plugin.styleFont) DeleteObject(plugin.styleFont);
    plugin.~PluginState();
    new (&plugin) vumira::PluginState();
    plugin.blendFunction = BLENDFUNCTION{AC_SRC_OVER, 0, vumira::kStartBlendAlpha, 0};
}

// The colours the pictures name. Frames are drawn on a flat background of
// `kBackground` with no bevel and no border unless a test says otherwise.
constexpr COLORREF kBackground = RGB(20, 30, 40);
constexpr COLORREF kBar = RGB(240, 200, 40);
constexpr COLORREF kPeak = RGB(60, 220, 250);
constexpr COLORREF kTabFill = RGB(90, 10, 160);
constexpr COLORREF kTabOutline = RGB(250, 250, 250);

inline const std::map<char, COLORREF>& legend() {
    static const std::map<char, COLORREF> colors = {{'.', kBackground}, {'#', kBar},     {'p', kPeak},
                                                    {'k', vumira::colorKey}, {'t', kTabFill}, {'b', kTabOutline}};
    return colors;
}

using testsupport::rows;

class PluginWindowTest : public ::testing::Test {
protected:
    static RECT windowRect() { return testsupport::windowRect(plugin.pluginWindow.load()); }

    void SetUp() override {
        resetPluginState();
        hostMessages().clear();
        obsidel::useBuiltInStyle();
        vumira::copyText(plugin.rcPath, rcFile().c_str());
        plugin.layeredSupported = true;
        plugin.snapWindow = false;  // tests that snap say so
        plugin.alwaysOnTop = false;
        plugin.posX = 40;
        plugin.posY = 30;

        StyleItem flat{};
        flat.texture = STYLE_FLAT;
        flat.bevelStyle = BEVEL_FLAT;
        flat.bevelPosition = 1;
        flat.color = kBackground;
        flat.colorTo = kBackground;
        plugin.styleItem = flat;
        plugin.showBorder = false;
        plugin.scopeColor = kBar;
        plugin.peakColor = kPeak;
        plugin.borderColor = kTabOutline;

        WNDCLASSA host{};
        host.lpfnWndProc = recordingHostProc;
        host.hInstance = GetModuleHandleA(nullptr);
        host.lpszClassName = "DisplayTestHost";
        RegisterClassA(&host);
        plugin.hostWindow = CreateWindowExA(WS_EX_TOOLWINDOW, "DisplayTestHost", "", WS_POPUP, 0, 0, 1, 1, nullptr,
                                            nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(plugin.hostWindow, nullptr);

        WNDCLASSA pluginClass{};
        pluginClass.style = CS_DBLCLKS;
        pluginClass.lpfnWndProc = vumira::windowProc;
        pluginClass.hInstance = GetModuleHandleA(nullptr);
        pluginClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        pluginClass.lpszClassName = "Vumira";
        ASSERT_NE(RegisterClassA(&pluginClass), 0);
    }

    void TearDown() override {
        if (module_) FreeLibrary(module_);
        HWND window = plugin.pluginWindow.load();
        if (window && IsWindow(window)) DestroyWindow(window);
        UnregisterClassA("Vumira", GetModuleHandleA(nullptr));
        DestroyWindow(plugin.hostWindow);
        UnregisterClassA("DisplayTestHost", GetModuleHandleA(nullptr));
        resetPluginState();
    }

    // Creates the window with the state as the test left it; its create
    // handling registers with the host, builds the back buffer and applies
    // the window state.
    HWND createPluginWindow() {
        const DWORD exStyle = plugin.layeredSupported ? 0x80080 : 0x80;
        HWND window = CreateWindowExA(exStyle, "Vumira", "", 0x96000000, plugin.posX, plugin.posY, plugin.width.load(),
                                      plugin.height.load(), nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(window, nullptr);
        EXPECT_EQ(plugin.pluginWindow.load(), window);
        return window;
    }

    // A window of `width` by `height` whose drawing area is inset by `inset`
    // (the border width; no bevel), showing bands freqMin .. freqMax - 1.
    HWND createFrameWindow(int width, int height, int inset, int freqMin, int freqMax, const char* scopeType) {
        plugin.width = width;
        plugin.height = height;
        plugin.borderWidth = inset;
        plugin.bevelWidth = 0;
        plugin.freqMin = freqMin;
        plugin.freqMax = freqMax;
        plugin.bandCount = freqMax - freqMin;
        plugin.scopeType.set(scopeType);
        HWND window = createPluginWindow();
        // The size message of the creation records at least 16 by 16; the
        // frames of smaller windows are drawn from the size they really have.
        plugin.width = width;
        plugin.height = height;
        return window;
    }

    static void setBars(int first, std::initializer_list<int> lengths) {
        int band = first;
        for (int length : lengths) plugin.bars[band++].store(static_cast<unsigned char>(length));
    }
    static void setPeaks(int first, std::initializer_list<float> positions) {
        int band = first;
        for (float position : positions) plugin.peaks[band++].store(position);
    }

    // Paints the window as a paint message does: the whole window is
    // invalidated and updated at once.
    static void paint() {
        HWND window = plugin.pluginWindow.load();
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }

    static RECT clientRect() { return clientRectOfPlugin(); }

public:
    static RECT clientRectOfPlugin() {
        RECT client{};
        GetClientRect(plugin.pluginWindow.load(), &client);
        return client;
    }

protected:

    // The back buffer as a picture, one character per pixel by `legend()`.
    static std::string backBuffer() { return picture(plugin.backBufferDC); }

    static std::string picture(HDC dc) { return testsupport::picture(dc, clientRect(), legend()); }

    // Loads a copy of an empty module from the test's folder and makes it
    // the plug-in's module, so that the rc file search finds the test's rc
    // file beside it; the host's folder is another temporary folder.
    void useModuleInTestFolder() {
        const std::string copy = dir_.file(std::filesystem::path(STAND_IN_MODULE).filename().string());
        std::filesystem::copy_file(STAND_IN_MODULE, copy);
        module_ = LoadLibraryA(copy.c_str());
        ASSERT_NE(module_, nullptr);
        plugin.moduleInstance = module_;
        obsidel::setHomeFolder(home_.path().string());
    }

    // The rc file's contents.
    std::string rcText() const { return testsupport::readFile(rcFile()); }
    std::string rcFile() const { return dir_.file("Vumira.rc"); }
    const testsupport::TempDir& dir() const { return dir_; }

private:
    testsupport::TempDir dir_;
    testsupport::TempDir home_;
    HMODULE module_ = nullptr;
};

}  // namespace displaytest

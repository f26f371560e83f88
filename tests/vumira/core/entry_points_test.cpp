// The module's entry points: start, start in the slit, stop, identity.
#include <windows.h>

#include <win32subset.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "config/plugin_state.h"
#include "core/entry_points.h"
#include "host_window.h"
#include "rc_folders.h"

namespace {

using testsupport::writeFile;
using vumira::plugin;

// A stand-in slit that records what the plug-in asks of it.
std::vector<std::pair<UINT, HWND>> slitRequests;
LRESULT CALLBACK slitProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == 11001 || message == 11002) {
        slitRequests.emplace_back(message, reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class EntryPoints : public RcFolders {
protected:
    void SetUp() override {
        RcFolders::SetUp();
        host_ = obsidel::createHostWindow(GetModuleHandleA(nullptr));
        ASSERT_NE(host_, nullptr);
        Win32SubsetClearMessageBoxes();
        slitRequests.clear();
    }
    void TearDown() override {
        obsidel::destroyHostWindow();
        UnregisterClassA("ObsidelHost", GetModuleHandleA(nullptr));
        RcFolders::TearDown();
    }
    void writeRc(const std::string& lines) {
        writeFile(besideModule("Vumira.rc"), "Vumira.plugin.wave.StartWaveMonitorOnStartUp: false\n" + lines);
    }
    HWND makeSlit() {
        WNDCLASSA slitClass{};
        slitClass.lpfnWndProc = slitProc;
        slitClass.hInstance = GetModuleHandleA(nullptr);
        slitClass.lpszClassName = "TestSlit";
        RegisterClassA(&slitClass);
        return CreateWindowExA(0, "TestSlit", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }

    HWND host_ = nullptr;
};

TEST_F(EntryPoints, PluginInfoTexts) {
    EXPECT_STREQ(pluginInfo(1), "Vumira");
    EXPECT_STREQ(pluginInfo(2), "0.1.0");
    EXPECT_STREQ(pluginInfo(7), "@Vumira SetStyle 1@Vumira SetStyle 2@Vumira SetStyle 3@Vumira SetStyle 4");
    for (int field : {0, 9, -1, 1000}) EXPECT_STREQ(pluginInfo(field), "Vumira 0.1.0") << field;
    // Dates are year, month and day joined by hyphens; links are not real addresses.
    std::string date = pluginInfo(4);
    ASSERT_EQ(date.size(), 10u);
    EXPECT_EQ(date[4], '-');
    EXPECT_EQ(date[7], '-');
    EXPECT_NE(std::string(pluginInfo(5)).find(".invalid"), std::string::npos);
    EXPECT_NE(std::string(pluginInfo(6)).find(".invalid"), std::string::npos);
}

TEST_F(EntryPoints, StartOpensTheWindowAtItsStoredPlaceAndStopTearsItDown) {
    writeRc("Vumira.plugin.x: 40\nVumira.plugin.y: 50\nVumira.plugin.width: 120\nVumira.plugin.height: 30\n");
    ASSERT_EQ(beginPlugin(module_), 0);
    HWND window = plugin.pluginWindow.load();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right - rect.left, 120);
    EXPECT_EQ(rect.bottom - rect.top, 30);
    EXPECT_EQ(plugin.capturing.load(), 0) << "capture is off when not started at start-up";
    EXPECT_EQ(plugin.hostWindow, host_);
    EXPECT_TRUE(plugin.layeredSupported);
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & 0xFFFF0000u, 0x96000000u);
    EXPECT_EQ(Win32SubsetMessageBoxCount(), 0);

    endPlugin(module_);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(plugin.styleFont, nullptr);
    // The class is gone: registering it again succeeds.
    WNDCLASSA again{};
    again.lpfnWndProc = DefWindowProcA;
    again.hInstance = module_;
    again.lpszClassName = "Vumira";
    EXPECT_NE(RegisterClassA(&again), 0);
    UnregisterClassA("Vumira", module_);
}

TEST_F(EntryPoints, AClassThatCannotBeRegisteredFailsTheStartWithABox) {
    writeRc("");
    WNDCLASSA taken{};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = module_;
    taken.lpszClassName = "Vumira";
    ASSERT_NE(RegisterClassA(&taken), 0);
    EXPECT_EQ(beginPlugin(module_), 1);
    ASSERT_EQ(Win32SubsetMessageBoxCount(), 1);
    EXPECT_STREQ(Win32SubsetMessageBoxText(0), "Error registering window class");
    EXPECT_STREQ(Win32SubsetMessageBoxCaption(0), "Vumira 0.1.0");
    EXPECT_EQ(Win32SubsetMessageBoxType(0), 0x40010u);
    UnregisterClassA("Vumira", module_);
}

TEST_F(EntryPoints, AnOldSystemGetsNoLayeredWindow) {
    writeRc("");
    struct Case {
        const char* version;
        bool layered;
    };
    for (const Case& c : {Case{"4.0", false}, Case{"5.0.1", false}, Case{"5.0", true}, Case{"10.0.2", true}}) {
        setenv("VUMIRA_OS_VERSION", c.version, 1);
        ASSERT_EQ(beginPlugin(module_), 0);
        EXPECT_EQ(plugin.layeredSupported, c.layered) << c.version;
        EXPECT_EQ((GetWindowLongA(plugin.pluginWindow.load(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0, c.layered)
            << c.version;
        endPlugin(module_);
    }
    unsetenv("VUMIRA_OS_VERSION");
}

TEST_F(EntryPoints, SlitStartDocksOnlyWhenTheStoredSettingSaysSo) {
    HWND slit = makeSlit();
    writeRc("Vumira.plugin.inSlit: false\n");
    ASSERT_EQ(beginSlitPlugin(module_, slit), 0);
    EXPECT_FALSE(plugin.inSlit);
    EXPECT_TRUE(slitRequests.empty()) << "a floating start asks nothing of the slit";
    endPlugin(module_);
    EXPECT_TRUE(slitRequests.empty());

    writeRc("Vumira.plugin.inSlit: true\nVumira.plugin.x: 70\nVumira.plugin.y: 80\n");
    ASSERT_EQ(beginPluginEx(module_, slit), 0);
    HWND window = plugin.pluginWindow.load();
    ASSERT_EQ(slitRequests.size(), 1u);
    EXPECT_EQ(slitRequests[0], std::make_pair(11001u, window));
    endPlugin(module_);
    ASSERT_EQ(slitRequests.size(), 2u);
    EXPECT_EQ(slitRequests[1], std::make_pair(11002u, window));
    EXPECT_FALSE(plugin.inSlit);
    EXPECT_EQ(testsupport::readFile(besideModule("Vumira.rc")).find("inSlit: false"), std::string::npos)
        << "leaving the slit at stop is not written";
    DestroyWindow(slit);
    UnregisterClassA("TestSlit", GetModuleHandleA(nullptr));
}

}  // namespace

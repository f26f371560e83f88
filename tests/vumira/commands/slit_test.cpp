// Docking in the host's slit and leaving it: at start, through the slit
// toggle, and at stop.
#include <gtest/gtest.h>

#include <vector>

#include "config/plugin_state.h"
#include "plugin_fixture.h"
#include "slit.h"

namespace {

class Slit : public ::testing::Test {
protected:
    void SetUp() override {
        commandtest::prepareProcess();
        slit = obsidel::createSlit(GetModuleHandleA(nullptr));
        ASSERT_NE(slit, nullptr);
    }
    void TearDown() override { obsidel::destroySlit(); }

    static RECT screenRect(HWND window) {
        RECT rect{};
        GetWindowRect(window, &rect);
        return rect;
    }
    static bool layered(HWND window) { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }

    // The slit stands at the bottom-right corner of the screen.
    void expectSlitAtCornerWithSize(LONG width, LONG height) {
        RECT rect = screenRect(slit);
        EXPECT_TRUE(IsWindowVisible(slit));
        EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
        EXPECT_EQ(rect.right - rect.left, width);
        EXPECT_EQ(rect.bottom - rect.top, height);
    }

    HWND slit = nullptr;
};

TEST_F(Slit, APluginStoredAsDockedStartsInTheSlit) {
    commandtest::StartedPlugin plugin("Vumira.plugin.inSlit: true\n", slit);
    ASSERT_TRUE(plugin.started());
    HWND window = plugin.window();
    EXPECT_EQ(GetParent(window), slit);
    EXPECT_EQ(obsidel::dockedWindows(), std::vector<HWND>{window});
    EXPECT_FALSE(layered(window));
    EXPECT_NE(GetWindowLongA(window, GWL_STYLE) & WS_CHILD, 0);
    commandtest::pumpMessages();
    RECT rect = screenRect(window);
    RECT slitRect = screenRect(slit);
    EXPECT_EQ(rect.left, slitRect.left);
    EXPECT_EQ(rect.top, slitRect.top);
    expectSlitAtCornerWithSize(100, 25);
}

TEST_F(Slit, APluginStoredAsFloatingStaysOutOfTheSlit) {
    commandtest::StartedPlugin plugin("", slit);
    ASSERT_TRUE(plugin.started());
    EXPECT_EQ(GetParent(plugin.window()), nullptr);
    EXPECT_TRUE(obsidel::dockedWindows().empty());
    EXPECT_FALSE(IsWindowVisible(slit));
}

TEST_F(Slit, TheSlitToggleLeavesAndEntersTheSlit) {
    commandtest::StartedPlugin plugin("Vumira.plugin.inSlit: true\nVumira.plugin.x: 300\nVumira.plugin.y: 200\n",
                                      slit);
    HWND window = plugin.window();

    auto status = commandtest::statusTextsDuring([] { commandtest::broadcast("@VumiraInternal SlitToggle"); });
    commandtest::pumpMessages();
    EXPECT_EQ(status, std::vector<std::string>{"VumiraPlugin -> SlitToggle disabled!"});
    EXPECT_FALSE(vumira::plugin.inSlit);
    EXPECT_EQ(commandtest::rcEntries(plugin.rcPath()).at("Vumira.plugin.inSlit:"), "false");
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_TRUE(obsidel::dockedWindows().empty());
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CHILD, 0);
    EXPECT_TRUE(layered(window));
    RECT rect = screenRect(window);
    EXPECT_EQ(rect.left, 300);
    EXPECT_EQ(rect.top, 200);
    EXPECT_FALSE(IsWindowVisible(slit));

    status = commandtest::statusTextsDuring([] { commandtest::broadcast("@VumiraInternal SlitToggle"); });
    commandtest::pumpMessages();
    EXPECT_EQ(status, std::vector<std::string>{"VumiraPlugin -> SlitToggle enabled!"});
    EXPECT_TRUE(vumira::plugin.inSlit);
    EXPECT_EQ(commandtest::rcEntries(plugin.rcPath()).at("Vumira.plugin.inSlit:"), "true");
    EXPECT_EQ(GetParent(window), slit);
    EXPECT_FALSE(layered(window));
    rect = screenRect(window);
    RECT slitRect = screenRect(slit);
    EXPECT_EQ(rect.left, slitRect.left);
    EXPECT_EQ(rect.top, slitRect.top);
    expectSlitAtCornerWithSize(100, 25);
    // Moves made while docked are not the floating place.
    EXPECT_EQ(vumira::plugin.posX, 300);
    EXPECT_EQ(vumira::plugin.posY, 200);
}

TEST_F(Slit, PutsADockedWindowBackWhenItsPluginPlacesIt) {
    commandtest::StartedPlugin plugin("Vumira.plugin.inSlit: true\nVumira.plugin.x: 30\nVumira.plugin.y: 5\n", slit);
    HWND window = plugin.window();
    commandtest::pumpMessages();
    // Every toggle applies the window state, which places the window at its
    // floating place, inside the slit when docked; the slit's check puts it back.
    commandtest::broadcast("@VumiraInternal AlwaysOnTop");
    RECT slitRect = screenRect(slit);
    ASSERT_EQ(screenRect(window).left, slitRect.left + 30);
    for (int i = 0; i < 200 && screenRect(window).left != slitRect.left; ++i) {
        Sleep(10);
        commandtest::pumpMessages();
    }
    EXPECT_EQ(screenRect(window).left, slitRect.left);
    EXPECT_EQ(screenRect(window).top, slitRect.top);
}

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(Slit, DockedWindowsStandSideBySideInTheOrderTheyCame) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = plainProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SlitTestNeighbour";
    RegisterClassA(&windowClass);
    HWND neighbour = CreateWindowExA(WS_EX_TOOLWINDOW, "SlitTestNeighbour", "", WS_POPUP | WS_VISIBLE, 500, 500, 40,
                                     60, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(neighbour, nullptr);
    {
        commandtest::StartedPlugin plugin("Vumira.plugin.inSlit: true\n", slit);
        SendMessageA(slit, SLIT_ADD, 0, reinterpret_cast<LPARAM>(neighbour));
        commandtest::pumpMessages();
        EXPECT_EQ(obsidel::dockedWindows(), (std::vector<HWND>{plugin.window(), neighbour}));
        RECT slitRect = screenRect(slit);
        EXPECT_EQ(screenRect(plugin.window()).left, slitRect.left);
        EXPECT_EQ(screenRect(neighbour).left, slitRect.left + 100);
        EXPECT_EQ(screenRect(neighbour).top, slitRect.top);
        expectSlitAtCornerWithSize(140, 60);
    }
    // The plug-in's stop took its window out; the neighbour moved up.
    commandtest::pumpMessages();
    EXPECT_EQ(obsidel::dockedWindows(), std::vector<HWND>{neighbour});
    expectSlitAtCornerWithSize(40, 60);
    SendMessageA(slit, SLIT_REMOVE, 0, reinterpret_cast<LPARAM>(neighbour));
    EXPECT_EQ(GetParent(neighbour), nullptr);
    EXPECT_FALSE(IsWindowVisible(slit));
    DestroyWindow(neighbour);
    UnregisterClassA("SlitTestNeighbour", GetModuleHandleA(nullptr));
}

}  // namespace

// The Windows host's menu: the plug-in's tree as the system's pop-up menus,
// the pick broadcast to the registered windows, and the value chooser of an
// integer item driven by keys. Windows only (run under Wine). The tree and
// the pick are checked apart, and then whole: a right click (SendInput) on
// a window that acts as the plug-in's does (the whole of it a caption)
// opens the system's pop-up, which another thread reads and picks from.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host_window.h"
#include "menu_tree.h"
#include "popup_screen.h"
#include "windows/system_menu.h"

namespace {

std::vector<std::string> heard;

LRESULT CALLBACK listenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == OBM_BROADCAST) {
        heard.push_back(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string textOf(HMENU menu, UINT position) {
    char text[128] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

class SystemMenu : public ::testing::Test {
protected:
    void SetUp() override {
        heard.clear();
        HINSTANCE instance = GetModuleHandleA(nullptr);
        ASSERT_NE(obsidel::createHostWindow(instance), nullptr);
        WNDCLASSA listenerClass{};
        listenerClass.lpfnWndProc = listenerProc;
        listenerClass.hInstance = instance;
        listenerClass.lpszClassName = "SystemMenuListener";
        RegisterClassA(&listenerClass);
        listener_ = CreateWindowExA(0, "SystemMenuListener", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance,
                                    nullptr);
        ASSERT_NE(listener_, nullptr);
        static const UINT messages[] = {OBM_BROADCAST, 0};
        SendMessageA(obsidel::hostWindow(), OBM_REGISTERMESSAGE, reinterpret_cast<WPARAM>(listener_),
                     reinterpret_cast<LPARAM>(messages));

        main_ = MakeNamedMenu("Vumira", "test_main", 1);
        Menu* config = MakeNamedMenu("Configuration", "test_config", 1);
        MakeMenuItem(config, "Always On Top", "@Test AlwaysOnTop", 1);
        MakeMenuItem(config, "Snap To Edges", "@Test Snap", 0);
        MakeSubmenu(main_, config, "Configuration");
        MakeMenuNOP(main_, nullptr);
        MakeMenuItemInt(main_, "Alpha Value", "@Test Alpha", 200, 0, 255);
        MakeMenuItem(main_, "About", "@Test About", 0);
    }

    void TearDown() override {
        DestroyWindow(listener_);
        UnregisterClassA("SystemMenuListener", GetModuleHandleA(nullptr));
        obsidel::destroyHostWindow();
        obsidel::clearMenus();
    }

    const MenuItem& itemNamed(const char* text) {
        for (const MenuItem* item : built_.items)
            if (item->text == text) return *item;
        ADD_FAILURE() << "no item " << text;
        static MenuItem none;
        return none;
    }

    HWND listener_ = nullptr;
    Menu* main_ = nullptr;
    obsidel::SystemMenu built_;
};

TEST_F(SystemMenu, TreeBecomesSystemMenusWithMarksSubmenusAndValues) {
    built_ = obsidel::buildSystemMenu(*main_);
    ASSERT_NE(built_.menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(built_.menu), 4);
    EXPECT_EQ(textOf(built_.menu, 0), "Configuration");
    HMENU config = GetSubMenu(built_.menu, 0);
    ASSERT_NE(config, nullptr) << "the submenu is not a pop-up of its own";
    ASSERT_EQ(GetMenuItemCount(config), 2);
    EXPECT_EQ(textOf(config, 0), "Always On Top");
    EXPECT_TRUE(GetMenuState(config, 0, MF_BYPOSITION) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(config, 1, MF_BYPOSITION) & MF_CHECKED);
    EXPECT_TRUE(GetMenuState(built_.menu, 1, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(textOf(built_.menu, 2), "Alpha Value\t200");
    EXPECT_EQ(textOf(built_.menu, 3), "About");

    // Each id stands for its item: the ids that the pop-up returns.
    ASSERT_EQ(built_.items.size(), 4u);
    const char* texts[] = {"Always On Top", "Snap To Edges", "Alpha Value", "About"};
    for (UINT id = 1; id <= 4; ++id) {
        char text[64] = {};
        GetMenuStringA(built_.menu, id, text, sizeof text, MF_BYCOMMAND);
        EXPECT_EQ(std::string(text).substr(0, std::string(texts[id - 1]).size()), texts[id - 1]) << "id " << id;
        EXPECT_EQ(built_.items[id - 1]->text, texts[id - 1]);
    }
    obsidel::destroySystemMenu(built_);
}

// The chooser runs its own loop: these keys reach it from a timer in that loop.
std::vector<WPARAM> chooserKeys;
void CALLBACK typeIntoChooser(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND chooser = FindWindowA("ObsidelValueChooser", nullptr);
    if (!chooser) return;
    KillTimer(nullptr, timer);
    for (WPARAM key : chooserKeys) SendMessageA(chooser, WM_KEYDOWN, key, 0);
}

TEST_F(SystemMenu, PickBroadcastsTheCommandOrTheChosenValue) {
    built_ = obsidel::buildSystemMenu(*main_);
    struct Case {
        const char* item;
        std::vector<WPARAM> keys;  // typed into the chooser
        std::vector<std::string> heard;
    };
    const Case cases[] = {
        {"Always On Top", {}, {"@Test AlwaysOnTop"}},
        {"Alpha Value", {'7', '7', VK_RETURN}, {"@Test Alpha 77"}},
        {"Alpha Value", {VK_UP, VK_PRIOR, VK_RETURN}, {"@Test Alpha 211"}},
        {"Alpha Value", {'9', '9', '9', VK_RETURN}, {"@Test Alpha 255"}},
        {"Alpha Value", {VK_DOWN, VK_ESCAPE}, {}},
    };
    for (const Case& c : cases) {
        heard.clear();
        chooserKeys = c.keys;
        UINT_PTR timer = c.keys.empty() ? 0 : SetTimer(nullptr, 0, 10, typeIntoChooser);
        obsidel::runPickedItem(itemNamed(c.item), POINT{100, 100});
        if (timer) KillTimer(nullptr, timer);
        EXPECT_EQ(heard, c.heard) << c.item << " with " << c.keys.size() << " keys";
        EXPECT_EQ(FindWindowA("ObsidelValueChooser", nullptr), nullptr) << "the chooser stayed";
    }
    obsidel::destroySystemMenu(built_);
}

TEST_F(SystemMenu, ChooserKeysStayWithinTheBounds) {
    struct Case {
        int value, minimum, maximum;
        std::vector<WPARAM> keys;
        int expected;
    };
    const Case cases[] = {
        {5, 1, 10, {VK_UP}, 6},
        {10, 1, 10, {VK_UP}, 10},
        {1, 1, 10, {VK_DOWN}, 1},
        {50, 0, 255, {VK_PRIOR}, 60},
        {5, 0, 255, {VK_NEXT}, 0},
        {5, 0, 255, {VK_END}, 255},
        {5, 3, 255, {VK_HOME}, 3},
        {5, 0, 255, {'1', '2'}, 12},
        {5, 0, 255, {'1', '2', VK_BACK}, 1},
        {5, 0, 100, {'5', '0', '0'}, 100},
        {5, 10, 20, {'3'}, 10},
        {5, 0, 255, {VK_NUMPAD4, VK_NUMPAD2}, 42},
        {5, 0, 255, {'7', VK_UP}, 8},  // a step after typing starts the typing again
    };
    for (const Case& c : cases) {
        std::string typed;
        int value = c.value;
        for (WPARAM key : c.keys) value = obsidel::chooserValueAfterKey(value, c.minimum, c.maximum, key, typed);
        EXPECT_EQ(value, c.expected) << c.value << " in " << c.minimum << ".." << c.maximum << ", "
                                     << c.keys.size() << " keys";
    }
}

// A window that answers as the floating plug-in window does: its hit test
// is a caption everywhere, and the release of a right click (which reaches
// it as WM_NCRBUTTONUP) builds the menu and shows it. It registers with the
// host as the plug-in does; the fixture's listener hears the broadcasts.
LRESULT CALLBACK pluginLikeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCHITTEST: return HTCAPTION;
    case WM_NCRBUTTONUP:
    case WM_RBUTTONUP: {
        Menu* main = MakeNamedMenu("Vumira", "click_main", 1);
        Menu* config = MakeNamedMenu("Configuration", "click_config", 1);
        MakeMenuItem(config, "Always On Top", "@Click AlwaysOnTop", 1);
        MakeMenuItem(config, "Snap To Edges", "@Click Snap", 0);
        MakeSubmenu(main, config, "Configuration");
        MakeMenuNOP(main, nullptr);
        MakeMenuItem(main, "About", "@Click About", 0);
        ShowMenu(main);
        return 0;
    }
    default: return DefWindowProcA(window, message, wParam, lParam);  // broadcasts: the listener hears them
    }
}

// What the reading thread saw of the open pop-up.
struct SeenMenu {
    std::vector<std::string> texts;
    std::vector<bool> checked;
    std::vector<std::string> subTexts;
    std::vector<bool> subChecked;
};

void sendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

void sendKey(WORD key) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

HWND openPopup() {
    for (int i = 0; i < 300; ++i) {
        HWND popup = FindWindowA("#32768", nullptr);
        if (popup && IsWindowVisible(popup)) return popup;
        Sleep(10);
    }
    return nullptr;
}

TEST_F(SystemMenu, ARightClickOnACaptionWindowOpensThePopUpWithItsMarksAndAPickBroadcasts) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA pluginClass{};
    pluginClass.lpfnWndProc = pluginLikeProc;
    pluginClass.hInstance = instance;
    pluginClass.lpszClassName = "SystemMenuPluginLike";
    RegisterClassA(&pluginClass);
    HWND plugin = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "SystemMenuPluginLike", "",
                                  WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 40, 40, 100, 25, nullptr,
                                  nullptr, instance, nullptr);
    ASSERT_NE(plugin, nullptr);
    static const UINT messages[] = {OBM_BROADCAST, 0};
    SendMessageA(obsidel::hostWindow(), OBM_REGISTERMESSAGE, reinterpret_cast<WPARAM>(plugin),
                 reinterpret_cast<LPARAM>(messages));
    obsidel::setMenuPresenter(obsidel::menuPresenter());
    UpdateWindow(plugin);

    // The pop-up holds this thread in its own loop: another thread clicks,
    // reads what it shows and picks Configuration / Always On Top by keys.
    SeenMenu seen;
    std::atomic<bool> opened{false};
    std::thread person([&] {
        SetCursorPos(90, 52);
        sendMouse(MOUSEEVENTF_RIGHTDOWN);
        sendMouse(MOUSEEVENTF_RIGHTUP);
        HWND popup = openPopup();
        if (!popup) {
            PostMessageA(plugin, WM_NULL, 0, 0);
            return;
        }
        opened = true;
        const HMENU shown = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(shown); ++i) {
            seen.texts.push_back(textOf(shown, static_cast<UINT>(i)));
            seen.checked.push_back((GetMenuState(shown, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0);
        }
        if (HMENU config = GetSubMenu(shown, 0)) {
            for (int i = 0; i < GetMenuItemCount(config); ++i) {
                seen.subTexts.push_back(textOf(config, static_cast<UINT>(i)));
                seen.subChecked.push_back((GetMenuState(config, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) !=
                                          0);
            }
        }
        for (const WORD key : {WORD{VK_DOWN}, WORD{VK_RIGHT}, WORD{VK_RETURN}}) {
            sendKey(key);
            Sleep(50);
        }
    });
    // This thread's messages, the click and the pop-up's loop among them, until the pick is heard.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    MSG message;
    while (heard.empty() && std::chrono::steady_clock::now() < deadline) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
    person.join();

    EXPECT_TRUE(opened) << "a right click on the window opened no pop-up menu";
    EXPECT_EQ(seen.texts, (std::vector<std::string>{"Configuration", "", "About"}));
    EXPECT_EQ(seen.subTexts, (std::vector<std::string>{"Always On Top", "Snap To Edges"}));
    EXPECT_EQ(seen.subChecked, (std::vector<bool>{true, false}));
    EXPECT_EQ(heard, (std::vector<std::string>{"@Click AlwaysOnTop"}));
    DestroyWindow(plugin);
    UnregisterClassA("SystemMenuPluginLike", instance);
}

}  // namespace

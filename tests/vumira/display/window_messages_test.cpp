// The plug-in window's messages: creation and destruction, hit tests,
// presses, the wheel, sizes, moves and their records in the rc file, snapping
// and the ignored close request.
#include <cstdio>
#include <utility>

#include "display_fixture.h"
#include "menu_tree.h"
#include "window_edges.h"

namespace displaytest {
namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

// The rc file's `key: value` lines in file order.
Lines rcLines(const std::string& text) {
    Lines lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t colon = line.rfind(':');
        if (colon != std::string::npos) {
            size_t value = line.find_first_not_of(' ', colon + 1);
            lines.emplace_back(line.substr(0, colon + 1), value == std::string::npos ? "" : line.substr(value));
        }
        start = end + 1;
    }
    return lines;
}

class WindowMessages : public PluginWindowTest {
protected:
    // Forgets what creation wrote, so that a test sees only its own writes.
    void forgetRcFile() { std::remove(rcFile().c_str()); }

    static void pressAlt(bool down) {
        INPUT key{};
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = VK_MENU;
        key.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        ASSERT_EQ(SendInput(1, &key, sizeof key), 1u);
    }

};

TEST_F(WindowMessages, CreationRegistersWithTheHostAndDestructionUndoesIt) {
    HWND window = createPluginWindow();
    ASSERT_FALSE(hostMessages().empty());
    const HostMessage& registered = hostMessages().front();
    EXPECT_EQ(registered.message, 10001u);
    EXPECT_EQ(registered.wParam, reinterpret_cast<WPARAM>(window));
    EXPECT_EQ(registered.list, (std::vector<UINT>{10103, 10901}));
    EXPECT_TRUE(obsidel::isSticky(window));

    // The back buffer: a bitmap of the client size in a memory DC.
    ASSERT_NE(plugin.backBufferDC, nullptr);
    EXPECT_EQ(GetCurrentObject(plugin.backBufferDC, OBJ_BITMAP), plugin.backBufferBitmap);
    BITMAP described{};
    ASSERT_NE(GetObjectA(plugin.backBufferBitmap, sizeof described, &described), 0);
    EXPECT_EQ(described.bmWidth, 100);
    EXPECT_EQ(described.bmHeight, 25);
    HBITMAP bitmap = plugin.backBufferBitmap;

    hostMessages().clear();
    DestroyWindow(window);
    ASSERT_EQ(hostMessages().size(), 1u);
    EXPECT_EQ(hostMessages()[0].message, 10002u);
    EXPECT_EQ(hostMessages()[0].wParam, reinterpret_cast<WPARAM>(window));
    EXPECT_EQ(hostMessages()[0].list, (std::vector<UINT>{10103, 10901}));
    EXPECT_FALSE(obsidel::isSticky(window));
    EXPECT_EQ(plugin.backBufferDC, nullptr);
    EXPECT_EQ(GetObjectType(bitmap), 0u);  // deleted
}

TEST_F(WindowMessages, HitTestMakesTheFloatingWindowACaption) {
    HWND window = createPluginWindow();
    const LPARAM inside = MAKELPARAM(50, 40);
    EXPECT_EQ(SendMessageA(window, WM_NCHITTEST, 0, inside), HTCAPTION);
    plugin.inSlit = true;
    EXPECT_EQ(SendMessageA(window, WM_NCHITTEST, 0, inside), HTCLIENT);
}

TEST_F(WindowMessages, LeftPressStartsMovingOrWithAltSizingFromTheBottomRight) {
    HWND window = createPluginWindow();
    MSG posted{};
    while (PeekMessageA(&posted, window, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE)) {}

    struct Case {
        const char* name;
        bool alt;
        LPARAM where;
        WPARAM command;
    };
    const Case cases[] = {
        {"plain press", false, MAKELPARAM(45, 35), 0xF012},           // SC_MOVE | HTCAPTION
        {"Alt press", true, MAKELPARAM(45, 35), 0xF008},              // SC_SIZE | WMSZ_BOTTOMRIGHT
        {"Alt press at the top left", true, MAKELPARAM(40, 30), 0xF008},
    };
    for (const Case& c : cases) {
        if (c.alt) pressAlt(true);
        EXPECT_EQ(SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, c.where), 0) << c.name;
        if (c.alt) pressAlt(false);
        // Posted, not sent: the platform's loop starts when it is dispatched.
        ASSERT_TRUE(PeekMessageA(&posted, window, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE)) << c.name;
        EXPECT_EQ(posted.wParam, c.command) << c.name;
        EXPECT_EQ(posted.lParam, 0) << c.name;
    }
}

TEST_F(WindowMessages, WheelStepsTheBarScaleWithin1To128AndAlwaysWrites) {
    HWND window = createPluginWindow();
    struct Case {
        int before;
        short delta;
        int after;
    };
    const Case cases[] = {
        {64, WHEEL_DELTA, 65},  {64, -WHEEL_DELTA, 63}, {128, WHEEL_DELTA, 128}, {127, WHEEL_DELTA, 128},
        {1, -WHEEL_DELTA, 1},   {2, -WHEEL_DELTA, 1},   {0, WHEEL_DELTA, 1},     {0, -WHEEL_DELTA, 0},
        {64, 1, 65},  // any forward turn counts
    };
    for (const Case& c : cases) {
        forgetRcFile();
        plugin.maxBarHeight = c.before;
        EXPECT_EQ(SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(c.delta)), 0), 0);
        EXPECT_EQ(plugin.maxBarHeight.load(), c.after) << c.before << " by " << c.delta;
        EXPECT_EQ(rcLines(rcText()), (Lines{{"Vumira.plugin.style.maxBarHeight:", std::to_string(c.after)}}))
            << c.before << " by " << c.delta;
    }
}

INPUT pointerTo(int x, int y) {
    const LONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((static_cast<long long>(x) * 65536 + width - 1) / width);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(y) * 65536 + height - 1) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}

INPUT pointerButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

void inject(std::vector<INPUT> events) {
    EXPECT_EQ(SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT)), events.size());
}

INPUT altKey(bool release) {
    INPUT alt{};
    alt.type = INPUT_KEYBOARD;
    alt.ki.wVk = VK_MENU;
    alt.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    return alt;
}

// The hand of a drag: it moves the pointer when the platform's loop begins
// and lets go (and lets Alt go) once the window has taken the new place, as
// a hand would, step by step. It watches the window's messages on their way
// to the plug-in's window procedure.
struct Hand {
    bool alt = false;
    int stage = 0;  // 0 pressed, 1 moved, 2 released, 3 the loop has ended
};
Hand hand;

LRESULT CALLBACK handWatching(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = vumira::windowProc(window, message, wParam, lParam);
    if (message == WM_ENTERSIZEMOVE && hand.stage == 0) {
        inject({pointerTo(100, 60)});
        hand.stage = 1;
    } else if (message == WM_WINDOWPOSCHANGED && hand.stage == 1) {
        inject({pointerButton(MOUSEEVENTF_LEFTUP)});
        if (hand.alt) inject({altKey(true)});
        hand.stage = 2;
    } else if (message == WM_EXITSIZEMOVE) {
        hand.stage = 3;
    }
    return result;
}

TEST_F(WindowMessages, DraggingMovesAndAltDraggingSizesFromTheBottomRight) {
    struct Case {
        const char* name;
        bool alt;
        RECT expected;
    };
    // 100 by 25 at (40, 30); pressed at (60, 40), released 40 right and 20
    // down of it.
    const Case cases[] = {
        {"drag", false, {80, 50, 180, 75}},
        {"Alt drag", true, {40, 30, 180, 75}},
    };
    for (const Case& c : cases) {
        HWND window = createPluginWindow();
        forgetRcFile();
        hand = Hand{c.alt, 0};
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(handWatching));
        if (c.alt) inject({altKey(false)});
        inject({pointerTo(1, 1), pointerTo(60, 40), pointerButton(MOUSEEVENTF_LEFTDOWN)});
        MSG message;
        const DWORD began = GetTickCount();
        while (hand.stage < 3 && GetTickCount() - began < 10000) {
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            Sleep(5);
        }
        if (hand.stage < 2) {  // leave no button or key held for the next test
            inject({pointerButton(MOUSEEVENTF_LEFTUP), altKey(true)});
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        }
        ASSERT_EQ(hand.stage, 3) << c.name << ": the move or size loop did not run its course";

        const RECT rect = windowRect();
        EXPECT_EQ(rect.left, c.expected.left) << c.name;
        EXPECT_EQ(rect.top, c.expected.top) << c.name;
        EXPECT_EQ(rect.right, c.expected.right) << c.name;
        EXPECT_EQ(rect.bottom, c.expected.bottom) << c.name;
        const int width = c.expected.right - c.expected.left, height = c.expected.bottom - c.expected.top;
        // The size loop's last step brings no size message; the buffer follows all the same.
        BITMAP described{};
        GetObjectA(plugin.backBufferBitmap, sizeof described, &described);
        EXPECT_EQ(described.bmWidth, width) << c.name;
        EXPECT_EQ(described.bmHeight, height) << c.name;
        EXPECT_EQ(plugin.posX, c.expected.left) << c.name;
        EXPECT_EQ(plugin.width.load(), width) << c.name;
        EXPECT_EQ(plugin.height.load(), height) << c.name;
        EXPECT_EQ(rcLines(rcText()), (Lines{{"Vumira.plugin.x:", std::to_string(c.expected.left)},
                                            {"Vumira.plugin.y:", std::to_string(c.expected.top)},
                                            {"Vumira.plugin.width:", std::to_string(width)},
                                            {"Vumira.plugin.height:", std::to_string(height)}}))
            << c.name;
        DestroyWindow(window);
        plugin.posX = 40, plugin.posY = 30, plugin.width = 100, plugin.height = 25;
    }
}

TEST_F(WindowMessages, SizeRecordsAtLeast16By16) {
    HWND window = createPluginWindow();
    struct Case {
        int width, height, recordedWidth, recordedHeight;
    };
    const Case cases[] = {{8, 8, 16, 16}, {120, 30, 120, 30}, {16, 15, 16, 16}, {0, 40, 16, 40}};
    for (const Case& c : cases) {
        forgetRcFile();
        EXPECT_EQ(SendMessageA(window, WM_SIZE, 0, MAKELPARAM(c.width, c.height)), 0);
        EXPECT_EQ(plugin.width.load(), c.recordedWidth);
        EXPECT_EQ(plugin.height.load(), c.recordedHeight);
        EXPECT_EQ(rcLines(rcText()), (Lines{{"Vumira.plugin.width:", std::to_string(c.recordedWidth)},
                                            {"Vumira.plugin.height:", std::to_string(c.recordedHeight)}}))
            << c.width << " by " << c.height;
    }
}

// The back buffer follows every size the window takes, whether a size
// message comes or not: a position change is answered without the default
// handling, which would send one. A buffer of the old size leaves strips of
// the old frame along two edges.
TEST_F(WindowMessages, BackBufferFollowsEverySizeChange) {
    struct Case {
        const char* name;
        bool docked;
        bool sizeMessage;
        int width, height;
    };
    const Case cases[] = {
        {"floating, position change only", false, false, 64, 20},
        {"docked, position change only", true, false, 150, 40},
        {"size message", false, true, 30, 70},
    };
    for (const Case& c : cases) {
        plugin.inSlit = c.docked;
        HWND window = createPluginWindow();
        if (c.sizeMessage)
            SendMessageA(window, WM_SIZE, 0, MAKELPARAM(c.width, c.height));
        SetWindowPos(window, nullptr, 0, 0, c.width, c.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        BITMAP described{};
        ASSERT_NE(GetObjectA(plugin.backBufferBitmap, sizeof described, &described), 0) << c.name;
        EXPECT_EQ(described.bmWidth, c.width) << c.name;
        EXPECT_EQ(described.bmHeight, c.height) << c.name;
        // A move alone keeps the buffer it has.
        const HBITMAP kept = plugin.backBufferBitmap;
        SetWindowPos(window, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_EQ(plugin.backBufferBitmap, kept) << c.name;
        DestroyWindow(window);
    }
    plugin.inSlit = false;
}

TEST_F(WindowMessages, SizingTakesTheDraggedSizeWithoutBoundOrRecord) {
    HWND window = createPluginWindow();
    forgetRcFile();
    RECT dragged{10, 20, 13, 24};  // 3 by 4: no lower bound while dragging
    EXPECT_EQ(SendMessageA(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged)), 0);
    EXPECT_EQ(plugin.width.load(), 3);
    EXPECT_EQ(plugin.height.load(), 4);
    EXPECT_EQ(dragged.left, 10);
    EXPECT_EQ(dragged.top, 20);
    EXPECT_EQ(dragged.right, 13);
    EXPECT_EQ(dragged.bottom, 24);
    EXPECT_EQ(rcText(), "");  // nothing written
    // The back buffer was rebuilt at the window's client size of the moment.
    BITMAP described{};
    GetObjectA(plugin.backBufferBitmap, sizeof described, &described);
    EXPECT_EQ(described.bmWidth, 100);
    EXPECT_EQ(described.bmHeight, 25);
}

TEST_F(WindowMessages, MinimumTrackingSizeIs5By5) {
    HWND window = createPluginWindow();
    MINMAXINFO limits{};
    limits.ptMaxSize = {800, 600};
    limits.ptMinTrackSize = {100, 100};
    limits.ptMaxTrackSize = {900, 700};
    EXPECT_EQ(SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)), 0);
    EXPECT_EQ(limits.ptMinTrackSize.x, 5);
    EXPECT_EQ(limits.ptMinTrackSize.y, 5);
    EXPECT_EQ(limits.ptMaxSize.x, 800);
    EXPECT_EQ(limits.ptMaxTrackSize.y, 700);
}

TEST_F(WindowMessages, MoveWritesPlaceAndSizeInOrderWhileFloating) {
    HWND window = createPluginWindow();
    forgetRcFile();
    SetWindowPos(window, nullptr, 300, 200, 120, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(plugin.posX, 300);
    EXPECT_EQ(plugin.posY, 200);
    EXPECT_EQ(plugin.width.load(), 120);
    EXPECT_EQ(plugin.height.load(), 30);
    EXPECT_EQ(rcLines(rcText()), (Lines{{"Vumira.plugin.x:", "300"},
                                        {"Vumira.plugin.y:", "200"},
                                        {"Vumira.plugin.width:", "120"},
                                        {"Vumira.plugin.height:", "30"}}));

    // A size below 16 is recorded as 16 although the window takes it.
    forgetRcFile();
    SetWindowPos(window, nullptr, 300, 200, 8, 5, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(rcLines(rcText()), (Lines{{"Vumira.plugin.x:", "300"},
                                        {"Vumira.plugin.y:", "200"},
                                        {"Vumira.plugin.width:", "16"},
                                        {"Vumira.plugin.height:", "16"}}));
    RECT rect = windowRect();
    EXPECT_EQ(rect.right - rect.left, 8);
}

TEST_F(WindowMessages, MoveWhileDockedRecordsNothing) {
    HWND window = createPluginWindow();
    forgetRcFile();
    plugin.inSlit = true;
    SetWindowPos(window, nullptr, 300, 200, 120, 30, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(plugin.posX, 40);
    EXPECT_EQ(plugin.posY, 30);
    EXPECT_EQ(plugin.width.load(), 100);
    EXPECT_FALSE(testsupport::readFile(rcFile()).size() > 0);
    RECT rect = windowRect();
    EXPECT_EQ(rect.left, 300);  // the window itself still moves
}

TEST_F(WindowMessages, SnapsOnlyAVisibleFloatingWindowWithSnappingOn) {
    struct Case {
        const char* name;
        bool snap, docked, hidden;
        int expectedX, expectedY;
    };
    const Case cases[] = {
        {"floating, snapping", true, false, false, 0, 0},
        {"snapping off", false, false, false, 4, 6},
        {"docked", true, true, false, 4, 6},
        {"hidden", true, false, true, 4, 6},
    };
    for (const Case& c : cases) {
        HWND window = createPluginWindow();
        plugin.snapWindow = c.snap;
        plugin.inSlit = c.docked;
        if (c.hidden) ShowWindow(window, SW_HIDE);
        SetWindowPos(window, nullptr, 4, 6, 100, 25, SWP_NOZORDER | SWP_NOACTIVATE);
        RECT rect = windowRect();
        EXPECT_EQ(rect.left, c.expectedX) << c.name;
        EXPECT_EQ(rect.top, c.expectedY) << c.name;
        DestroyWindow(window);
        plugin.inSlit = false;
        plugin.posX = 40;
        plugin.posY = 30;
    }
}

TEST_F(WindowMessages, RecordMessagesWithoutTheirRecordChangeNothing) {
    HWND window = createPluginWindow();
    forgetRcFile();
    for (UINT message : {WM_GETMINMAXINFO, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZING})
        EXPECT_EQ(vumira::windowProc(window, message, 0, 0), 0) << message;
    EXPECT_EQ(vumira::windowProc(window, 10901, 0, 0), 0);
    EXPECT_EQ(plugin.width.load(), 100);
    EXPECT_EQ(plugin.posX, 40);
    EXPECT_EQ(rcText(), "");
}

TEST_F(WindowMessages, CloseRequestLeavesTheWindowOpen) {
    HWND window = createPluginWindow();
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    PostMessageA(window, WM_CLOSE, 0, 0);
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(WindowMessages, PaintMessageDrawsTheFrame) {
    HWND window = createFrameWindow(12, 10, 1, 0, 4, "h");
    setBars(0, {0, 9, 0, 0});
    InvalidateRect(window, nullptr, FALSE);
    MSG message;
    while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 3, 1), kBar);
    EXPECT_EQ(GetPixel(plugin.backBufferDC, 3, 0), kBackground);
}

TEST_F(WindowMessages, RightClicksOpenTheConfigurationMenu) {
    HWND window = createPluginWindow();
    for (UINT message : {WM_RBUTTONUP, WM_NCRBUTTONUP}) {
        const auto shown = obsidel::menuShowCount();
        EXPECT_EQ(SendMessageA(window, message, 0, MAKELPARAM(5, 5)), 0);
        EXPECT_EQ(obsidel::menuShowCount(), shown + 1) << message;
        ASSERT_NE(obsidel::shownMenu(), nullptr);
        EXPECT_EQ(obsidel::shownMenu()->flag, 1) << "built for a right click";
    }
}

TEST_F(WindowMessages, HostMessagesReachTheInterpreter) {
    useModuleInTestFolder();
    HWND window = createPluginWindow();
    // A broadcast command: the third colour preset.
    EXPECT_EQ(SendMessageA(window, 10901, 0, reinterpret_cast<LPARAM>("@Vumira SetStyle 3")), 0);
    EXPECT_STREQ(plugin.scopeColorKey, "menu.frame.color:");
    // The reconfigure message reads the rc file again.
    testsupport::writeFile(rcFile(), "Vumira.plugin.style.maxBarHeight: 77\n");
    EXPECT_EQ(SendMessageA(window, 10103, 0, 0), 0);
    EXPECT_EQ(plugin.maxBarHeight.load(), 77);
    EXPECT_STREQ(plugin.scopeColorKey, "toolbar.textColor:");  // back to the stored default
}

}  // namespace
}  // namespace displaytest

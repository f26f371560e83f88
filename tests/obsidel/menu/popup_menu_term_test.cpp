// The pop-up menu in a terminal: the obsidel program with the Vumira module
// on the term display inside a pseudo-terminal, driven with the bytes a
// terminal sends for keys and mouse reports; the menu's texts are read
// from what the program draws and the pick from the rc file.
#include <string>
#include <vector>

#include "host_in_terminal.h"
#include "running_host.h"
#include "test_support.h"

namespace {

using testsupport::HostInTerminal;
using testsupport::leftClick;
using testsupport::rightClick;
using testsupport::kKeyDown;
using testsupport::kKeyEnd;
using testsupport::kKeyRight;
using testsupport::kKeyUp;

// The plug-in's window starts at pixel (10, 10), 100 by 25: cells from
// (10, 5). A right click on the cell (30, 9) opens the menu there: its
// title on row 9, "Configuration" on row 10. The first level is 18 cells
// wide (a 2-cell mark column, "Edit Vumira.rc", a 2-cell arrow column), so
// Configuration opens at column 48. With its title and 32 rows it is 33
// rows high and would cross the terminal's 40th row: it flips up and stops
// at the top, its title on row 0 and "Always On Top" on row 1.
TEST(PopupMenuInTerminal, KeysAndTheMouseOpenAndPickFromTheMenuDrawnInCells) {
    struct Case {
        const char* what;
        std::vector<std::string> steps;  // after the right click
        const char* rcLine;
    };
    const Case cases[] = {
        {"Down, Right, Return", {kKeyDown, kKeyRight, "\r"}, "Vumira.plugin.alwaysontop: false"},
        {"the integer item, typed",
         {kKeyDown, kKeyRight, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyDown, "4", "2",
          "\r"},
         "Vumira.plugin.transparency.alpha: 42"},
        {"the long list's last row", {kKeyDown, kKeyRight, kKeyEnd, kKeyUp, kKeyRight, kKeyEnd, "\r"},
         "Vumira.plugin.style.maxBarHeight: 128"},
        {"clicks on Configuration and on Always On Top", {leftClick(32, 10), leftClick(50, 1)},
         "Vumira.plugin.alwaysontop: false"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HostInTerminal host;
        ASSERT_TRUE(host.started());
        // The window is drawn once the plug-in has written its place.
        ASSERT_TRUE(host.readUntil([&] { return host.rc().find("Vumira.plugin.x:") != std::string::npos; }))
            << host.sent;
        const size_t before = host.sent.size();
        host.send(rightClick(30, 9));
        ASSERT_TRUE(host.drew("VumiraPlugin", before)) << "no menu drawn";
        EXPECT_TRUE(host.drew("Configuration", before));
        for (const std::string& step : c.steps) host.send(step);
        EXPECT_TRUE(host.readUntil([&] { return testsupport::hasLine(host.rc(), c.rcLine); })) << host.rc();
    }
}

// Resting the pointer on "Configuration" (no button held: the terminal
// reports such moves once asked to, with mode 1003) opens its submenu; q
// then closes the menu and leaves the host running, and only a q with no
// menu open ends it.
TEST(PopupMenuInTerminal, HoverOpensASubmenuAndQClosesTheMenuBeforeItQuits) {
    HostInTerminal host;
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(host.readUntil([&] { return host.rc().find("Vumira.plugin.x:") != std::string::npos; })) << host.sent;
    EXPECT_NE(host.sent.find("\x1b[?1003h"), std::string::npos) << "moves without a button are not asked for";
    host.send(rightClick(30, 9));
    const auto& screen = host.screen();
    ASSERT_TRUE(host.readUntil([&] { return screen.find("Configuration").first == 10; })) << screen.text();
    EXPECT_LT(screen.find("Always On Top").first, 0);

    host.send(testsupport::mouseReport(35, 32, 10, false));
    EXPECT_TRUE(host.readUntil([&] { return screen.find("Always On Top").first >= 0; }))
        << "resting on Configuration opened nothing:\n" << screen.text();

    host.send("q");
    EXPECT_TRUE(host.readUntil([&] {
        return screen.find("Configuration").first < 0 && screen.find("Always On Top").first < 0;
    })) << "q left the menu open:\n" << screen.text();
    host.send("");
    EXPECT_TRUE(host.takesRequests()) << "q with a menu open ended the host";
    EXPECT_EQ(host.runClient({"--exec", "@VumiraInternal SetFPS 30"}), 0);

    const size_t beforeQuit = host.sent.size();
    host.send("q");
    EXPECT_TRUE(host.drew("\x1b[?1049l", beforeQuit)) << "q with no menu open did not end the host";
}

// A terminal made smaller while the menu is open: the menu is placed again
// on the smaller screen, both levels inside it, and still works.
TEST(PopupMenuInTerminal, AnOpenMenuFollowsTheTerminalWhenItIsResized) {
    HostInTerminal host;
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(host.readUntil([&] { return host.rc().find("Vumira.plugin.x:") != std::string::npos; })) << host.sent;
    host.send(rightClick(30, 9));
    for (const std::string& step : {kKeyDown, kKeyRight}) host.send(step);
    const auto& screen = host.screen();
    ASSERT_TRUE(host.readUntil([&] { return screen.find("Always On Top").first >= 0; })) << screen.text();
    ASSERT_GE(screen.find("Configuration").second + 13, 60) << "the menu must reach past the smaller screen first";

    constexpr int kColumns = 60, kRows = 16;
    host.resize(kColumns, kRows);
    auto inside = [&](const char* text) {
        const auto [row, column] = screen.find(text);
        return row >= 0 && row < kRows && column + static_cast<int>(std::string(text).size()) <= kColumns;
    };
    EXPECT_TRUE(host.readUntil([&] { return inside("Configuration") && inside("Always On Top"); }))
        << "the menu did not move onto the smaller screen:\n" << screen.text();
    for (int row = 0; row < screen.rows(); ++row) {
        const std::string& cells = screen.row(row);
        EXPECT_EQ(cells.find_first_not_of(' ', row < kRows ? kColumns : 0), std::string::npos)
            << "drawn outside the terminal on row " << row << ":\n" << screen.text();
    }
    host.send("\r");  // Always On Top, still highlighted
    EXPECT_TRUE(host.readUntil([&] { return testsupport::hasLine(host.rc(), "Vumira.plugin.alwaysontop: false"); }))
        << host.rc();
}

}  // namespace

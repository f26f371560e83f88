// The host's own windows in a terminal: the obsidel program with the Vumira
// module on the term display inside a pseudo-terminal. The message box and
// the status text are read as text at their places on the terminal's
// screen, as a person would read them. The host's log never shows while
// the display draws: it is written out once the terminal is given back.
#include <chrono>
#include <future>
#include <string>
#include <utility>

#include "host_in_terminal.h"
#include "test_support.h"

namespace {

using testsupport::HostInTerminal;
using Place = std::pair<int, int>;  // row, column

bool startedAndTakingRequests(HostInTerminal& host) {
    // The window is drawn once the plug-in has written its place; the
    // channel may open a moment later.
    return host.started() && host.readUntil([&] {
        return host.rc().find("Vumira.plugin.x:") != std::string::npos && host.takesRequests();
    });
}

// About's box has no owner, so it is centred on the 120 x 80 pixel screen.
// Its text is five lines, the longest "Email: developers@vumira.invalid"
// (32 cells), so the box is 32 + 4 = 36 cells wide and 5 + 5 = 10 rows
// high (caption, blank, text, blank, OK, blank): from cell (42, 15), its
// caption on row 15, the text from row 17, "[ OK ]" on row 23 at column
// 42 + (36 - 6) / 2 = 57.
TEST(HostWindowsInTerminal, AboutBoxIsDrawnAsTextAndClosesByKeyOrClickOnOk) {
    struct Case {
        const char* what;
        std::string input;
    };
    const Case cases[] = {
        {"Return", "\r"},
        {"Escape", "\x1b"},
        {"a click on OK", testsupport::leftClick(59, 23)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::future<int> about;  // before the host: a failed step ends the host, which ends the client
        HostInTerminal host;
        ASSERT_TRUE(startedAndTakingRequests(host)) << host.sent;
        about = std::async(std::launch::async,
                           [&host] { return host.runClient({"--exec", "@VumiraInternal About"}); });
        const auto ended = [&] { return about.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
        ASSERT_TRUE(host.readUntil([&] { return host.screen().find(" About this plugin...").first >= 0; }))
            << "no box drawn as text:\n" << host.screen().text();
        // The script is told at once that a box now waits for a person.
        ASSERT_TRUE(host.readUntil(ended));
        EXPECT_EQ(about.get(), 1);
        const auto& screen = host.screen();
        EXPECT_EQ(screen.find(" About this plugin..."), Place(15, 42));
        EXPECT_EQ(screen.find("  Vumira "), Place(17, 42));
        EXPECT_EQ(screen.find("  Author : The Vumira developers"), Place(19, 42));
        EXPECT_EQ(screen.find("  Email: developers@vumira.invalid"), Place(21, 42));
        EXPECT_EQ(screen.find("[ OK ]"), Place(23, 57));

        host.send(c.input);
        EXPECT_TRUE(host.readUntil([&] {
            return screen.find("About this plugin").first < 0 && screen.find("[ OK ]").first < 0;
        })) << "the box's text stayed on the screen";
    }
}

// The plug-in's window is at pixel (10, 10), 100 by 25, so its last pixel
// row is 34; the status text goes one cell row below it, at pixel row 36
// (cell row 18), at the window's left edge (column 10), its text one cell in.
TEST(HostWindowsInTerminal, StatusTextOfAToggleIsDrawnAsTextBelowThePluginUntilItHides) {
    HostInTerminal host;
    ASSERT_TRUE(startedAndTakingRequests(host)) << host.sent;
    EXPECT_EQ(host.runClient({"--exec", "@VumiraInternal ToggleBorder"}), 0);
    const auto& screen = host.screen();
    ASSERT_TRUE(host.readUntil([&] { return screen.find("VumiraPlugin -> ToggleBorder ").first >= 0; }))
        << "no status text drawn as text:\n" << screen.text();
    EXPECT_EQ(screen.find("VumiraPlugin -> ToggleBorder "), Place(18, 11));
    EXPECT_TRUE(host.readUntil([&] { return screen.find("VumiraPlugin -> ToggleBorder ").first < 0; }))
        << "the status text stayed";
}

// The toggle's status text is drawn for the person; the same text in the
// host's log ("obsidel: VumiraPlugin -> ...") and every other log line wait
// until the host ends and the terminal is given back.
TEST(HostWindowsInTerminal, LogLinesWaitUntilTheTerminalIsGivenBack) {
    HostInTerminal host;
    ASSERT_TRUE(startedAndTakingRequests(host)) << host.sent;
    EXPECT_EQ(host.runClient({"--exec", "@VumiraInternal ToggleBorder"}), 0);
    const auto& screen = host.screen();
    ASSERT_TRUE(host.readUntil([&] { return screen.find("VumiraPlugin -> ToggleBorder ").first >= 0; }))
        << screen.text();
    auto logOnScreen = [&] {
        for (int row = 0; row < screen.rows(); ++row)
            if (screen.row(row).find("obsidel") != std::string::npos) return true;
        return false;
    };
    // The display's frames come 30 a second: a few of them, status text included.
    for (int i = 0; i < 10; ++i) {
        host.send("");
        EXPECT_FALSE(logOnScreen()) << screen.text();
    }
    EXPECT_EQ(host.sent.find("obsidel: "), std::string::npos) << "a log line reached the terminal while drawing";

    const size_t beforeQuit = host.sent.size();
    host.send("q");
    EXPECT_TRUE(host.drew("obsidel: VumiraPlugin -> ToggleBorder disabled!", beforeQuit))
        << host.sent.substr(beforeQuit);
    const size_t leaving = host.sent.find("\x1b[?1049l", beforeQuit);
    EXPECT_LT(leaving, host.sent.find("obsidel: VumiraPlugin", beforeQuit)) << "written before the screen was given back";
}

}  // namespace

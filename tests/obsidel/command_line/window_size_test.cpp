// A window size in the rc file that no screen shows (far too large, below
// zero): the host runs, the window is shown within the screen, the status
// text names the key and the size kept, and the rc file records that size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "png_pixels.h"
#include "running_host.h"

namespace {

using testsupport::RunningHost;

constexpr int kScreenWidth = 320, kScreenHeight = 200;
constexpr unsigned kStyleColour = 0x00ff00;

struct Case {
    const char* name;
    const char* storedWidth;
    const char* storedHeight;
    int keptWidth, keptHeight;
    std::vector<std::string> said;  // status texts the log must hold
};

const Case kCases[] = {
    {"far beyond the screen", "99999", "99999", kScreenWidth, kScreenHeight,
     {"Vumira.plugin.width: 99999 is outside 16..320: 320 kept",
      "Vumira.plugin.height: 99999 is outside 16..200: 200 kept"}},
    {"below zero", "-200", "25", 16, 25, {"Vumira.plugin.width: -200 is outside 16..320: 16 kept"}},
    {"zero by zero", "0", "0", 16, 16,
     {"Vumira.plugin.width: 0 is outside 16..320: 16 kept", "Vumira.plugin.height: 0 is outside 16..200: 16 kept"}},
    {"larger than the screen one way", "100", "20000", 100, kScreenHeight,
     {"Vumira.plugin.height: 20000 is outside 16..200: 200 kept"}},
};

class WindowSize : public testing::TestWithParam<Case> {};

TEST_P(WindowSize, IsKeptWithinTheScreenAndShown) {
    const Case& c = GetParam();
    testsupport::TempDir folder;
    const std::string style = folder.file("green.style"), shot = folder.file("shot.png");
    testsupport::writeFile(style, "toolbar: flat solid\ntoolbar.color: #00ff00\ntoolbar.colorTo: #00ff00\n"
                                  "toolbar.textColor: #00ff00\nborderColor: #00ff00\nborderWidth: 0\n"
                                  "bevelWidth: 0\n");
    testsupport::HostSetup setup;
    setup.display = "headless:" + std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight);
    setup.arguments = {"--style", style, "--exit-after", "1500", "--snapshot", shot};
    setup.rc = std::string("Vumira.plugin.x: 0\nVumira.plugin.y: 0\nVumira.plugin.width: ") + c.storedWidth +
               "\nVumira.plugin.height: " + c.storedHeight + "\n";
    RunningHost host(setup);
    ASSERT_EQ(host.waitUntilEnded(), 0) << host.log();

    for (const auto& text : c.said) {
        EXPECT_TRUE(testsupport::hasLine(host.log(), "obsidel: VumiraPlugin -> " + text))
            << text << "\nin:\n" << host.log();
    }
    const std::string rc = host.rc();
    EXPECT_NE(rc.find("Vumira.plugin.width: " + std::to_string(c.keptWidth) + "\n"), std::string::npos) << rc;
    EXPECT_NE(rc.find("Vumira.plugin.height: " + std::to_string(c.keptHeight) + "\n"), std::string::npos) << rc;

    const testsupport::PngPixels screen = testsupport::readPngPixels(shot);
    ASSERT_EQ(screen.width, unsigned(kScreenWidth)) << shot;
    // The window's corners are on the screen in the style's colour; just
    // outside a window smaller than the screen, the screen shows.
    for (auto [x, y] : {std::pair{0, 0}, std::pair{c.keptWidth - 1, c.keptHeight - 1}})
        EXPECT_EQ(screen.at(x, y), kStyleColour) << x << "," << y;
    if (c.keptWidth < kScreenWidth) {
        EXPECT_NE(screen.at(c.keptWidth, 0), kStyleColour);
    }
    if (c.keptHeight < kScreenHeight) {
        EXPECT_NE(screen.at(0, c.keptHeight), kStyleColour);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, WindowSize, testing::ValuesIn(kCases), [](const auto& param) {
    std::string name;
    for (const char* c = param.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

}  // namespace

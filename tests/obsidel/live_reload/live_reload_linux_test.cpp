// Live reload through the Linux host: `sed -i` of the rc file, the style
// file's colour read back from the PNG snapshot, a hang-up signal, and a
// file that is gone or gains a line that is not `key: value` (kept, and
// reported once).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "live_reload_helpers.h"
#include "png_pixels.h"
#include "running_host.h"

namespace {

using namespace livereload;
using testsupport::Finished;
using testsupport::RunningHost;

// A flat style of one colour everywhere (background, bars, border, tab), so
// that every pixel of the plug-in's window shows it.
std::string oneColourStyle(const std::string& colour) {
    return "toolbar: flat solid\n"
           "toolbar.color: " + colour + "\n"
           "toolbar.colorTo: " + colour + "\n"
           "toolbar.textColor: " + colour + "\n"
           "borderColor: " + colour + "\n"
           "borderWidth: 0\n"
           "bevelWidth: 0\n";
}

int run(const std::string& command) { return std::system(command.c_str()); }

TEST(LiveReloadLinux, AnRcFileEditedBySedTurnsTheBarsWithoutReconfigure) {
    testsupport::HostSetup setup;
    setup.rc = "# my settings\nVumira.plugin.style.scopeType: h\n";
    RunningHost host(setup);
    ASSERT_TRUE(host.ready()) << host.log();
    ASSERT_TRUE(menuShows(host, "[x] \"Horizontal\"")) << host.log();

    ASSERT_EQ(run("sed -i 's/scopeType: h/scopeType: v/' '" + host.rcPath() + "'"), 0);

    EXPECT_TRUE(host.logShows(std::string(kReloaded) + host.rcPath())) << host.log();
    EXPECT_TRUE(menuShows(host, "[x] \"Vertical\"")) << host.log();
    EXPECT_EQ(host.stop(), 0) << host.log();
}

TEST(LiveReloadLinux, AStyleFileEditedElsewhereRepaintsTheWindowInItsColour) {
    testsupport::TempDir styles;
    const std::string style = styles.file("one.style"), shot = styles.file("shot.png");
    testsupport::writeFile(style, oneColourStyle("#ff0000"));
    testsupport::HostSetup setup;
    setup.arguments = {"--style", style, "--exit-after", "5000", "--snapshot", shot};
    setup.rc = "Vumira.plugin.x: 10\nVumira.plugin.y: 10\nVumira.plugin.width: 100\nVumira.plugin.height: 25\n";
    RunningHost host(setup);
    ASSERT_TRUE(host.ready()) << host.log();

    ASSERT_EQ(run("sed -i 's/#ff0000/#0000ff/' '" + style + "'"), 0);
    ASSERT_TRUE(host.logShows(std::string(kReloaded) + style)) << host.log();
    ASSERT_EQ(host.waitUntilEnded(), 0) << host.log();

    const testsupport::PngPixels screen = testsupport::readPngPixels(shot);
    ASSERT_GT(screen.width, 0u) << shot;
    // Inside the window (10,10 to 110,35): every pixel is the new colour.
    for (auto [x, y] : {std::pair{12, 12}, std::pair{60, 22}, std::pair{107, 33}})
        EXPECT_EQ(screen.at(x, y), 0x0000ffu) << x << "," << y;
}

TEST(LiveReloadLinux, ALineThatIsNotKeyValueKeepsTheLastGoodSettingsAndAHangUpReadsAnyway) {
    testsupport::HostSetup setup;
    setup.rc = "Vumira.plugin.style.scopeType: h\n";
    RunningHost host(setup);
    ASSERT_TRUE(host.ready()) << host.log();

    // Half an edit: the new key is there, and so is a line without its colon.
    ASSERT_EQ(run("sed -i 's/scopeType: h/scopeType: v\\nVumira.plugin.wave.fps 30/' '" + host.rcPath() + "'"), 0);
    const std::string refused = "the settings file " + host.rcPath() + ": line 2 is not \"key: value\"";
    ASSERT_TRUE(host.logShows(refused)) << host.log();
    ASSERT_EQ(run("echo 'another line without a colon' >> '" + host.rcPath() + "'"), 0);
    letNoticesSettle();
    EXPECT_TRUE(menuShows(host, "[x] \"Horizontal\"")) << host.log();
    EXPECT_EQ(count(host.log(), "is not \"key: value\""), 1u) << host.log();
    EXPECT_EQ(count(host.log(), kReloaded), 0u) << host.log();

    // SIGHUP does what --reconfigure does: the plug-in reads the file as it stands.
    host.hangUp();
    ASSERT_TRUE(host.logShows("obsidel: asked to reconfigure (hang-up signal)")) << host.log();
    EXPECT_TRUE(menuShows(host, "[x] \"Vertical\"")) << host.log();
    EXPECT_EQ(host.stop(), 0) << host.log();
}

TEST(LiveReloadLinux, AnRcFileThatIsGoneIsReportedOnceAndTheSettingsStay) {
    testsupport::HostSetup setup;
    setup.rc = "Vumira.plugin.style.scopeType: v\n";
    RunningHost host(setup);
    ASSERT_TRUE(host.ready()) << host.log();

    ASSERT_EQ(run("rm '" + host.rcPath() + "'"), 0);
    const std::string gone = "obsidel: the settings file " + host.rcPath() + " is gone";
    ASSERT_TRUE(host.logShows(gone)) << host.log();
    // More changes in the folder while it is gone say nothing more.
    testsupport::writeFile(host.moduleFolder() + "/other.txt", "1");
    testsupport::writeFile(host.moduleFolder() + "/other.txt", "2");
    letNoticesSettle();
    EXPECT_TRUE(menuShows(host, "[x] \"Vertical\"")) << host.log();
    EXPECT_EQ(count(host.log(), gone), 1u) << host.log();

    // Back, with a change: taken.
    testsupport::writeFile(host.rcPath(), "Vumira.plugin.style.scopeType: h\n");
    ASSERT_TRUE(host.logShows(kReloaded)) << host.log();
    EXPECT_TRUE(menuShows(host, "[x] \"Horizontal\"")) << host.log();
}

}  // namespace

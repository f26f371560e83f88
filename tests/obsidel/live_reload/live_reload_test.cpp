// Live reload through the real program, on every system (natively, and
// under Wine for the Windows build): an rc file changed by another process
// reaches the plug-in without --reconfigure, and the plug-in's own writes
// start no reload.
#include <gtest/gtest.h>

#include <string>

#include "live_reload_helpers.h"
#include "running_host.h"

namespace {

using namespace livereload;
using testsupport::Finished;
using testsupport::hasLine;
using testsupport::RunningHost;

TEST(LiveReload, AnRcFileSavedByAnotherProgramTurnsTheBarsWithoutReconfigure) {
    testsupport::HostSetup setup;
    setup.rc = "# my settings\nVumira.plugin.style.scopeType: h\n";
    RunningHost host(setup);
    ASSERT_TRUE(host.ready()) << host.log();
    ASSERT_TRUE(menuShows(host, "[x] \"Horizontal\"")) << host.log();

    replaceInFile(host.rcPath(), "scopeType: h", "scopeType: v");

    EXPECT_TRUE(host.logShows(kReloaded)) << host.log();
    EXPECT_TRUE(menuShows(host, "[x] \"Vertical\"")) << host.log();
    EXPECT_EQ(host.stop(), 0) << host.log();
}

TEST(LiveReload, ABurstOfThePluginsOwnWritesStartsNoReload) {
    RunningHost host;
    ASSERT_TRUE(host.ready()) << host.log();
    // Bursts with pauses between them, so that the host compares the file
    // after each burst as well as during it.
    for (int fps = 11; fps <= 40; ++fps) {
        Finished set = host.run({"--exec", "@VumiraInternal SetFPS " + std::to_string(fps)});
        ASSERT_EQ(set.status, 0) << set.err;
        if (fps % 10 == 0) letNoticesSettle();
    }
    ASSERT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 40")) << host.rc();
    EXPECT_EQ(count(host.log(), kReloaded), 0u) << host.log();

    // A change from outside afterwards is seen, so the watch was awake all along.
    replaceInFile(host.rcPath(), "fps: 40", "fps: 30");
    ASSERT_TRUE(host.logShows(kReloaded)) << host.log();
    EXPECT_EQ(count(host.log(), kReloaded), 1u) << host.log();
    EXPECT_TRUE(menuShows(host, "[x] \"30\" -> \"@VumiraInternal SetFPS 30\"")) << host.log();
}

}  // namespace

// The host's command channel end to end, the same scenarios on every
// system: the real obsidel program runs with a copy of the Vumira module,
// and `obsidel --exec`, `--reconfigure`, `--menu` and `--pick` reach it as
// a script would (a Unix socket on Linux, WM_COPYDATA on Windows).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "running_host.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Finished;
using testsupport::hasLine;
using testsupport::HostSetup;
using testsupport::RunningHost;

TEST(CommandChannel, ExecReachesThePluginWhichWritesItsRcFileBesideTheModule) {
    RunningHost host;
    ASSERT_TRUE(host.ready()) << host.log();

    Finished fps = host.run({"--exec", "@VumiraInternal SetFPS 30"});
    EXPECT_EQ(fps.status, 0) << fps.err;
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 30")) << host.rc();

    Finished top = host.run({"--exec", "@VumiraInternal AlwaysOnTop"});
    EXPECT_EQ(top.status, 0) << top.err;
    EXPECT_TRUE(hasLine(host.log(), "obsidel: VumiraPlugin -> AlwaysOnTop disabled!")) << host.log();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.alwaysontop: false")) << host.rc();

    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_FALSE(fs::exists(fs::path(host.home()) / "Vumira.rc")) << "the rc file belongs beside the module";
    EXPECT_EQ(host.boxes(), "");
}

TEST(CommandChannel, MenuPrintsTheTreeAndPickBroadcastsAnEntry) {
    RunningHost host;
    ASSERT_TRUE(host.ready()) << host.log();

    Finished menu = host.run({"--menu"});
    EXPECT_EQ(menu.status, 0) << menu.err;
    EXPECT_EQ(menu.out, testsupport::readFile(testsupport::besideTestProgram("default_menu.txt")));

    Finished fps = host.run({"--pick", "Configuration/FPS/20"});
    EXPECT_EQ(fps.status, 0) << fps.err;
    EXPECT_EQ(fps.out, "@VumiraInternal SetFPS 20\n");
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 20")) << host.rc();

    Finished alpha = host.run({"--pick", "Configuration/Alpha Value=200"});
    EXPECT_EQ(alpha.status, 0) << alpha.err;
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.transparency.alpha: 200")) << host.rc();

    Finished drop = host.run({"--pick", "Configuration/Peak Drop Speed/7/10"});
    EXPECT_EQ(drop.status, 0) << drop.err;
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.style.peakDrop: 7")) << host.rc();

    Finished missing = host.run({"--pick", "Configuration/Nope"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "obsidel: the menu \"VumiraPlugin\" has no entry \"Configuration/Nope\"\n");

    // The picks show in the next menu.
    Finished after = host.run({"--menu"});
    EXPECT_TRUE(hasLine(after.out, "      [x] \"20\" -> \"@VumiraInternal SetFPS 20\"")) << after.out;
    EXPECT_TRUE(hasLine(after.out, "    [=] \"Alpha Value\" -> \"@VumiraInternal TransparencyAlpha\" 200 in 0..255"))
        << after.out;
    EXPECT_TRUE(hasLine(after.out, "      [x] \"7/10\" -> \"@VumiraInternal SetPeakDrop 7\"")) << after.out;
    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_EQ(host.boxes(), "");
}

TEST(CommandChannel, ReconfigureMakesTheRunningPluginRereadItsRcFile) {
    RunningHost host;
    ASSERT_TRUE(host.ready()) << host.log();
    testsupport::writeFile(host.rcPath(), "Vumira.plugin.wave.KHz: 44\nVumira.plugin.style.scopeType: v\n");

    Finished reconfigure = host.run({"--reconfigure"});
    EXPECT_EQ(reconfigure.status, 0) << reconfigure.err;
    Finished menu = host.run({"--menu"});
    EXPECT_TRUE(hasLine(menu.out, "      [x] \"44\" -> \"@VumiraInternal SetKHz 44\"")) << menu.out;
    EXPECT_TRUE(hasLine(menu.out, "      [x] \"Vertical\" -> \"@VumiraInternal SetScopeV\"")) << menu.out;
    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_EQ(host.boxes(), "");
}

TEST(CommandChannel, TheSlitToggleDocksAndUndocksInARunningHost) {
    HostSetup docked;
    docked.slit = true;
    docked.rc = "Vumira.plugin.inSlit: true\n";
    RunningHost host(docked);
    ASSERT_TRUE(host.ready()) << host.log();

    EXPECT_EQ(host.run({"--exec", "@VumiraInternal SlitToggle"}).status, 0);
    EXPECT_TRUE(hasLine(host.log(), "obsidel: VumiraPlugin -> SlitToggle disabled!")) << host.log();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.inSlit: false")) << host.rc();

    EXPECT_EQ(host.run({"--exec", "@VumiraInternal SlitToggle"}).status, 0);
    EXPECT_TRUE(hasLine(host.log(), "obsidel: VumiraPlugin -> SlitToggle enabled!")) << host.log();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.inSlit: true")) << host.rc();
    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_EQ(host.boxes(), "");
}

TEST(CommandChannel, ASecondHostLeavesTheRequestsToTheFirst) {
    RunningHost first;
    ASSERT_TRUE(first.ready()) << first.log();
    HostSetup beside;
    beside.besideHost = &first;
    RunningHost second(beside);
    ASSERT_TRUE(second.ready()) << second.log();
    EXPECT_NE(second.log().find("obsidel: the host takes no remote commands: another host"), std::string::npos)
        << second.log();

    Finished fps = second.run({"--exec", "@VumiraInternal SetFPS 50"});
    EXPECT_EQ(fps.status, 0) << fps.err;
    EXPECT_TRUE(hasLine(first.rc(), "Vumira.plugin.wave.fps: 50")) << first.rc();
    EXPECT_FALSE(hasLine(second.rc(), "Vumira.plugin.wave.fps: 50")) << second.rc();
    EXPECT_EQ(second.stop(), 0) << second.log();
    EXPECT_EQ(first.stop(), 0) << first.log();
}

TEST(CommandChannel, ClientsSayClearlyWhenNoHostRuns) {
    testsupport::TempDir folder;
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--exec", "@VumiraInternal About"}, {"--reconfigure"}, {"--menu"}, {"--pick", "About Vumira"}}) {
        Finished none = testsupport::runWithoutHost(arguments, folder);
        EXPECT_EQ(none.status, 1) << arguments[0];
        EXPECT_EQ(none.err.rfind("obsidel: no host is running", 0), 0u) << arguments[0] << ": " << none.err;
        EXPECT_TRUE(none.err.ends_with("(start one with obsidel)\n")) << arguments[0] << ": " << none.err;
    }
}

}  // namespace

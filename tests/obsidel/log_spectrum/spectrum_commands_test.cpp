// The log-band spectrum's commands through the running host, as a script
// sends them with `obsidel --exec`: each sets its key and writes it at once,
// a value the key does not take changes nothing and says why, and a file
// that never set the keys never gains them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "running_host.h"

namespace {

using testsupport::Finished;
using testsupport::hasLine;
using testsupport::HostSetup;
using testsupport::RunningHost;

TEST(SpectrumCommands, EachCommandSetsItsKeyAndWritesItAtOnce) {
    struct Case {
        const char* command;
        const char* line;    // in the rc file afterwards
        const char* status;  // in the host's log
    };
    const std::vector<Case> cases = {
        {"SpectrumScale log", "Vumira.plugin.spectrum.scale: log", "VumiraPlugin -> SpectrumScale log"},
        {"SpectrumScale LINEAR", "Vumira.plugin.spectrum.scale: linear", "VumiraPlugin -> SpectrumScale linear"},
        {"SpectrumPoints 8192", "Vumira.plugin.spectrum.points: 8192", "VumiraPlugin -> SpectrumPoints 8192"},
        // Brought to the nearest power of two within 512 .. 16384.
        {"SpectrumPoints 5000", "Vumira.plugin.spectrum.points: 4096", "VumiraPlugin -> SpectrumPoints 4096"},
        {"SpectrumPoints 100000", "Vumira.plugin.spectrum.points: 16384", "VumiraPlugin -> SpectrumPoints 16384"},
        {"SpectrumLowHz 44.67", "Vumira.plugin.spectrum.lowHz: 44.67", "VumiraPlugin -> SpectrumLowHz 44.67"},
        {"SpectrumHighHz 12500", "Vumira.plugin.spectrum.highHz: 12500", "VumiraPlugin -> SpectrumHighHz 12500"},
        {"SpectrumBandsPerOctave 3", "Vumira.plugin.spectrum.bandsPerOctave: 3",
         "VumiraPlugin -> SpectrumBandsPerOctave 3"},
        // The nearest of 0, 1, 2, 3, 6, 12, 24.
        {"SpectrumBandsPerOctave 10", "Vumira.plugin.spectrum.bandsPerOctave: 12",
         "VumiraPlugin -> SpectrumBandsPerOctave 12"},
        {"SpectrumFloorDb -60", "Vumira.plugin.spectrum.floorDb: -60", "VumiraPlugin -> SpectrumFloorDb -60"},
        {"SpectrumAutoGain yes", "Vumira.plugin.spectrum.autoGain: true", "VumiraPlugin -> SpectrumAutoGain true"},
        {"SpectrumWeighting a", "Vumira.plugin.spectrum.weighting: A", "VumiraPlugin -> SpectrumWeighting A"},
    };
    RunningHost host;
    ASSERT_TRUE(host.ready()) << host.log();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Finished sent = host.run({"--exec", std::string("@VumiraInternal ") + c.command});
        EXPECT_EQ(sent.status, 0) << sent.err;
        EXPECT_TRUE(hasLine(host.rc(), c.line)) << host.rc();
        EXPECT_TRUE(host.logShows(c.status)) << host.log();
    }
    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_EQ(host.boxes(), "");
}

TEST(SpectrumCommands, AValueTheKeyDoesNotTakeChangesNothingAndSaysWhy) {
    struct Case {
        const char* command;
        const char* status;
    };
    const std::vector<Case> cases = {
        {"SpectrumScale loud", "VumiraPlugin -> SpectrumScale: \"loud\" is not linear or log; nothing changed"},
        {"SpectrumPoints many",
         "VumiraPlugin -> SpectrumPoints: \"many\" is not a power of two from 512 to 16384; nothing changed"},
        {"SpectrumAutoGain", "VumiraPlugin -> SpectrumAutoGain: \"\" is not true or false; nothing changed"},
    };
    HostSetup setup;
    setup.rc = "Vumira.plugin.wave.fps: 25\n";
    RunningHost host(setup);
    ASSERT_TRUE(host.ready()) << host.log();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Finished sent = host.run({"--exec", std::string("@VumiraInternal ") + c.command});
        EXPECT_EQ(sent.status, 0) << sent.err;
        EXPECT_TRUE(host.logShows(c.status)) << host.log();
    }
    EXPECT_EQ(host.rc().find("spectrum"), std::string::npos) << host.rc();
    EXPECT_EQ(host.stop(), 0) << host.log();
}

TEST(SpectrumCommands, AFileThatNeverSetTheKeysNeverGainsThem) {
    HostSetup setup;
    setup.rc = "# mine\nVumira.plugin.width: 120\n";
    RunningHost host(setup);
    ASSERT_TRUE(host.ready()) << host.log();
    for (const char* command : {"@VumiraInternal SetFPS 30", "@VumiraInternal ToggleRecord",
                                "@VumiraInternal ToggleRecord", "@VumiraInternal SetScopeV"}) {
        Finished sent = host.run({"--exec", command});
        EXPECT_EQ(sent.status, 0) << sent.err;
    }
    Finished reconfigure = host.run({"--reconfigure"});
    EXPECT_EQ(reconfigure.status, 0) << reconfigure.err;
    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_EQ(host.rc().find("spectrum"), std::string::npos) << host.rc();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 30")) << host.rc();
}

}  // namespace

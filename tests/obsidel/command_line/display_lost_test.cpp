// The X server goes away under a running host: the host ends by itself
// with a message that says so and exit status 1, and the rc file holds the
// last change written before.
#include <gtest/gtest.h>

#include <string>

#include "private_x_server.h"
#include "running_host.h"

namespace {

using testsupport::Finished;
using testsupport::hasLine;
using testsupport::RunningHost;

TEST(DisplayLost, TheHostEndsWithAClearMessageAndTheRcFileKeepsTheLastWrite) {
    testsupport::PrivateXServer display;
    const std::string failure = display.start();
    SKIP_OR_FAIL_WITHOUT(failure.empty(), failure);

    testsupport::HostSetup setup;
    setup.arguments = {"--display", "x11:" + display.name()};
    RunningHost host(setup);
    ASSERT_TRUE(host.ready()) << host.log();
    Finished fps = host.run({"--exec", "@VumiraInternal SetFPS 33"});
    ASSERT_EQ(fps.status, 0) << fps.err;
    Finished blur = host.run({"--exec", "@VumiraInternal SetBlurAlpha 77"});
    ASSERT_EQ(blur.status, 0) << blur.err;

    display.stop(SIGKILL);
    EXPECT_EQ(host.waitUntilEnded(), 1) << host.log();
    EXPECT_TRUE(host.logShows("lost the connection to the X display " + display.name() +
                              " (the X server ended or the connection broke)"))
        << host.log();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 33")) << host.rc();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.motionbluralpha: 77")) << host.rc();
}

}  // namespace

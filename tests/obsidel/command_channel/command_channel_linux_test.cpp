// The Linux side of the command channel: where the socket lives when there
// is no runtime folder, and the exact words of a client that finds none.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "running_host.h"

namespace {

// A host given only $TMPDIR, so that its channel falls back to a private folder there.
testsupport::HostSetup withoutRuntimeFolder() {
    testsupport::HostSetup setup;
    setup.runtimeFolder = false;
    return setup;
}

using testsupport::Finished;
using testsupport::hasLine;
using testsupport::RunningHost;

TEST(CommandChannelLinux, WithoutARuntimeFolderHostAndClientMeetInAPrivateTemporaryFolder) {
    RunningHost host(withoutRuntimeFolder());
    ASSERT_TRUE(host.ready()) << host.log();
    const std::string privateFolder = host.temporary() + "/obsidel-" + std::to_string(getuid());
    struct stat info {};
    ASSERT_EQ(stat(privateFolder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    Finished fps = host.run({"--exec", "@VumiraInternal SetFPS 50"});
    EXPECT_EQ(fps.status, 0) << fps.err;
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 50")) << host.rc();
    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_FALSE(std::filesystem::exists(privateFolder + "/obsidel.socket"));
}

TEST(CommandChannelLinux, AClientNamesTheSocketItFoundNoHostAt) {
    testsupport::TempDir folder;
    Finished none = testsupport::runWithoutHost({"--exec", "@VumiraInternal About"}, folder);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "obsidel: no host is running: nothing listens at " + folder.file("runtime") +
                            "/obsidel.socket (start one with obsidel)\n");
}

TEST(CommandChannelLinux, ASocketFolderThatOthersMayEnterIsRefused) {
    RunningHost host(withoutRuntimeFolder());
    const std::string shared = host.temporary() + "/obsidel-" + std::to_string(getuid());
    // The host made its folder private; open it to others and ask again.
    ASSERT_TRUE(host.ready()) << host.log();
    ASSERT_EQ(chmod(shared.c_str(), 0755), 0);
    Finished unsafe = host.run({"--exec", "@VumiraInternal About"});
    EXPECT_EQ(unsafe.status, 1);
    EXPECT_EQ(unsafe.err, "obsidel: the folder " + shared +
                              " is not a private folder of this user (it must be a folder with mode 0700)\n");
}

}  // namespace

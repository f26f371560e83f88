// The Linux side of the command channel: where the socket lives when there
// is no runtime folder, the exact words of a client that finds none, the
// request size limit and malformed requests, and the refusal of other users.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

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

// Sends `bytes` as one request over the socket at `path`, as any local
// program could; the host's whole answer, or "connect: REASON".
std::string rawRequest(const std::string& path, const std::string& bytes) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int connection = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const std::string reason = std::strerror(errno);
        close(connection);
        return "connect: " + reason;
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t put = send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (put <= 0) break;
        sent += static_cast<std::size_t>(put);
    }
    shutdown(connection, SHUT_WR);
    std::string answer;
    char buffer[4096];
    ssize_t got;
    while ((got = read(connection, buffer, sizeof buffer)) > 0) answer.append(buffer, static_cast<std::size_t>(got));
    close(connection);
    return answer;
}

std::string socketOf(const RunningHost& host) { return host.runtime() + "/obsidel.socket"; }

// The request limit is 64 KiB: a request of exactly that size is carried
// out; one byte more, or a request that is not a kind, a line feed and a
// text, gets an error saying so and never reaches the plug-in.
TEST(CommandChannelLinux, OversizedAndMalformedRequestsGetAClearErrorAndNeverReachThePlugIn) {
    RunningHost host;
    ASSERT_TRUE(host.ready()) << host.log();
    constexpr std::size_t kLimit = 65536;
    auto padded = [](std::string request, std::size_t size) {
        request.resize(size, ' ');
        return request;
    };
    const std::string notUnderstood =
        "error\nthe request was not understood: it must be exec, reconfigure, menu or pick, a line feed and the text";
    const std::string tooLarge = "error\nthe request is larger than 65536 bytes, the most the host takes";
    struct Refused {
        const char* what;
        std::string bytes;
        std::string answer;
    };
    const std::vector<Refused> refused = {
        {"one byte above the limit", padded("exec\n@VumiraInternal SetFPS 50", kLimit + 1), tooLarge},
        {"a megabyte", padded("exec\n@VumiraInternal SetFPS 50", 1 << 20), tooLarge},
        {"nothing", "", notUnderstood},
        {"no line feed", "exec @VumiraInternal SetFPS 50", notUnderstood},
        {"an unknown kind", "launch\n@VumiraInternal SetFPS 50", notUnderstood},
        {"no kind", "\n@VumiraInternal SetFPS 50", notUnderstood},
        {"a kind in capitals", "EXEC\n@VumiraInternal SetFPS 50", notUnderstood},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(rawRequest(socketOf(host), r.bytes), r.answer);
    }
    EXPECT_FALSE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 50")) << "a refused request reached the plug-in";

    EXPECT_EQ(rawRequest(socketOf(host), padded("exec\n@VumiraInternal SetFPS 51", kLimit)), "ok\n");
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 51")) << host.rc();

    // The client refuses to send what the host would refuse, with the same words.
    Finished huge = host.run({"--exec", padded("@VumiraInternal SetFPS 52", kLimit)});
    EXPECT_EQ(huge.status, 1);
    EXPECT_EQ(huge.err, "obsidel: the request is larger than 65536 bytes, the most the host takes\n");
    EXPECT_EQ(host.stop(), 0) << host.log();
}

// The socket is its user's alone (0600 from the moment it exists, in a
// private folder). Another user cannot connect; and should the folder and
// socket be opened to others by hand, the host still refuses their
// requests by the peer's user. Needs root, to act as another user.
TEST(CommandChannelLinux, OtherUsersCannotReachTheSocketNorHaveARequestCarriedOut) {
    RunningHost host;
    ASSERT_TRUE(host.ready()) << host.log();
    struct stat info {};
    ASSERT_EQ(stat(socketOf(host).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_uid, getuid());
    if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";

    // As the user nobody, in a child process; the answer comes back through a pipe.
    auto asAnotherUser = [&](const std::string& bytes) {
        int channel[2];
        if (pipe(channel) != 0) return std::string("pipe failed");
        const pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            std::string answer = (setgid(65534) == 0 && setuid(65534) == 0) ? rawRequest(socketOf(host), bytes)
                                                                             : "setuid failed";
            ssize_t ignored = write(channel[1], answer.data(), answer.size());
            (void)ignored;
            _exit(0);
        }
        close(channel[1]);
        std::string answer;
        char buffer[512];
        ssize_t got;
        while ((got = read(channel[0], buffer, sizeof buffer)) > 0) answer.append(buffer, static_cast<std::size_t>(got));
        close(channel[0]);
        waitpid(child, nullptr, 0);
        return answer;
    };
    const std::string request = "exec\n@VumiraInternal SetFPS 50";
    EXPECT_EQ(asAnotherUser(request), "connect: Permission denied");

    ASSERT_EQ(chmod(host.runtime().c_str(), 0711), 0);
    ASSERT_EQ(chmod(socketOf(host).c_str(), 0666), 0);
    EXPECT_EQ(asAnotherUser(request), "error\nrequests are taken from the host's own user only");
    EXPECT_FALSE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 50")) << "another user's request reached the plug-in";
    EXPECT_EQ(host.stop(), 0) << host.log();
}

}  // namespace

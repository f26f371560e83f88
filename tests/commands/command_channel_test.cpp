// The command channel end to end: the real obsidel program runs with a copy
// of the Vumira module on the headless display, and `obsidel --exec`,
// `--reconfigure`, `--menu` and `--pick` reach it as a script would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The environment of a program started here: ours without the variables
// that choose folders, displays and devices, plus `extra`.
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& extra) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
        std::string variable = *entry;
        std::string name = variable.substr(0, variable.find('='));
        if (name == "XDG_RUNTIME_DIR" || name == "TMPDIR" || name == "VISUAL" || name == "EDITOR" ||
            name == "DISPLAY" || name.rfind("VUMIRA_", 0) == 0)
            continue;
        variables.push_back(variable);
    }
    for (const auto& [name, value] : extra) variables.push_back(name + "=" + value);
    return variables;
}

// Starts the obsidel program with `arguments`, its output going to files.
pid_t startObsidel(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                   const std::string& outPath, const std::string& errPath) {
    std::vector<std::string> words{OBSIDEL_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> environmentCopy = environment;
    for (auto& variable : environmentCopy) envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = -1;
    int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? child : -1;
}

struct Finished {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out, err;
};

// A running host with its own folders, and clients that talk to it.
class RunningHost {
public:
    struct Setup {
        bool runtimeDir = true;  // give $XDG_RUNTIME_DIR, else only $TMPDIR
        bool slit = false;
        std::string rc;  // the rc file beside the module copy, when not empty
    };

    explicit RunningHost(const Setup& setup) {
        fs::create_directories(home());
        fs::create_directories(moduleFolder());
        fs::create_directories(runtime());
        fs::create_directories(temporary());
        chmod(runtime().c_str(), 0700);
        fs::copy_file(VUMIRA_MODULE, module());
        if (!setup.rc.empty()) testsupport::writeFile(rcPath(), setup.rc);
        if (setup.runtimeDir) variables_["XDG_RUNTIME_DIR"] = runtime();
        variables_["TMPDIR"] = temporary();
        variables_["VISUAL"] = "true";

        std::vector<std::string> arguments{"--home", home(), "--display", "headless", "--wave-in", "tone:440"};
        if (setup.slit) arguments.push_back("--slit");
        arguments.push_back(module());
        host_ = startObsidel(arguments, environmentWith(variables_), folder_.file("host.out"), logPath());
    }

    ~RunningHost() { stop(); }
    RunningHost(const RunningHost&) = delete;
    RunningHost& operator=(const RunningHost&) = delete;

    // Waits until the host takes requests (its socket is there).
    bool ready(const std::string& socket) const {
        for (int i = 0; i < 3000; ++i) {
            if (fs::exists(socket)) return true;
            if (host_ < 0 || waitpid(host_, nullptr, WNOHANG) != 0) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Ends the host as Ctrl+C would; its exit status.
    int stop() {
        if (host_ <= 0) return stopped_;
        kill(host_, SIGTERM);
        int status = 0;
        waitpid(host_, &status, 0);
        host_ = -1;
        stopped_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return stopped_;
    }

    Finished run(const std::vector<std::string>& arguments) const {
        Finished finished;
        std::string out = folder_.file("client.out"), err = folder_.file("client.err");
        pid_t client = startObsidel(arguments, environmentWith(variables_), out, err);
        if (client < 0) return finished;
        int status = 0;
        waitpid(client, &status, 0);
        finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        finished.out = testsupport::readFile(out);
        finished.err = testsupport::readFile(err);
        return finished;
    }

    std::string home() const { return folder_.file("home"); }
    std::string moduleFolder() const { return folder_.file("module"); }
    std::string module() const { return moduleFolder() + "/" + fs::path(VUMIRA_MODULE).filename().string(); }
    // Neither folder has an rc file at first, so it is made beside the module.
    std::string rcPath() const { return moduleFolder() + "/Vumira.rc"; }
    std::string runtime() const { return folder_.file("runtime"); }
    std::string temporary() const { return folder_.file("tmp"); }
    std::string privateFolder() const { return temporary() + "/obsidel-" + std::to_string(getuid()); }
    std::string logPath() const { return folder_.file("host.log"); }
    std::string log() const { return testsupport::readFile(logPath()); }
    std::string rc() const { return testsupport::readFile(rcPath()); }

private:
    testsupport::TempDir folder_;
    std::map<std::string, std::string> variables_;
    pid_t host_ = -1;
    int stopped_ = -1;
};

bool hasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(CommandChannel, ExecSetsTheFrameRateAndTogglesAlwaysOnTop) {
    RunningHost host({.runtimeDir = true, .slit = false, .rc = ""});
    ASSERT_TRUE(host.ready(host.runtime() + "/obsidel.socket")) << host.log();

    Finished fps = host.run({"--exec", "@VumiraInternal SetFPS 30"});
    EXPECT_EQ(fps.status, 0) << fps.err;
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 30")) << host.rc();

    Finished top = host.run({"--exec", "@VumiraInternal AlwaysOnTop"});
    EXPECT_EQ(top.status, 0) << top.err;
    EXPECT_TRUE(hasLine(host.log(), "obsidel: VumiraPlugin -> AlwaysOnTop disabled!")) << host.log();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.alwaysontop: false")) << host.rc();

    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_FALSE(fs::exists(host.runtime() + "/obsidel.socket"));
}

TEST(CommandChannel, MenuPrintsTheTreeAndPickBroadcastsAnEntry) {
    RunningHost host({.runtimeDir = true, .slit = false, .rc = ""});
    ASSERT_TRUE(host.ready(host.runtime() + "/obsidel.socket")) << host.log();

    Finished menu = host.run({"--menu"});
    EXPECT_EQ(menu.status, 0) << menu.err;
    EXPECT_EQ(menu.out, testsupport::readFile(DEFAULT_MENU_FILE));

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
}

TEST(CommandChannel, ReconfigureMakesTheRunningPluginRereadItsRcFile) {
    RunningHost host({.runtimeDir = true, .slit = false, .rc = ""});
    ASSERT_TRUE(host.ready(host.runtime() + "/obsidel.socket")) << host.log();
    testsupport::writeFile(host.rcPath(), "Vumira.plugin.wave.KHz: 44\nVumira.plugin.style.scopeType: v\n");

    Finished reconfigure = host.run({"--reconfigure"});
    EXPECT_EQ(reconfigure.status, 0) << reconfigure.err;
    Finished menu = host.run({"--menu"});
    EXPECT_TRUE(hasLine(menu.out, "      [x] \"44\" -> \"@VumiraInternal SetKHz 44\"")) << menu.out;
    EXPECT_TRUE(hasLine(menu.out, "      [x] \"Vertical\" -> \"@VumiraInternal SetScopeV\"")) << menu.out;
}

TEST(CommandChannel, TheSlitToggleDocksAndUndocksInARunningHost) {
    RunningHost host({.runtimeDir = true, .slit = true, .rc = "Vumira.plugin.inSlit: true\n"});
    ASSERT_TRUE(host.ready(host.runtime() + "/obsidel.socket")) << host.log();

    EXPECT_EQ(host.run({"--exec", "@VumiraInternal SlitToggle"}).status, 0);
    EXPECT_TRUE(hasLine(host.log(), "obsidel: VumiraPlugin -> SlitToggle disabled!")) << host.log();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.inSlit: false")) << host.rc();

    EXPECT_EQ(host.run({"--exec", "@VumiraInternal SlitToggle"}).status, 0);
    EXPECT_TRUE(hasLine(host.log(), "obsidel: VumiraPlugin -> SlitToggle enabled!")) << host.log();
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.inSlit: true")) << host.rc();
}

TEST(CommandChannel, WithoutARuntimeFolderHostAndClientMeetInAPrivateTemporaryFolder) {
    RunningHost host({.runtimeDir = false, .slit = false, .rc = ""});
    ASSERT_TRUE(host.ready(host.privateFolder() + "/obsidel.socket")) << host.log();
    struct stat info {};
    ASSERT_EQ(stat(host.privateFolder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    Finished fps = host.run({"--exec", "@VumiraInternal SetFPS 50"});
    EXPECT_EQ(fps.status, 0) << fps.err;
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 50")) << host.rc();
}

TEST(CommandChannel, ClientsSayClearlyWhenNoHostAnswers) {
    testsupport::TempDir folder;
    auto runtime = folder.file("runtime");
    fs::create_directories(runtime);
    auto run = [&](const std::map<std::string, std::string>& variables, const std::vector<std::string>& arguments) {
        Finished finished;
        pid_t client = startObsidel(arguments, environmentWith(variables), folder.file("out"), folder.file("err"));
        int status = 0;
        waitpid(client, &status, 0);
        finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        finished.err = testsupport::readFile(folder.file("err"));
        return finished;
    };

    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--exec", "@VumiraInternal About"}, {"--reconfigure"}, {"--menu"}, {"--pick", "About Vumira"}}) {
        Finished none = run({{"XDG_RUNTIME_DIR", runtime}}, arguments);
        EXPECT_EQ(none.status, 1) << arguments[0];
        EXPECT_EQ(none.err, "obsidel: no host is running: nothing listens at " + runtime +
                                "/obsidel.socket (start one with obsidel)\n")
            << arguments[0];
    }

    // A folder for the socket that others may enter is refused.
    auto temporary = folder.file("tmp");
    auto shared = temporary + "/obsidel-" + std::to_string(getuid());
    fs::create_directories(shared);
    chmod(shared.c_str(), 0755);
    Finished unsafe = run({{"TMPDIR", temporary}}, {"--exec", "@VumiraInternal About"});
    EXPECT_EQ(unsafe.status, 1);
    EXPECT_EQ(unsafe.err, "obsidel: the folder " + shared +
                              " is not a private folder of this user (it must be a folder with mode 0700)\n");
}

}  // namespace

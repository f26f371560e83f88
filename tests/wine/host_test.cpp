// The real obsidel.exe with a copy of vumira.dll, end to end under Wine:
// the host starts with the module, `obsidel.exe --exec`, `--reconfigure`,
// `--menu` and `--pick` reach it through WM_COPYDATA to its main window, the
// plug-in writes its rc file beside the module as on Linux, and the host
// stops cleanly when its main window is closed. The Wine stage's sound
// server lets the capture open, so the plug-in has no reason for a message
// box; a guard closes any that shows and the tests fail on it.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "message_box_guard.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr DWORD kStartDeadlineMs = 30000;
constexpr DWORD kExitDeadlineMs = 30000;

// obsidel.exe and vumira.dll are built beside the test program.
fs::path buildFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

std::string quoted(const std::string& word) {
    std::string text(1, '"');
    text += word;
    text += '"';
    return text;
}

HANDLE inheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &security, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts obsidel.exe with `arguments`, its output going to the two files.
PROCESS_INFORMATION startObsidel(const std::vector<std::string>& arguments, const std::string& outPath,
                                 const std::string& errPath) {
    std::string commandLine = quoted((buildFolder() / "obsidel.exe").string());
    for (const auto& argument : arguments) {
        commandLine += ' ';
        commandLine += quoted(argument);
    }
    HANDLE out = inheritableFile(outPath);
    HANDLE err = inheritableFile(errPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        process = PROCESS_INFORMATION{};
    CloseHandle(out);
    CloseHandle(err);
    return process;
}

// The exit code, or -1 when the process did not end within the deadline (it is then ended).
int waitForExit(PROCESS_INFORMATION& process, DWORD deadlineMs) {
    if (!process.hProcess) return -1;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, deadlineMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = PROCESS_INFORMATION{};
    return static_cast<int>(code);
}

// A top-level window of the given class that belongs to the process.
HWND windowOf(DWORD processId, const char* className) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

struct Finished {
    int status = -1;
    std::string out, err;
};

// A running host with its own home folder and a copy of the module in
// another, and clients that talk to it.
class RunningHost {
public:
    explicit RunningHost(const std::string& rcText = "") {
        fs::create_directories(home());
        fs::create_directories(moduleFolder());
        fs::copy_file(buildFolder() / "vumira.dll", module());
        if (!rcText.empty()) testsupport::writeFile(rcPath(), rcText);
        host_ = startObsidel({"--home", home(), module()}, folder_.file("host.out"), logPath());
        boxes_ = std::make_unique<winetest::MessageBoxGuard>(host_.dwProcessId);
    }
    ~RunningHost() { stop(); }
    RunningHost(const RunningHost&) = delete;
    RunningHost& operator=(const RunningHost&) = delete;

    // Started: the plug-in's window shows, and the host has either marked
    // its main window as the one that takes requests or said why it does not.
    bool ready() const {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < kStartDeadlineMs) {
            if (!host_.hProcess || WaitForSingleObject(host_.hProcess, 0) == WAIT_OBJECT_0) return false;
            HWND main = windowOf(host_.dwProcessId, "ObsidelHost");
            if (windowOf(host_.dwProcessId, "Vumira") && main &&
                (GetPropA(main, "ObsidelTakesRequests") || log().find("takes no remote commands") != std::string::npos))
                return true;
            Sleep(20);
        }
        return false;
    }

    // Closes the host's main window, as a person's "quit" would; the exit code.
    int stop() {
        if (!host_.hProcess) return stopped_;
        if (HWND main = windowOf(host_.dwProcessId, "ObsidelHost")) PostMessageA(main, WM_CLOSE, 0, 0);
        stopped_ = waitForExit(host_, kExitDeadlineMs);
        return stopped_;
    }

    Finished run(const std::vector<std::string>& arguments) const {
        Finished finished;
        std::string out = folder_.file("client.out"), err = folder_.file("client.err");
        PROCESS_INFORMATION client = startObsidel(arguments, out, err);
        finished.status = waitForExit(client, kExitDeadlineMs);
        finished.out = testsupport::readFile(out);
        finished.err = testsupport::readFile(err);
        return finished;
    }

    std::string home() const { return folder_.file("home"); }
    std::string moduleFolder() const { return folder_.file("module"); }
    std::string module() const { return (fs::path(moduleFolder()) / "vumira.dll").string(); }
    // Neither folder has an rc file at first, so it is made beside the module.
    std::string rcPath() const { return (fs::path(moduleFolder()) / "Vumira.rc").string(); }
    std::string logPath() const { return folder_.file("host.log"); }
    std::string log() const { return testsupport::readFile(logPath()); }
    std::string rc() const { return testsupport::readFile(rcPath()); }
    std::string boxes() const { return boxes_->describe(); }

private:
    testsupport::TempDir folder_;
    PROCESS_INFORMATION host_{};
    std::unique_ptr<winetest::MessageBoxGuard> boxes_;
    int stopped_ = -1;
};

bool hasLine(const std::string& text, const std::string& line) {
    // The C runtime of Windows may end lines with a carriage return.
    std::string plain;
    for (char c : text)
        if (c != '\r') plain += c;
    return ("\n" + plain).find("\n" + line + "\n") != std::string::npos;
}

TEST(HostUnderWine, ExecReachesThePluginWhichWritesItsRcFileBesideTheModule) {
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

TEST(HostUnderWine, MenuPrintsTheTreeAndPickBroadcastsAnEntry) {
    RunningHost host;
    ASSERT_TRUE(host.ready()) << host.log();

    Finished fps = host.run({"--pick", "Configuration/FPS/20"});
    EXPECT_EQ(fps.status, 0) << fps.err;
    EXPECT_TRUE(hasLine(fps.out, "@VumiraInternal SetFPS 20")) << fps.out;
    EXPECT_TRUE(hasLine(host.rc(), "Vumira.plugin.wave.fps: 20")) << host.rc();

    Finished missing = host.run({"--pick", "Configuration/Nope"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(hasLine(missing.err, "obsidel: the menu \"VumiraPlugin\" has no entry \"Configuration/Nope\""))
        << missing.err;

    Finished menu = host.run({"--menu"});
    EXPECT_EQ(menu.status, 0) << menu.err;
    EXPECT_TRUE(hasLine(menu.out, "      [x] \"20\" -> \"@VumiraInternal SetFPS 20\"")) << menu.out;
    EXPECT_EQ(host.stop(), 0) << host.log();
    EXPECT_EQ(host.boxes(), "");
}

TEST(HostUnderWine, ReconfigureMakesTheRunningPluginRereadItsRcFile) {
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

TEST(HostUnderWine, ASecondHostLeavesTheRequestsToTheFirst) {
    RunningHost first;
    ASSERT_TRUE(first.ready()) << first.log();
    RunningHost second;
    ASSERT_TRUE(second.ready()) << second.log();
    EXPECT_NE(second.log().find("obsidel: the host takes no remote commands: another host is running"),
              std::string::npos)
        << second.log();

    Finished fps = second.run({"--exec", "@VumiraInternal SetFPS 50"});
    EXPECT_EQ(fps.status, 0) << fps.err;
    EXPECT_TRUE(hasLine(first.rc(), "Vumira.plugin.wave.fps: 50")) << first.rc();
    EXPECT_FALSE(hasLine(second.rc(), "Vumira.plugin.wave.fps: 50")) << second.rc();
    EXPECT_EQ(second.stop(), 0) << second.log();
    EXPECT_EQ(first.stop(), 0) << first.log();
}

TEST(HostUnderWine, ClientsSayClearlyWhenNoHostRuns) {
    testsupport::TempDir folder;
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--exec", "@VumiraInternal About"}, {"--reconfigure"}, {"--menu"}, {"--pick", "About Vumira"}}) {
        PROCESS_INFORMATION client = startObsidel(arguments, folder.file("out"), folder.file("err"));
        EXPECT_EQ(waitForExit(client, kExitDeadlineMs), 1) << arguments[0];
        EXPECT_TRUE(hasLine(testsupport::readFile(folder.file("err")),
                            "obsidel: no host is running (start one with obsidel)"))
            << arguments[0] << ": " << testsupport::readFile(folder.file("err"));
    }
}

}  // namespace

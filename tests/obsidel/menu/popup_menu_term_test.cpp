// The pop-up menu in a terminal: the obsidel program with the Vumira module
// on the term display inside a pseudo-terminal, driven with the bytes a
// terminal sends for keys and mouse reports; the menu's texts are read
// from what the program draws and the pick from the rc file.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "running_host.h"
#include "test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kColumns = 120, kRows = 40;

// An SGR mouse report for the cell (column, row), counted from 0.
std::string mouse(int code, int column, int row, bool release) {
    return "\x1b[<" + std::to_string(code) + ";" + std::to_string(column + 1) + ";" + std::to_string(row + 1) +
           (release ? "m" : "M");
}
std::string rightClick(int column, int row) { return mouse(2, column, row, false) + mouse(2, column, row, true); }
std::string leftClick(int column, int row) { return mouse(0, column, row, false) + mouse(0, column, row, true); }

const std::string kDown = "\x1b[B", kUp = "\x1b[A", kRight = "\x1b[C", kEnd = "\x1b[F";

// obsidel on the term display in a pseudo-terminal, with a copy of the module.
class HostInTerminal {
public:
    HostInTerminal() {
        fs::create_directories(folder_.file("home"));
        fs::create_directories(folder_.file("module"));
        fs::create_directories(folder_.file("runtime"));
        module_ = folder_.file("module") + "/" + fs::path(VUMIRA_MODULE).filename().string();
        fs::copy_file(VUMIRA_MODULE, module_);
        winsize size{};
        size.ws_col = kColumns;
        size.ws_row = kRows;
        int slave = -1;
        if (openpty(&master_, &slave, nullptr, nullptr, &size) != 0) return;
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            const std::string variable = *entry;
            const std::string name = variable.substr(0, variable.find('='));
            if (name == "DISPLAY" || name == "XDG_RUNTIME_DIR" || name.rfind("VUMIRA_", 0) == 0) continue;
            environment.push_back(variable);
        }
        environment.push_back("XDG_RUNTIME_DIR=" + folder_.file("runtime"));
        std::vector<std::string> words{OBSIDEL_PROGRAM, "--home", folder_.file("home"), "--display", "term",
                                       "--wave-in", "tone:440", module_};
        pid_ = fork();
        if (pid_ == 0) {
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            dup2(slave, 0);
            dup2(slave, 1);
            dup2(slave, 2);
            close(master_);
            close(slave);
            std::vector<char*> argv, envp;
            for (auto& word : words) argv.push_back(word.data());
            argv.push_back(nullptr);
            for (auto& variable : environment) envp.push_back(variable.data());
            envp.push_back(nullptr);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        close(slave);
    }
    ~HostInTerminal() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            for (int i = 0; i < 200 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) readFor(10);
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }

    bool started() const { return pid_ > 0; }
    std::string rc() const { return testsupport::readFile(fs::path(module_).parent_path() / "Vumira.rc"); }

    void send(const std::string& bytes) {
        ssize_t ignored = write(master_, bytes.data(), bytes.size());
        (void)ignored;
        readFor(150);  // each step handled and drawn before the next
    }

    // Reads what the host draws until `done` holds or ten seconds pass.
    bool readUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            readFor(50);
        }
        return true;
    }
    bool drew(const std::string& text, size_t from = 0) {
        return readUntil([&] { return sent.find(text, from) != std::string::npos; });
    }

    std::string sent;  // every byte the host wrote to the terminal

private:
    void readFor(int milliseconds) {
        pollfd fd{master_, POLLIN, 0};
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < until) {
            if (poll(&fd, 1, 10) <= 0) continue;
            char buffer[65536];
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got <= 0) return;
            sent.append(buffer, static_cast<size_t>(got));
        }
    }

    testsupport::TempDir folder_;
    std::string module_;
    int master_ = -1;
    pid_t pid_ = -1;
};

// The plug-in's window starts at pixel (10, 10), 100 by 25: cells from
// (10, 5). A right click on the cell (30, 9) opens the menu there: its
// title on row 9, "Configuration" on row 10. The first level is 18 cells
// wide (a 2-cell mark column, "Edit Vumira.rc", a 2-cell arrow column), so
// Configuration opens at column 48. With its title and 32 rows it is 33
// rows high and would cross the terminal's 40th row: it flips up and stops
// at the top, its title on row 0 and "Always On Top" on row 1.
TEST(PopupMenuInTerminal, KeysAndTheMouseOpenAndPickFromTheMenuDrawnInCells) {
    struct Case {
        const char* what;
        std::vector<std::string> steps;  // after the right click
        const char* rcLine;
    };
    const Case cases[] = {
        {"Down, Right, Return", {kDown, kRight, "\r"}, "Vumira.plugin.alwaysontop: false"},
        {"the integer item, typed", {kDown, kRight, kDown, kDown, kDown, kDown, kDown, kDown, kDown, kDown, "4", "2",
                                     "\r"},
         "Vumira.plugin.transparency.alpha: 42"},
        {"the long list's last row", {kDown, kRight, kEnd, kUp, kRight, kEnd, "\r"},
         "Vumira.plugin.style.maxBarHeight: 128"},
        {"clicks on Configuration and on Always On Top", {leftClick(32, 10), leftClick(50, 1)},
         "Vumira.plugin.alwaysontop: false"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HostInTerminal host;
        ASSERT_TRUE(host.started());
        // The window is drawn once the plug-in has written its place.
        ASSERT_TRUE(host.readUntil([&] { return host.rc().find("Vumira.plugin.x:") != std::string::npos; }))
            << host.sent;
        const size_t before = host.sent.size();
        host.send(rightClick(30, 9));
        ASSERT_TRUE(host.drew("VumiraPlugin", before)) << "no menu drawn";
        EXPECT_TRUE(host.drew("Configuration", before));
        for (const std::string& step : c.steps) host.send(step);
        EXPECT_TRUE(host.readUntil([&] { return testsupport::hasLine(host.rc(), c.rcLine); })) << host.rc();
    }
}

}  // namespace

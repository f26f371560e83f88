#include "host_in_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

extern char** environ;

namespace testsupport {
namespace {

namespace fs = std::filesystem;

// Runs `words` with `environment`; in the child, `prepare` first.
pid_t start(std::vector<std::string> words, std::vector<std::string> environment,
            const std::function<void()>& prepare) {
    std::vector<char*> argv, envp;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (auto& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        prepare();
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

}  // namespace

std::string mouseReport(int code, int column, int row, bool release) {
    return "\x1b[<" + std::to_string(code) + ";" + std::to_string(column + 1) + ";" + std::to_string(row + 1) +
           (release ? "m" : "M");
}

HostInTerminal::HostInTerminal() {
    fs::create_directories(folder_.file("home"));
    fs::create_directories(folder_.file("module"));
    fs::create_directories(folder_.file("runtime"));
    module_ = folder_.file("module") + "/" + fs::path(VUMIRA_MODULE).filename().string();
    fs::copy_file(VUMIRA_MODULE, module_);
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (name == "DISPLAY" || name == "XDG_RUNTIME_DIR" || name.rfind("VUMIRA_", 0) == 0) continue;
        environment_.push_back(variable);
    }
    environment_.push_back("XDG_RUNTIME_DIR=" + folder_.file("runtime"));
    winsize size{};
    size.ws_col = kTerminalColumns;
    size.ws_row = kTerminalRows;
    int slave = -1;
    if (openpty(&master_, &slave, nullptr, nullptr, &size) != 0) return;
    const int master = master_;
    pid_ = start({OBSIDEL_PROGRAM, "--home", folder_.file("home"), "--display", "term", "--wave-in", "tone:440",
                  module_},
                 environment_, [master, slave] {
                     setsid();
                     ioctl(slave, TIOCSCTTY, 0);
                     dup2(slave, 0);
                     dup2(slave, 1);
                     dup2(slave, 2);
                     close(master);
                     close(slave);
                 });
    close(slave);
}

HostInTerminal::~HostInTerminal() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        for (int i = 0; i < 200 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) readFor(10);
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
}

std::string HostInTerminal::rc() const { return readFile(fs::path(module_).parent_path() / "Vumira.rc"); }

void HostInTerminal::resize(int columns, int rows) {
    winsize size{};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &size);
    readFor(150);
}

void HostInTerminal::send(const std::string& bytes) {
    ssize_t ignored = write(master_, bytes.data(), bytes.size());
    (void)ignored;
    readFor(150);
}

bool HostInTerminal::readUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        readFor(50);
    }
    return true;
}

bool HostInTerminal::drew(const std::string& text, size_t from) {
    return readUntil([&] { return sent.find(text, from) != std::string::npos; });
}

bool HostInTerminal::takesRequests() const { return fs::exists(folder_.file("runtime") + "/obsidel.socket"); }

int HostInTerminal::runClient(const std::vector<std::string>& arguments) const {
    std::vector<std::string> words{OBSIDEL_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const pid_t pid = start(words, environment_, [] {
        // Away from the host's terminal: its output is not the host's drawing.
        const int nowhere = open("/dev/null", O_RDWR);
        dup2(nowhere, 0);
        dup2(nowhere, 1);
        dup2(nowhere, 2);
    });
    if (pid < 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void HostInTerminal::readFor(int milliseconds) {
    pollfd fd{master_, POLLIN, 0};
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
        if (poll(&fd, 1, 10) <= 0) continue;
        char buffer[65536];
        const ssize_t got = read(master_, buffer, sizeof buffer);
        if (got <= 0) return;
        sent.append(buffer, static_cast<size_t>(got));
        screen_.take(std::string(buffer, static_cast<size_t>(got)));
    }
}

}  // namespace testsupport

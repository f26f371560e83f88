// Xvfb on a display number that it finds free itself (-displayfd), for the
// tests that need a real X server: started by the test, ended with it (or
// killed by it, to see what a program does when its X server goes away).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace testsupport {

inline std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

// Xvfb on a display number that it finds free itself (-displayfd), so that
// tests running side by side never race for one.
class PrivateXServer {
public:
    ~PrivateXServer() { stop(); }

    // Returns what went wrong, or "" once the server accepts connections;
    // over TCP too (as "localhost" + name()) when asked, for a client that
    // must take it for a remote server.
    std::string start(bool overTcp = false) {
        std::string program = findProgram("Xvfb");
        if (program.empty()) return "Xvfb (Debian package xvfb)";
        int ends[2];
        if (pipe(ends) != 0) return "a pipe for Xvfb";
        fcntl(ends[0], F_SETFD, FD_CLOEXEC);
        pid_ = fork();
        if (pid_ == 0) {
            close(ends[0]);
            int quiet = open("/dev/null", O_RDWR);
            dup2(quiet, 0);
            dup2(quiet, 1);
            dup2(quiet, 2);
            std::string fd = std::to_string(ends[1]);
            execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24",
                  overTcp ? "-listen" : "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ends[1]);
        if (pid_ < 0) {
            close(ends[0]);
            return "fork for Xvfb";
        }
        // Xvfb writes the display number once it accepts connections.
        std::string number;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd fd{ends[0], POLLIN, 0};
            if (poll(&fd, 1, 200) <= 0) continue;
            char buffer[32];
            ssize_t got = read(ends[0], buffer, sizeof buffer);
            if (got <= 0) break;
            number.append(buffer, static_cast<size_t>(got));
        }
        close(ends[0]);
        if (number.find('\n') == std::string::npos) {
            stop();
            return "an Xvfb that starts (it did not report a display number within 20 s)";
        }
        name_ = ":" + number.substr(0, number.find('\n'));
        return "";
    }

    void stop(int signal = SIGTERM) {
        if (pid_ <= 0) return;
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace testsupport

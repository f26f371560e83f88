// The host on Linux: XDG folders, the subset's back ends and snapshot,
// and interrupts delivered through a pipe to a watcher thread.
#include "platform.h"

#include <win32subset.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace obsidel {

std::string defaultHomeFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/obsidel";
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/obsidel";
    return ".obsidel";
}

bool makeFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error || !std::filesystem::is_directory(path)) {
        std::fprintf(stderr, "obsidel: cannot use the folder %s: %s\n", path.c_str(),
                     error ? error.message().c_str() : "not a folder");
        return false;
    }
    return true;
}

char pathSeparator() { return '/'; }

const char* defaultModuleName() { return "vumira.so"; }

bool selectBackEnds(const std::string& display, const std::string& waveIn) {
    return Win32SubsetSetDisplay(display.c_str()) == 0 && Win32SubsetSetWaveIn(waveIn.c_str()) == 0;
}

bool writeScreenSnapshot(const std::string& path) { return Win32SubsetWriteScreenPng(path.c_str()) == 0; }

namespace {
int interruptPipe[2] = {-1, -1};

void onInterrupt(int) {
    char byte = 1;
    ssize_t ignored = write(interruptPipe[1], &byte, 1);
    (void)ignored;
}
}  // namespace

void closeOnInterrupt(HWND hostWindow) {
    if (pipe(interruptPipe) != 0) return;
    std::thread([hostWindow] {
        char byte;
        while (read(interruptPipe[0], &byte, 1) < 0 && errno == EINTR) {
        }
        PostMessageA(hostWindow, WM_CLOSE, 0, 0);
    }).detach();
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace obsidel

// The plug-in started inside the test program, with the real host's API
// and window, the Win32 subset on its headless display and a built-in
// signal as the recording device; what the tests observe of it.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "test_support.h"

namespace commandtest {

// Everything the process needs once: the display, the recording device and
// the host window. Fails the test when the program's folder holds an rc
// file, which the plug-in would take in place of the test's own.
void prepareProcess();

// The plug-in, started with an rc file in a fresh host folder holding
// `rcText`, through beginPlugin, or through beginSlitPlugin with `slit`
// when one is given; stopped when the object goes.
class StartedPlugin {
public:
    explicit StartedPlugin(const std::string& rcText, HWND slit = nullptr, const std::string& homeName = "home");
    ~StartedPlugin();
    StartedPlugin(const StartedPlugin&) = delete;
    StartedPlugin& operator=(const StartedPlugin&) = delete;

    const std::string& rcPath() const { return rcPath_; }
    HWND window() const;
    bool started() const { return result_ == 0; }

private:
    testsupport::TempDir folder_;
    std::string rcPath_;
    int result_ = 1;
};

// Every setting and runtime flag of the plug-in as text, by field name.
using Fields = std::map<std::string, std::string>;
Fields pluginFields();

// The rc file's keys (with their colon) and values.
std::map<std::string, std::string> rcEntries(const std::string& path);

// The host's status texts ("obsidel: TEXT" on standard error) printed
// while `action` ran, without the "obsidel: " in front.
template <typename Action>
std::vector<std::string> statusTextsDuring(Action action);
std::vector<std::string> statusLines(const std::string& log);

// Recording devices opened and closed so far, and the sample rate of the last opening.
struct CaptureCounts {
    int opened = 0;
    int closed = 0;
    unsigned lastRate = 0;
};
CaptureCounts captureCounts();

// A mark that only an applied window state removes: the window's layered
// attributes set to an alpha that the plug-in never uses.
void markWindowState(HWND window);
bool windowStateApplied(HWND window);

// Runs the messages waiting in this thread's queue.
void pumpMessages();

// Sends the host's broadcast as the host does.
void broadcast(const std::string& command);

template <typename Action>
std::vector<std::string> statusTextsDuring(Action action) {
    testing::internal::CaptureStderr();
    action();
    return statusLines(testing::internal::GetCapturedStderr());
}

}  // namespace commandtest

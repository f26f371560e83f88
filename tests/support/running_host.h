// A running obsidel program with a copy of the Vumira module, each in a
// temporary folder of its own, and clients that talk to it as a script
// would. One launcher per system: running_host_linux.cpp (the headless
// display, a tone for recording, the Unix-socket channel) and
// running_host_windows.cpp (obsidel.exe and vumira.dll under Wine, the
// WM_COPYDATA channel, a guard that closes any message box).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace testsupport {

struct Finished {
    int status = -1;  // exit status, or -1 when it did not end normally
    std::string out, err;  // line ends as "\n" on every system
};

class RunningHost;

struct HostSetup {
    bool slit = false;
    std::string rc;  // the rc file beside the module copy, when not empty
    // Another host whose command channel this one is pointed at (Linux: its
    // runtime folder), to see that the second leaves the requests to the first.
    const RunningHost* besideHost = nullptr;
    // Linux: give $XDG_RUNTIME_DIR; else only $TMPDIR, where the channel
    // falls back to a private folder.
    bool runtimeFolder = true;
    // Linux: the display the host draws on (--display).
    std::string display = "headless";
    // More host arguments, after the display and recording choices and before the module.
    std::vector<std::string> arguments;
};

class RunningHost {
public:
    explicit RunningHost(const HostSetup& setup = {});
    ~RunningHost();
    RunningHost(const RunningHost&) = delete;
    RunningHost& operator=(const RunningHost&) = delete;

    // Waits until the host has started its plug-ins and either takes
    // requests or has said why it does not.
    bool ready() const;
    // Ends the host as a person's "quit" would; its exit status.
    int stop();
    // The obsidel program as a client, with this host's environment.
    Finished run(const std::vector<std::string>& arguments) const;
    // Waits until the host's log holds `text` (at most `seconds`); false when it never did.
    bool logShows(const std::string& text, int seconds = 10) const;
    // Linux: sends the host a hang-up signal (SIGHUP); waits until the host
    // has ended by itself, giving its exit status.
    void hangUp() const;
    int waitUntilEnded();

    std::string home() const { return folder_.file("home"); }
    std::string moduleFolder() const { return folder_.file("module"); }
    std::string module() const;
    // Neither folder has an rc file at first, so it is made beside the module.
    std::string rcPath() const;
    std::string log() const { return readFile(folder_.file("host.log")); }
    std::string rc() const { return readFile(rcPath()); }
    // The message boxes the host showed, "caption: text" a line (Windows;
    // the Linux host's boxes go to its log).
    std::string boxes() const;
    // Linux: the folders the channel's socket may be in.
    std::string runtime() const { return folder_.file("runtime"); }
    std::string temporary() const { return folder_.file("tmp"); }

    struct Process;

private:
    TempDir folder_;
    HostSetup setup_;
    std::unique_ptr<Process> process_;
    int stopped_ = -1;
};

// The obsidel program as a client when no host runs, its output going to `folder`.
Finished runWithoutHost(const std::vector<std::string>& arguments, const TempDir& folder);
// Linux: the same with `variables` ("NAME=value") added to its environment.
Finished runWithoutHost(const std::vector<std::string>& arguments, const TempDir& folder,
                        const std::vector<std::string>& variables);

// A file of the test's own, installed beside the test program.
std::string besideTestProgram(const std::string& name);

// Whether `text` holds `line` as a whole line (a carriage return before a
// line feed, as the C runtime of Windows writes them, does not count).
inline bool hasLine(const std::string& text, const std::string& line) {
    std::string plain = "\n";
    for (char c : text)
        if (c != '\r') plain += c;
    return plain.find("\n" + line + "\n") != std::string::npos;
}

}  // namespace testsupport

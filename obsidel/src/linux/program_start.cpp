// OBExecute and the fallback editor on Linux. The program starts in a
// session of its own (so it outlives the host and takes none of the host's
// signals) and the host reaps it when it ends.
//
// OBExecute(owner, verb, program, arguments, directory, show, noErrorMessages):
//   - `program` is the file to run, looked up in $PATH when it has no slash;
//     when it names no file it is split as a command line, so that an
//     editor setting such as "emacsclient -n" works;
//   - `arguments` is split as a command line (command_words.h), without a shell;
//   - `directory`, when given, is the program's working folder;
//   - `owner`, `verb` and `show` have no meaning here and are ignored;
//   - returns a value above 32 when the program started, else 2 (the
//     program was not found) or 5 (it could not be started), and unless
//     `noErrorMessages` is set, says why on standard error;
//   - the editor that GetObsidelEditor gave is said in the status text when
//     it starts and when it fails (cannot start, ends with an error); a
//     terminal editor meant for the host's own terminal runs in a process
//     group of its own that is given the terminal until it ends (its Ctrl+C
//     is then not the host's); when GetObsidelEditor had
//     no editor to give (an empty program), a box names the file and how to
//     choose an editor.
#include <obsidel/api.h>
#include <win32subset.h>

#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "command_words.h"
#include "program_start.h"

extern char** environ;

namespace obsidel {
namespace {

constexpr std::intptr_t kStarted = 42;
constexpr std::intptr_t kFileNotFound = 2;
constexpr std::intptr_t kAccessDenied = 5;

bool isFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string folders = path;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        // An empty entry is the current folder.
        std::string folder = end > start ? folders.substr(start, end - start) : std::string(".");
        std::string candidate = folder + "/" + name;
        if (isFile(candidate) && access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

HINSTANCE result(std::intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

// Terminal programs that take the command to run after "-e", in the order tried.
constexpr const char* kTerminalEmulators[] = {"x-terminal-emulator", "xterm", "urxvt", "konsole", "alacritty"};

bool hasDesktop() {
    return (std::getenv("DISPLAY") && *std::getenv("DISPLAY")) ||
           (std::getenv("WAYLAND_DISPLAY") && *std::getenv("WAYLAND_DISPLAY"));
}

// The terminal is the host's to lend when the host runs in its foreground
// and does not draw in it itself.
bool ownTerminalIsFree() {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return false;
    if (std::strcmp(Win32SubsetDisplayName(), "term") == 0) return false;
    return tcgetpgrp(STDIN_FILENO) == getpgrp();
}

void showNoEditorBox(const char* file, const std::string& problem) {
    const std::string text = "Cannot open " + std::string(file && *file ? file : "the file") + ":\n" + problem +
                             ".\n\nChoose an editor with the VISUAL or EDITOR variable (for example "
                             "EDITOR=mousepad, or a terminal editor with a terminal program installed), then "
                             "pick Edit again.";
    // Also printed on standard error, as every box is.
    MessageBoxA(nullptr, text.c_str(), "Edit", MB_OK | MB_ICONINFORMATION);
}

std::string endingOf(int status) {
    if (WIFSIGNALED(status)) return "was stopped by signal " + std::to_string(WTERMSIG(status));
    return "ended with status " + std::to_string(WEXITSTATUS(status));
}

}  // namespace

EditorSurroundings currentEditorSurroundings() {
    EditorSurroundings around;
    around.ownTerminal = ownTerminalIsFree();
    around.graphical = hasDesktop();
    if (around.graphical) {
        if (const char* chosen = std::getenv("TERMINAL"); chosen && *chosen && onPath(chosen))
            around.terminalEmulator = chosen;
        for (const char* name : kTerminalEmulators)
            if (around.terminalEmulator.empty() && onPath(name)) around.terminalEmulator = name;
    }
    return around;
}

std::string fallbackEditor() {
    // On a desktop, the desktop's choice of application for the file.
    if (hasDesktop() && onPath("xdg-open")) return "xdg-open";
    return "vi";
}

}  // namespace obsidel

extern "C" HINSTANCE OBExecute(HWND, LPCSTR, LPCSTR program, LPCSTR arguments, LPCSTR directory, int,
                               int noErrorMessages) {
    using namespace obsidel;
    const EditorCommand editor = lastEditorChoice();
    const bool isEditor = program && !editor.command.empty() && editor.command == program;
    auto fail = [&](std::intptr_t code, const std::string& why) {
        const std::string text =
            std::string("cannot start ") + (program && *program ? program : "a program") + ": " + why;
        if (isEditor) reportProgram(text + " (choose an editor with VISUAL or EDITOR)");
        else if (!noErrorMessages) {
            std::fprintf(stderr, "obsidel: %s\n", text.c_str());
            std::fflush(stderr);
        }
        return result(code);
    };
    if (!program || !*program) {
        if (!editor.problem.empty()) {
            rememberEditorChoice({});
            showNoEditorBox(arguments, editor.problem);
            return result(kFileNotFound);
        }
        return fail(kFileNotFound, "no program was named");
    }

    std::vector<std::string> words;
    std::string name = program;
    if (isFile(name) || (name.find('/') == std::string::npos && onPath(name)))
        words.push_back(name);
    else
        words = splitCommandLine(name);
    if (words.empty()) return fail(kFileNotFound, "no program was named");
    if (arguments)
        for (auto& word : splitCommandLine(arguments)) words.push_back(std::move(word));

    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attributes);
    // A terminal editor in the host's own terminal gets a process group of
    // its own that is given the terminal (so that its Ctrl+C is not the
    // host's); anything else gets a session of its own.
    const bool takesTerminal = isEditor && editor.inOwnTerminal;
    if (takesTerminal) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    } else {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    }
    posix_spawn_file_actions_init(&actions);
    if (directory && *directory) posix_spawn_file_actions_addchdir_np(&actions, directory);
    pid_t child = 0;
    int error = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return fail(error == ENOENT ? kFileNotFound : kAccessDenied,
                    std::string(argv[0]) + ": " + std::strerror(error));

    if (takesTerminal) {
        tcsetpgrp(STDIN_FILENO, child);
        kill(child, SIGCONT);  // it may have touched the terminal before it was its own, and been stopped
    }
    if (isEditor) reportProgram("opening " + std::string(arguments ? arguments : "") + " with " + program);
    // Nobody else waits for it: reap it when it ends, so it leaves no zombie.
    std::thread([child, isEditor, takesTerminal, name = std::string(program)] {
        int status = 0;
        pid_t ended = 0;
        while ((ended = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
        }
        if (takesTerminal) {
            // The terminal back to the host, which is no longer in front: allowed while SIGTTOU is blocked.
            sigset_t blocked;
            sigemptyset(&blocked);
            sigaddset(&blocked, SIGTTOU);
            pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
            tcsetpgrp(STDIN_FILENO, getpgrp());
        }
        const bool failed = ended == child && (WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status)));
        if (isEditor && failed)
            reportProgram("the editor \"" + name + "\" " + endingOf(status) + " (choose another with VISUAL or EDITOR)");
    }).detach();
    return result(kStarted);
}

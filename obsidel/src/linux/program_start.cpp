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
//     `noErrorMessages` is set, says why on standard error.
#include <obsidel/api.h>

#include <spawn.h>
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

}  // namespace

std::string fallbackEditor() {
    // On a desktop, the desktop's choice of application for the file.
    bool graphical = (std::getenv("DISPLAY") && *std::getenv("DISPLAY")) ||
                     (std::getenv("WAYLAND_DISPLAY") && *std::getenv("WAYLAND_DISPLAY"));
    if (graphical && onPath("xdg-open")) return "xdg-open";
    return "vi";
}

}  // namespace obsidel

extern "C" HINSTANCE OBExecute(HWND, LPCSTR, LPCSTR program, LPCSTR arguments, LPCSTR directory, int,
                               int noErrorMessages) {
    using namespace obsidel;
    auto fail = [&](std::intptr_t code, const std::string& why) {
        if (!noErrorMessages) {
            std::fprintf(stderr, "obsidel: cannot start %s: %s\n", program && *program ? program : "a program",
                         why.c_str());
            std::fflush(stderr);
        }
        return result(code);
    };
    if (!program || !*program) return fail(kFileNotFound, "no program was named");

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
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_init(&actions);
    if (directory && *directory) posix_spawn_file_actions_addchdir_np(&actions, directory);
    pid_t child = 0;
    int error = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return fail(error == ENOENT ? kFileNotFound : kAccessDenied,
                    std::string(argv[0]) + ": " + std::strerror(error));

    // Nobody else waits for it: reap it when it ends, so it leaves no zombie.
    std::thread([child] {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return result(kStarted);
}

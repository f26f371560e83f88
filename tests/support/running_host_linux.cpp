// The running host on Linux: the obsidel program built beside the tests,
// started with posix_spawn on the headless display (unless the setup names
// another) with a tone to record, in an environment without the variables
// that choose folders, displays and devices; its command channel is a Unix socket in the runtime folder.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "running_host.h"

extern char** environ;

namespace testsupport {
namespace {

namespace fs = std::filesystem;

using Variables = std::map<std::string, std::string>;

std::vector<std::string> environmentWith(const Variables& extra) {
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

pid_t startObsidel(const std::vector<std::string>& arguments, const Variables& variables, const std::string& outPath,
                   const std::string& errPath) {
    std::vector<std::string> words{OBSIDEL_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = environmentWith(variables);
    std::vector<char*> argv, envp;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (auto& variable : environment) envp.push_back(variable.data());
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

int exitStatus(pid_t child) {
    if (child < 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Finished runClient(const std::vector<std::string>& arguments, const Variables& variables, const TempDir& folder) {
    Finished finished;
    std::string out = folder.file("client.out"), err = folder.file("client.err");
    finished.status = exitStatus(startObsidel(arguments, variables, out, err));
    finished.out = readFile(out);
    finished.err = readFile(err);
    return finished;
}

}  // namespace

struct RunningHost::Process {
    pid_t pid = -1;
    Variables variables;
};

RunningHost::RunningHost(const HostSetup& setup) : setup_(setup), process_(std::make_unique<Process>()) {
    fs::create_directories(home());
    fs::create_directories(moduleFolder());
    fs::create_directories(runtime());
    fs::create_directories(temporary());
    chmod(runtime().c_str(), 0700);
    fs::copy_file(VUMIRA_MODULE, module());
    if (!setup.rc.empty()) writeFile(rcPath(), setup.rc);
    if (setup.runtimeFolder)
        process_->variables["XDG_RUNTIME_DIR"] = setup.besideHost ? setup.besideHost->runtime() : runtime();
    process_->variables["TMPDIR"] = temporary();
    process_->variables["VISUAL"] = "true";

    std::vector<std::string> arguments{"--home", home(), "--display", setup.display, "--wave-in", "tone:440"};
    if (setup.slit) arguments.push_back("--slit");
    arguments.insert(arguments.end(), setup.arguments.begin(), setup.arguments.end());
    arguments.push_back(module());
    process_->pid = startObsidel(arguments, process_->variables, folder_.file("host.out"), folder_.file("host.log"));
}

RunningHost::~RunningHost() { stop(); }

std::string RunningHost::module() const {
    return moduleFolder() + "/" + fs::path(VUMIRA_MODULE).filename().string();
}
std::string RunningHost::rcPath() const { return moduleFolder() + "/Vumira.rc"; }
std::string RunningHost::boxes() const { return ""; }

bool RunningHost::ready() const {
    // The channel's socket is there, or the host said why it takes no requests.
    const std::string folder = setup_.runtimeFolder ? process_->variables.at("XDG_RUNTIME_DIR")
                                                    : temporary() + "/obsidel-" + std::to_string(getuid());
    for (int i = 0; i < 3000; ++i) {
        if (log().find("takes no remote commands") != std::string::npos) return true;
        if (!setup_.besideHost && fs::exists(folder + "/obsidel.socket")) return true;
        if (process_->pid < 0 || waitpid(process_->pid, nullptr, WNOHANG) != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int RunningHost::stop() {
    if (process_->pid <= 0) return stopped_;
    kill(process_->pid, SIGTERM);  // as Ctrl+C or a session's end would
    stopped_ = exitStatus(process_->pid);
    process_->pid = -1;
    return stopped_;
}

Finished RunningHost::run(const std::vector<std::string>& arguments) const {
    return runClient(arguments, process_->variables, folder_);
}

void RunningHost::hangUp() const {
    if (process_->pid > 0) kill(process_->pid, SIGHUP);
}

bool RunningHost::logShows(const std::string& text, int seconds) const {
    for (int i = 0; i < seconds * 100; ++i) {
        if (log().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int RunningHost::waitUntilEnded() {
    if (process_->pid <= 0) return stopped_;
    stopped_ = exitStatus(process_->pid);
    process_->pid = -1;
    return stopped_;
}

Finished runWithoutHost(const std::vector<std::string>& arguments, const TempDir& folder) {
    return runWithoutHost(arguments, folder, {});
}

Finished runWithoutHost(const std::vector<std::string>& arguments, const TempDir& folder,
                        const std::vector<std::string>& variables) {
    fs::create_directories(folder.file("runtime"));
    Variables all{{"XDG_RUNTIME_DIR", folder.file("runtime")}};
    for (const auto& variable : variables) {
        const size_t equals = variable.find('=');
        all[variable.substr(0, equals)] = variable.substr(equals + 1);
    }
    return runClient(arguments, all, folder);
}

std::string besideTestProgram(const std::string& name) {
    return (fs::read_symlink("/proc/self/exe").parent_path() / name).string();
}

}  // namespace testsupport

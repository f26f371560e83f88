// The running host on Windows (and under Wine): obsidel.exe and vumira.dll
// built beside the test program, started with CreateProcess; its command
// channel is WM_COPYDATA to the main window of the host that marked it as
// taking requests. A message box would wait for a person, so a guard
// closes any that the host shows and keeps what it said.
#include <windows.h>

#include <filesystem>

#include "message_box_guard.h"
#include "running_host.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kStartDeadlineMs = 30000;
constexpr DWORD kExitDeadlineMs = 30000;

fs::path buildFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

std::string quoted(const std::string& word) { return "\"" + word + "\""; }

HANDLE inheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &security, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

PROCESS_INFORMATION startObsidel(const std::vector<std::string>& arguments, const std::string& outPath,
                                 const std::string& errPath) {
    std::string commandLine = quoted((buildFolder() / "obsidel.exe").string());
    for (const auto& argument : arguments) commandLine += ' ' + quoted(argument);
    HANDLE out = inheritableFile(outPath);
    HANDLE err = inheritableFile(errPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
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

// The C runtime of Windows ends lines with a carriage return.
std::string withPlainLineEnds(const std::string& text) {
    std::string plain;
    for (char c : text)
        if (c != '\r') plain += c;
    return plain;
}

Finished runClient(const std::vector<std::string>& arguments, const TempDir& folder) {
    Finished finished;
    std::string out = folder.file("client.out"), err = folder.file("client.err");
    PROCESS_INFORMATION client = startObsidel(arguments, out, err);
    finished.status = waitForExit(client, kExitDeadlineMs);
    finished.out = withPlainLineEnds(readFile(out));
    finished.err = withPlainLineEnds(readFile(err));
    return finished;
}

}  // namespace

struct RunningHost::Process {
    PROCESS_INFORMATION info{};
    std::unique_ptr<winetest::MessageBoxGuard> boxes;
};

RunningHost::RunningHost(const HostSetup& setup) : setup_(setup), process_(std::make_unique<Process>()) {
    fs::create_directories(home());
    fs::create_directories(moduleFolder());
    fs::copy_file(buildFolder() / "vumira.dll", module());
    if (!setup.rc.empty()) writeFile(rcPath(), setup.rc);
    std::vector<std::string> arguments{"--home", home()};
    if (setup.slit) arguments.push_back("--slit");
    arguments.insert(arguments.end(), setup.arguments.begin(), setup.arguments.end());
    arguments.push_back(module());
    process_->info = startObsidel(arguments, folder_.file("host.out"), folder_.file("host.log"));
    process_->boxes = std::make_unique<winetest::MessageBoxGuard>(process_->info.dwProcessId);
}

RunningHost::~RunningHost() { stop(); }

std::string RunningHost::module() const { return (fs::path(moduleFolder()) / "vumira.dll").string(); }
std::string RunningHost::rcPath() const { return (fs::path(moduleFolder()) / "Vumira.rc").string(); }
std::string RunningHost::boxes() const { return process_->boxes->describe(); }

bool RunningHost::ready() const {
    const PROCESS_INFORMATION& host = process_->info;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kStartDeadlineMs) {
        if (!host.hProcess || WaitForSingleObject(host.hProcess, 0) == WAIT_OBJECT_0) return false;
        // The host opens its channel (or says why it does not) once its plug-ins have started.
        HWND main = windowOf(host.dwProcessId, "ObsidelHost");
        if (main &&
            (GetPropA(main, "ObsidelTakesRequests") || log().find("takes no remote commands") != std::string::npos))
            return true;
        Sleep(20);
    }
    return false;
}

int RunningHost::stop() {
    PROCESS_INFORMATION& host = process_->info;
    if (!host.hProcess) return stopped_;
    if (HWND main = windowOf(host.dwProcessId, "ObsidelHost")) PostMessageA(main, WM_CLOSE, 0, 0);
    stopped_ = waitForExit(host, kExitDeadlineMs);
    return stopped_;
}

Finished RunningHost::run(const std::vector<std::string>& arguments) const { return runClient(arguments, folder_); }

bool RunningHost::logShows(const std::string& text, int seconds) const {
    for (int i = 0; i < seconds * 50; ++i) {
        if (log().find(text) != std::string::npos) return true;
        Sleep(20);
    }
    return false;
}

Finished runWithoutHost(const std::vector<std::string>& arguments, const TempDir& folder) {
    return runClient(arguments, folder);
}

std::string besideTestProgram(const std::string& name) { return (buildFolder() / name).string(); }

}  // namespace testsupport

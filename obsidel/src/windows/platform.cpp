// The host on Windows: the user's application-data folder, the real
// system's display and devices, and console interrupts.
#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "back_end_choice.h"

namespace obsidel {

std::string defaultHomeFolder() {
    if (const char* appData = std::getenv("APPDATA"); appData && *appData) return std::string(appData) + "\\Obsidel";
    return ".\\Obsidel";
}

bool makeFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error || !std::filesystem::is_directory(path)) {
        std::fprintf(stderr, "obsidel: cannot use the folder %s\n", path.c_str());
        return false;
    }
    return true;
}

char pathSeparator() { return '\\'; }

const char* defaultModuleName() { return "vumira.dll"; }

bool displayShowsWindows() { return true; }

void showMessageBoxesAsWindows() {}

// Windows keeps desktops for the user, not for programs: the host keeps its
// record and nothing else changes.
void keepOnEveryDesktop(HWND, bool) {}

int selectBackEnds(const HostChoices& choices, std::string&) {
    for (const Choice* choice : {&choices.display, &choices.waveIn}) {
        if (const std::string origin = choice->originText(); !origin.empty())
            std::fprintf(stderr, "obsidel: %s (%s) chooses a Linux back end; Windows uses its own\n",
                         choice->value.c_str(), origin.c_str());
    }
    std::string line = "the Windows desktop; recording from Windows' default recording device (to record what is "
                       "playing, make \"Stereo Mix\" the default in the Sound settings' Recording tab)";
    if (const std::string style = describeStyleChoice(choices.style); !style.empty()) line += "; " + style;
    std::fprintf(stderr, "obsidel: %s\n", line.c_str());
    return 0;
}

bool writeScreenSnapshot(const std::string& path) {
    std::fprintf(stderr, "obsidel: --snapshot is not available on Windows (%s not written)\n", path.c_str());
    return false;
}

namespace {
HWND windowToClose = nullptr;

BOOL WINAPI onConsoleEvent(DWORD) {
    PostMessageA(windowToClose, WM_CLOSE, 0, 0);
    return TRUE;
}
}  // namespace

void handleSignals(HWND hostWindow) {
    windowToClose = hostWindow;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace obsidel

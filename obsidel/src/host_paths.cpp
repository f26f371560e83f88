#include "host_paths.h"

#include <obsidel/api.h>

#include <cstring>

#include "file_text.h"
#include "platform.h"

namespace obsidel {
namespace {
std::string home;
}

void setHomeFolder(const std::string& folder) { home = folder; }

const std::string& homeFolder() {
    if (home.empty()) home = defaultHomeFolder();
    return home;
}

std::string homeFile(const std::string& name) { return homeFolder() + pathSeparator() + name; }

std::string programFolder() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string program(path, length < MAX_PATH ? length : 0);
    size_t cut = program.find_last_of("/\\");
    return cut == std::string::npos ? std::string(".") : program.substr(0, cut);
}

std::string defaultModulePath() {
    const std::string separator(1, pathSeparator());
    const std::string beside = programFolder() + separator + defaultModuleName();
    const std::string installed = programFolder() + separator + ".." + separator + "lib" + separator + "obsidel" +
                                  separator + defaultModuleName();
    if (isReadableFile(beside) || !isReadableFile(installed)) return beside;
    return installed;
}

}  // namespace obsidel

// The host's own settings file in its folder: callers cut it at the last
// separator to find the folder.
extern "C" LPSTR GetObsidelPath(LPSTR buffer, int size) {
    if (!buffer || size <= 0) return buffer;
    std::string path = obsidel::homeFile("obsidel.rc");
    size_t length = path.size() < static_cast<size_t>(size) ? path.size() : static_cast<size_t>(size) - 1;
    std::memcpy(buffer, path.data(), length);
    buffer[length] = '\0';
    return buffer;
}

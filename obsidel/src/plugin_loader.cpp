#include "plugin_loader.h"

#include <cstdio>
#include <vector>

namespace obsidel {
namespace {

using BeginPlugin = int (*)(HINSTANCE);
using BeginSlitPlugin = int (*)(HINSTANCE, HWND);
using EndPlugin = void (*)(HINSTANCE);

struct Plugin {
    std::string path;
    HMODULE module;
    EndPlugin end;
};
std::vector<Plugin> plugins;

template <typename Function>
Function entryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool loadPlugin(const std::string& path, HWND slit) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        std::fprintf(stderr, "obsidel: cannot load the plug-in %s (error %lu)\n", path.c_str(),
                     static_cast<unsigned long>(GetLastError()));
        return false;
    }
    auto begin = entryPoint<BeginPlugin>(module, "beginPlugin");
    auto beginSlit = entryPoint<BeginSlitPlugin>(module, "beginSlitPlugin");
    auto end = entryPoint<EndPlugin>(module, "endPlugin");
    if (!begin || !end) {
        std::fprintf(stderr, "obsidel: %s is not a plug-in: it lacks beginPlugin or endPlugin\n", path.c_str());
        FreeLibrary(module);
        return false;
    }
    int failed = slit && beginSlit ? beginSlit(module, slit) : begin(module);
    if (failed) {
        std::fprintf(stderr, "obsidel: the plug-in %s did not start\n", path.c_str());
        // Whatever the failed start created stays with the module: stop it
        // as a started one would be, so nothing is left behind.
        end(module);
        FreeLibrary(module);
        return false;
    }
    plugins.push_back({path, module, end});
    return true;
}

void unloadPlugins() {
    while (!plugins.empty()) {
        Plugin plugin = plugins.back();
        plugins.pop_back();
        plugin.end(plugin.module);
        FreeLibrary(plugin.module);
    }
}

}  // namespace obsidel

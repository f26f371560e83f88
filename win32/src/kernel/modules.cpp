// Modules: LoadLibraryA, GetProcAddress, FreeLibrary, GetModuleHandleA,
// GetModuleFileNameA, GetCurrentProcess.
//
// An HMODULE is the module's load base, the address that dladdr reports as
// dli_fbase for any address inside it, so that GetModuleFileNameA finds the
// file from it whoever loaded the module. A module handle of NULL means the
// program itself. FreeLibrary of a module's last reference first keeps
// every wave-in device from calling back into it (a device a timed-out stop
// left open would otherwise run unloaded code); a callback that does not
// return within a few seconds keeps the module loaded.
#include <windows.h>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "internal/module_unload.h"
#include "kernel/last_error.h"

namespace {

struct LoadedObject {
    uintptr_t base = 0;
    std::string path;
};

// The lowest loaded segment of an object is where its ELF header sits:
// that is the base dladdr reports.
uintptr_t objectBase(const dl_phdr_info* info) {
    uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& segment = info->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && segment.p_vaddr < lowest) lowest = segment.p_vaddr;
    }
    if (lowest == UINTPTR_MAX) lowest = 0;
    return info->dlpi_addr + (lowest & ~static_cast<uintptr_t>(sysconf(_SC_PAGESIZE) - 1));
}

std::string programPath() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    return std::string(path, static_cast<size_t>(length));
}

// Calls `visit` for every loaded object (the program first) until it returns true.
template <typename Visit>
bool forEachObject(Visit visit) {
    struct Context {
        Visit* visit;
        bool first = true;
        bool stopped = false;
    } context{&visit};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* ctx = static_cast<Context*>(data);
            LoadedObject object{objectBase(info), info->dlpi_name ? info->dlpi_name : ""};
            if (ctx->first) object.path = programPath();
            ctx->first = false;
            if ((*ctx->visit)(object)) {
                ctx->stopped = true;
                return 1;
            }
            return 0;
        },
        &context);
    return context.stopped;
}

LoadedObject programObject() {
    LoadedObject program;
    forEachObject([&](const LoadedObject& object) {
        program = object;
        return true;
    });
    return program;
}

bool findObject(uintptr_t base, LoadedObject& found) {
    return forEachObject([&](const LoadedObject& object) {
        if (object.base != base) return false;
        found = object;
        return true;
    });
}

const char* baseName(const std::string& path) {
    const char* cut = std::strrchr(path.c_str(), '/');
    return cut ? cut + 1 : path.c_str();
}

// dlopen handles of the modules loaded through LoadLibraryA, by base, with
// the number of loads still to be freed.
struct Loaded {
    void* handle;
    int references;
};
std::mutex loadedLock;
std::map<uintptr_t, Loaded>& loadedModules() {
    static std::map<uintptr_t, Loaded> modules;
    return modules;
}

}  // namespace

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(subset::kErrorInvalidParameter);
        return nullptr;
    }
    void* handle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        SetLastError(subset::kErrorModNotFound);
        return nullptr;
    }
    link_map* map = nullptr;
    Dl_info info{};
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !dladdr(map->l_ld, &info) || !info.dli_fbase) {
        dlclose(handle);
        SetLastError(subset::kErrorModNotFound);
        return nullptr;
    }
    auto base = reinterpret_cast<uintptr_t>(info.dli_fbase);
    std::lock_guard<std::mutex> hold(loadedLock);
    auto [entry, inserted] = loadedModules().try_emplace(base, Loaded{handle, 0});
    if (!inserted) dlclose(handle);  // dlopen counted it twice; one handle is kept
    ++entry->second.references;
    return reinterpret_cast<HMODULE>(base);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    const auto base = reinterpret_cast<uintptr_t>(module);
    void* unloading = nullptr;
    {
        std::lock_guard<std::mutex> hold(loadedLock);
        auto found = loadedModules().find(base);
        if (found == loadedModules().end()) {
            SetLastError(subset::kErrorModNotFound);
            return FALSE;
        }
        if (--found->second.references > 0) return TRUE;
        unloading = found->second.handle;
        loadedModules().erase(found);
    }
    // Outside the lock: a callback that is let finish may load or look up modules.
    if (!subset::wavein::releaseCallbacksInto(base)) {
        std::fprintf(stderr, "win32subset: a wave-in callback of the module is still running; the module stays "
                             "loaded\n");
        return TRUE;
    }
    dlclose(unloading);
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    void* handle = nullptr;
    bool opened = false;
    {
        std::lock_guard<std::mutex> hold(loadedLock);
        auto found = loadedModules().find(reinterpret_cast<uintptr_t>(module));
        if (found != loadedModules().end()) handle = found->second.handle;
    }
    if (!handle) {
        // A module that another part of the program loaded: look it up by file.
        LoadedObject object;
        if (!module) object = programObject();
        else if (!findObject(reinterpret_cast<uintptr_t>(module), object)) {
            SetLastError(subset::kErrorModNotFound);
            return nullptr;
        }
        handle = dlopen(module ? object.path.c_str() : nullptr, RTLD_NOW | RTLD_NOLOAD);
        opened = handle != nullptr;
    }
    void* symbol = handle && procName ? dlsym(handle, procName) : nullptr;
    if (opened) dlclose(handle);
    if (!symbol) {
        SetLastError(subset::kErrorProcNotFound);
        return nullptr;
    }
    FARPROC proc;
    static_assert(sizeof proc == sizeof symbol);
    std::memcpy(&proc, &symbol, sizeof proc);
    return proc;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
    if (!moduleName) return reinterpret_cast<HMODULE>(programObject().base);
    std::string wanted = moduleName;
    LoadedObject match;
    bool found = forEachObject([&](const LoadedObject& object) {
        if (object.path.empty()) return false;
        const char* name = baseName(object.path);
        if (wanted != name && wanted + ".so" != name) return false;
        match = object;
        return true;
    });
    if (!found) {
        SetLastError(subset::kErrorModNotFound);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(match.base);
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    LoadedObject object;
    if (!module) object = programObject();
    else if (!findObject(reinterpret_cast<uintptr_t>(module), object)) {
        SetLastError(subset::kErrorModNotFound);
        return 0;
    }
    if (!fileName || size == 0) {
        SetLastError(subset::kErrorInsufficientBuffer);
        return 0;
    }
    // As on Windows: a path that does not fit is cut, terminated, and the
    // full buffer size is returned with ERROR_INSUFFICIENT_BUFFER.
    size_t length = object.path.size();
    if (length >= size) {
        std::memcpy(fileName, object.path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(subset::kErrorInsufficientBuffer);
        return size;
    }
    std::memcpy(fileName, object.path.c_str(), length + 1);
    return static_cast<DWORD>(length);
}

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

}  // extern "C"

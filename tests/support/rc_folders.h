// A plug-in module path and a host home of the test's choosing: a copy of a
// small module in a temporary "module" folder, loaded, and the host's home
// set to a temporary "home" folder.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "config/plugin_state.h"
#include "host_paths.h"
#include "test_support.h"

// A path written with the system's own separators, so that paths built here
// with "/" compare with those the plug-in builds ("\\" on Windows).
inline std::string nativePath(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

class RcFolders : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(moduleDir());
        std::filesystem::create_directories(homeDir());
        // The copy keeps the fixture's own extension (.so, or .dll on Windows).
        const std::string copy =
            moduleDir() + "/plugin_copy" + std::filesystem::path(STAND_IN_MODULE).extension().string();
        std::filesystem::copy_file(STAND_IN_MODULE, copy);
        module_ = LoadLibraryA(copy.c_str());
        ASSERT_NE(module_, nullptr);
        vumira::plugin.moduleInstance = module_;
        obsidel::setHomeFolder(homeDir());
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    std::string moduleDir() const { return dir_.file("module"); }
    std::string homeDir() const { return dir_.file("home"); }
    std::string besideModule(const char* name) const { return moduleDir() + "/" + name; }
    std::string inHome(const char* name) const { return homeDir() + "/" + name; }

    testsupport::TempDir dir_;
    HMODULE module_ = nullptr;
};

// Where the first write of the rc file goes when the module's folder cannot
// take new files (an installation for all users): the host's folder; and
// the search for an existing rc file keeps its order all the same.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "config/plugin_state.h"
#include "config/settings.h"
#include "rc_folders.h"

namespace {

using testsupport::writeFile;
using vumira::plugin;

// Whether a new file can be made in `folder` by this process.
bool takesNewFiles(const std::string& folder) {
    const std::string probe = folder + "/.probe";
    const int descriptor = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (descriptor < 0) return false;
    close(descriptor);
    unlink(probe.c_str());
    return true;
}

// The immutable flag of a folder (root writes past its mode, not past this).
bool setImmutable(const std::string& folder, bool on) {
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor < 0) return false;
    int flags = 0;
    bool done = ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
    close(descriptor);
    return done;
}

class RcLocation : public RcFolders {
protected:
    // Makes the module's folder refuse new files, as /usr/lib/obsidel does to its users.
    void lockModuleFolder() {
        chmod(moduleDir().c_str(), 0555);
        if (takesNewFiles(moduleDir())) immutable_ = setImmutable(moduleDir(), true);
        SKIP_OR_FAIL_WITHOUT(!takesNewFiles(moduleDir()), "a folder that this process cannot write (as root: the "
                                                          "immutable flag of the file system)");
    }
    void TearDown() override {
        if (immutable_) setImmutable(moduleDir(), false);
        chmod(moduleDir().c_str(), 0755);
        RcFolders::TearDown();
    }
    bool immutable_ = false;
};

TEST_F(RcLocation, WithoutAnRcFileTheFirstWriteGoesToTheHostsFolderWhenTheModulesRefusesIt) {
    lockModuleFolder();
    if (IsSkipped() || HasFatalFailure()) return;
    vumira::loadSettings();
    EXPECT_EQ(nativePath(plugin.rcPath), nativePath(inHome("Vumira.rc")));

    WriteInt(plugin.rcPath, "Vumira.plugin.wave.fps:", 30);
    EXPECT_EQ(testsupport::readFile(inHome("Vumira.rc")), "Vumira.plugin.wave.fps: 30\n");
    // The probe that found out leaves nothing behind.
    EXPECT_FALSE(std::filesystem::exists(besideModule("Vumira.rc.probe")));
}

TEST_F(RcLocation, AWritableModuleFolderStillTakesTheFirstWrite) {
    vumira::loadSettings();
    EXPECT_EQ(nativePath(plugin.rcPath), nativePath(besideModule("Vumira.rc")));
    EXPECT_FALSE(std::filesystem::exists(besideModule("Vumira.rc.probe")));
}

TEST_F(RcLocation, AnRcFileBesideALockedModuleIsStillReadFirst) {
    struct Case {
        const char* name;
        const char* besideModule;  // made before the folder is locked, or none
        const char* inHome;
        const char* winner;
    };
    const Case cases[] = {
        {"Vumira.rc beside the module wins over the host's folder", "Vumira.rc", "Vumirarc", "module/Vumira.rc"},
        {"Vumirarc beside the module wins", "Vumirarc", "Vumira.rc", "module/Vumirarc"},
        {"else the host folder's Vumirarc", nullptr, "Vumirarc", "home/Vumirarc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (immutable_) setImmutable(moduleDir(), false);
        chmod(moduleDir().c_str(), 0755);
        for (const char* folder : {"module", "home"})
            for (const char* file : {"Vumirarc", "Vumira.rc"}) std::filesystem::remove(dir_.file(folder) + "/" + file);
        if (c.besideModule) writeFile(moduleDir() + "/" + c.besideModule, "Vumira.plugin.wave.fps: 40\n");
        writeFile(homeDir() + "/" + c.inHome, "Vumira.plugin.wave.fps: 50\n");
        lockModuleFolder();
        if (IsSkipped() || HasFatalFailure()) return;
        vumira::loadSettings();
        EXPECT_EQ(nativePath(plugin.rcPath), nativePath(dir_.file(c.winner)));
        EXPECT_EQ(plugin.frameIntervalMs.load(), c.besideModule ? 1000 / 40 : 1000 / 50);
    }
}

}  // namespace

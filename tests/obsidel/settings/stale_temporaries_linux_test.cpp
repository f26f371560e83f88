// The temporary files of the settings store's atomic writes on Linux.
#include <obsidel/api.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

// A writer killed half-way leaves its temporary file (NAME.tmp-PID-XXXXXX)
// behind; the first write of a later process removes those of its own file
// whose writer is gone (even when its write changes nothing), and leaves a
// live writer's and every other file.
TEST(SettingsStore, TheFirstWriteRemovesTemporaryFilesOfEndedWriters) {
    TempDir dir;
    const pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
    const std::string dead = std::to_string(ended);
    const std::string alive = std::to_string(getpid());

    const std::string rc = dir.file("Vumira.rc");
    writeFile(rc, "a.number: 1\n");
    const std::vector<std::string> removed = {"Vumira.rc.tmp-" + dead + "-a1b2c3"};
    const std::vector<std::string> kept = {
        "Vumira.rc.tmp-" + alive + "-d4e5f6",   // a live writer's
        "Other.rc.tmp-" + dead + "-a1b2c3",     // another file's
        "Vumira.rc.tmp-x-a1b2c3",               // no process id
        "Vumira.rc.old",
    };
    for (const auto& name : removed) writeFile(dir.file(name), "a.num");
    for (const auto& name : kept) writeFile(dir.file(name), "a.num");

    // A write of the value the file holds already replaces nothing, and still cleans.
    WriteInt(rc.c_str(), "a.number:", 1);
    EXPECT_EQ(readFile(rc), "a.number: 1\n");
    for (const auto& name : removed) EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
    for (const auto& name : kept) EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;
}

}  // namespace

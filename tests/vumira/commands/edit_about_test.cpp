// The two commands that reach outside the plug-in: Edit starts the user's
// editor on the rc file, About shows the plug-in's identity.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <win32subset.h>

#include "plugin_fixture.h"

namespace {

TEST(About, ShowsTheIdentityInAnInformationBox) {
    commandtest::StartedPlugin plugin("");
    Win32SubsetClearMessageBoxes();
    for (const char* command : {"@VumiraInternal About", "@vumirainternalabout"}) commandtest::broadcast(command);
    ASSERT_EQ(Win32SubsetMessageBoxCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(Win32SubsetMessageBoxCaption(i), "About this plugin...");
        EXPECT_STREQ(Win32SubsetMessageBoxText(i),
                     "Vumira 0.1.0\n\nAuthor : The Vumira developers\nWeb: https://vumira.invalid/\n"
                     "Email: developers@vumira.invalid");
        EXPECT_EQ(Win32SubsetMessageBoxType(i), 0x40u);
    }
}

TEST(Edit, StartsTheEditorWithTheRcFileAsOneArgument) {
    testsupport::TempDir tools;
    std::string record = tools.file("arguments.txt");
    std::string editor = tools.file("editor");
    testsupport::writeFile(editor,
                           "#!/bin/sh\n"
                           "{ echo $#; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"" + record +
                               ".part\"\n"
                               "mv \"" + record + ".part\" \"" + record + "\"\n");
    chmod(editor.c_str(), 0755);
    const char* old = std::getenv("VISUAL");
    std::string previous = old ? old : "";
    setenv("VISUAL", editor.c_str(), 1);
    {
        // A folder name with a blank and a quote, as a user's may have.
        commandtest::StartedPlugin plugin("", nullptr, "my \"home\" folder");
        commandtest::broadcast("@VumiraInternal Edit");
        for (int i = 0; i < 500 && access(record.c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(testsupport::readFile(record), "1\n" + plugin.rcPath() + "\n");
    }
    if (old)
        setenv("VISUAL", previous.c_str(), 1);
    else
        unsetenv("VISUAL");
}

}  // namespace

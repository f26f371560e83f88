// How the host starts other programs for plug-ins: the argument text split
// into words, GetObsidelEditor's choice, and OBExecute with a real program.
#include <gtest/gtest.h>

#include <obsidel/api.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "command_words.h"
#include "test_support.h"

namespace {

using Words = std::vector<std::string>;

TEST(CommandWords, SplitAsTheWindowsCommandLineIsSplit) {
    struct Case {
        const char* text;
        Words words;
    };
    const Case cases[] = {
        {"", {}},
        {"  \t ", {}},
        {"a b  c", {"a", "b", "c"}},
        {"a\tb", {"a", "b"}},
        {" lead trail ", {"lead", "trail"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"x \"\" y", {"x", "", "y"}},
        {"\"a\"\"b\"", {"a\"b"}},
        {"\\\"x\\\"", {"\"x\""}},          // \"x\"  -> "x"
        {"a\\\\b", {"a\\\\b"}},             // backslashes alone are plain
        {"\"a\\\\\"", {"a\\"}},             // "a\\"  -> a\ and the quote closes
        {"a\\\\\\\"b", {"a\\\"b"}},         // a\\\"b -> a\"b
        {"C:\\Program Files\\x", {"C:\\Program", "Files\\x"}},
        {"\"C:\\Program Files\\x\"", {"C:\\Program Files\\x"}},
        {"\"unclosed quote", {"unclosed quote"}},
    };
    for (const Case& c : cases) EXPECT_EQ(obsidel::splitCommandLine(c.text), c.words) << "text: " << c.text;
}

// Sets or removes an environment variable for one test, then restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string editor() {
    char buffer[MAX_PATH];
    std::memset(buffer, '?', sizeof buffer);
    EXPECT_EQ(GetObsidelEditor(buffer), buffer);
    return buffer;
}

TEST(ObsidelEditor, VisualThenEditorThenTheFallback) {
    ScopedEnvironment noDisplay("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr);
    {
        ScopedEnvironment visual("VISUAL", "my-visual --wait"), editorVariable("EDITOR", "my-editor");
        EXPECT_EQ(editor(), "my-visual --wait");
    }
    {
        ScopedEnvironment visual("VISUAL", ""), editorVariable("EDITOR", "my-editor");
        EXPECT_EQ(editor(), "my-editor");
    }
    {
        ScopedEnvironment visual("VISUAL", nullptr), editorVariable("EDITOR", nullptr);
        EXPECT_EQ(editor(), "vi");
    }
}

TEST(ObsidelEditor, ALongSettingIsCutToThePathBuffer) {
    std::string longName(400, 'e');
    ScopedEnvironment visual("VISUAL", longName.c_str());
    EXPECT_EQ(editor(), std::string(MAX_PATH - 1, 'e'));
}

// A program that writes its working folder and then each argument on a
// line of its own into the file named by $RECORD.
class ProgramStart : public ::testing::Test {
protected:
    void SetUp() override {
        program = folder.file("record-arguments");
        testsupport::writeFile(program,
                               "#!/bin/sh\n"
                               "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$RECORD.part\"\n"
                               "mv \"$RECORD.part\" \"$RECORD\"\n");
        chmod(program.c_str(), 0755);
        record = folder.file("record.txt");
        setenv("RECORD", record.c_str(), 1);
    }
    void TearDown() override { unsetenv("RECORD"); }

    // What the program wrote; empty when it did not run within a few seconds.
    std::string recorded() const {
        for (int i = 0; i < 500 && access(record.c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return testsupport::readFile(record);
    }

    testsupport::TempDir folder;
    std::string program, record;
};

TEST_F(ProgramStart, RunsTheProgramWithTheArgumentTextSplitIntoWords) {
    auto started = OBExecute(nullptr, nullptr, program.c_str(), "one \"two words\" \"\" three", folder.path().c_str(),
                             1, 0);
    EXPECT_GT(reinterpret_cast<std::intptr_t>(started), 32);
    EXPECT_EQ(recorded(), folder.path().string() + "\none\ntwo words\n\nthree\n");
}

TEST_F(ProgramStart, AProgramTextThatNamesNoFileIsACommandLineOfItsOwn) {
    // As an editor setting such as "emacsclient -n" is.
    std::string programWithOption = "\"" + program + "\" --first";
    auto started = OBExecute(nullptr, nullptr, programWithOption.c_str(), "last", folder.path().c_str(), 1, 0);
    EXPECT_GT(reinterpret_cast<std::intptr_t>(started), 32);
    EXPECT_EQ(recorded(), folder.path().string() + "\n--first\nlast\n");
}

TEST_F(ProgramStart, AMissingProgramFailsAndSaysSoUnlessAskedNotTo) {
    std::string missing = folder.file("no-such-program");
    testing::internal::CaptureStderr();
    auto loud = OBExecute(nullptr, nullptr, missing.c_str(), "x", nullptr, 1, 0);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_LE(reinterpret_cast<std::intptr_t>(loud), 32);
    EXPECT_NE(said.find("obsidel: cannot start " + missing), std::string::npos) << said;

    testing::internal::CaptureStderr();
    auto quiet = OBExecute(nullptr, nullptr, missing.c_str(), "x", nullptr, 1, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_LE(reinterpret_cast<std::intptr_t>(quiet), 32);

    EXPECT_LE(reinterpret_cast<std::intptr_t>(OBExecute(nullptr, nullptr, "", "x", nullptr, 1, 1)), 32);
    EXPECT_LE(reinterpret_cast<std::intptr_t>(OBExecute(nullptr, nullptr, nullptr, "x", nullptr, 1, 1)), 32);
}

}  // namespace

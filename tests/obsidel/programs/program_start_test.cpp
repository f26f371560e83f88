// How the host starts other programs for plug-ins: the argument text split
// into words, GetObsidelEditor's choice (a terminal editor only where a
// terminal is), and OBExecute with a real program: an editor that fails is
// reported, and no editor at all gives a box that names the file.
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

#include <fcntl.h>

#include <mutex>

#include "command_words.h"
#include "program_start.h"
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

// Standard input away from any terminal for one test, as when the host
// was started from a desktop's menu.
class NoTerminal {
public:
    NoTerminal() : saved_(dup(STDIN_FILENO)) {
        const int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, STDIN_FILENO);
        close(nothing);
    }
    ~NoTerminal() {
        dup2(saved_, STDIN_FILENO);
        close(saved_);
    }
    NoTerminal(const NoTerminal&) = delete;
    NoTerminal& operator=(const NoTerminal&) = delete;

private:
    int saved_;
};

TEST(ObsidelEditor, VisualThenEditorThenTheFallback) {
    ScopedEnvironment noDisplay("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr);
    NoTerminal noTerminal;
    {
        ScopedEnvironment visual("VISUAL", "my-visual --wait"), editorVariable("EDITOR", "my-editor");
        EXPECT_EQ(editor(), "my-visual --wait");
    }
    {
        ScopedEnvironment visual("VISUAL", ""), editorVariable("EDITOR", "my-editor");
        EXPECT_EQ(editor(), "my-editor");
    }
    {
        // The fallback, vi, needs a terminal: with none, there is no editor, and why is kept for OBExecute.
        ScopedEnvironment visual("VISUAL", nullptr), editorVariable("EDITOR", nullptr);
        EXPECT_EQ(editor(), "");
        EXPECT_NE(obsidel::lastEditorChoice().problem.find("\"vi\" runs in a terminal"), std::string::npos)
            << obsidel::lastEditorChoice().problem;
    }
}

TEST(ObsidelEditor, ATerminalEditorRunsOnlyWhereThereIsATerminal) {
    struct Case {
        const char* editor;
        bool ownTerminal, graphical;
        const char* emulator;
        const char* command;  // "" when it cannot run
        bool inOwnTerminal;
    };
    const Case cases[] = {
        {"vim", true, false, "", "vim", true},
        {"vim", true, true, "xterm", "vim", true},
        {"vim", false, true, "xterm", "xterm -e vim", false},
        {"/usr/bin/nano -w", false, true, "x-terminal-emulator", "x-terminal-emulator -e /usr/bin/nano -w", false},
        {"vi", false, true, "", "", false},
        {"vi", false, false, "xterm", "", false},
        {"emacs", false, true, "", "emacs", false},
        {"emacs", false, false, "", "", false},
        {"emacs -nw", false, true, "xterm", "xterm -e emacs -nw", false},
        {"gedit --wait", false, false, "", "gedit --wait", false},
        {"xdg-open", false, true, "", "xdg-open", false},
    };
    for (const Case& c : cases) {
        const obsidel::EditorCommand got = obsidel::editorCommand(c.editor, {c.ownTerminal, c.graphical, c.emulator});
        EXPECT_EQ(got.command, c.command) << c.editor << " " << c.ownTerminal << c.graphical << c.emulator;
        EXPECT_EQ(got.inOwnTerminal, c.inOwnTerminal) << c.editor;
        EXPECT_EQ(got.problem.empty(), !std::string(c.command).empty()) << c.editor << ": " << got.problem;
    }
}

// What OBExecute reported after its call, collected from any thread.
std::mutex reportsLock;
std::vector<std::string> reports;
void collect(const std::string& text) {
    std::lock_guard<std::mutex> lock(reportsLock);
    reports.push_back(text);
}
bool reported(const std::string& text) {
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard<std::mutex> lock(reportsLock);
            for (const auto& report : reports)
                if (report.find(text) != std::string::npos) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(EditorStart, IsSaidAndAnEditorThatFailsIsReported) {
    obsidel::reportProgramsTo(collect);
    ScopedEnvironment visual("VISUAL", "false");
    char buffer[MAX_PATH];
    GetObsidelEditor(buffer);
    EXPECT_GT(reinterpret_cast<std::intptr_t>(OBExecute(nullptr, nullptr, buffer, "the.rc", nullptr, 1, 0)), 32);
    EXPECT_TRUE(reported("opening the.rc with false"));
    EXPECT_TRUE(reported("the editor \"false\" ended with status 1 (choose another with VISUAL or EDITOR)"));
    obsidel::reportProgramsTo(nullptr);
}

TEST(EditorStart, NoEditorAtAllShowsABoxThatNamesTheFileAndTheVariables) {
    ScopedEnvironment noDisplay("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr);
    ScopedEnvironment visual("VISUAL", "vim"), editorVariable("EDITOR", nullptr);
    NoTerminal noTerminal;
    char buffer[MAX_PATH];
    EXPECT_STREQ(GetObsidelEditor(buffer), "");
    testing::internal::CaptureStderr();
    EXPECT_LE(reinterpret_cast<std::intptr_t>(OBExecute(nullptr, nullptr, buffer, "/some/Vumira.rc", nullptr, 1, 0)),
              32);
    const std::string said = testing::internal::GetCapturedStderr();
    for (const char* text : {"Cannot open /some/Vumira.rc:", "the editor \"vim\" runs in a terminal",
                             "Choose an editor with the VISUAL or EDITOR variable"})
        EXPECT_NE(said.find(text), std::string::npos) << text << "\nin:\n" << said;
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

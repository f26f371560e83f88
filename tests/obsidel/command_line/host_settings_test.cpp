// The host's settings file obsidel.rc in the configuration folder (--home):
// the recording source, display and style read from it, the command line
// and the environment winning over it, `--save` writing into it, the start
// line naming where each choice came from, and the hint about recording
// what is playing said once.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "running_host.h"

namespace {

using testsupport::Finished;
using testsupport::hasLine;
using testsupport::readFile;
using testsupport::TempDir;

struct Case {
    const char* name;
    std::string rcBefore;                // obsidel.rc before the run; empty: no file
    std::vector<std::string> arguments;  // before the module; {dir}: the test's folder
    std::vector<std::string> variables;  // NAME=value, added to a clean environment
    int status;
    std::vector<std::string> errLines;  // whole lines that standard error must hold
    std::string rcAfter;                // obsidel.rc afterwards; "=": as before
};

const std::string kStyle = "toolbar.color: #102030\n";
const std::string kHint = "; to show what is playing: obsidel --wave-in playing --save";
// No sound server and an ALSA configuration that defines no device: nothing records.
const std::vector<std::string> kNoSound{"PULSE_SERVER=unix:{dir}/no-sound-server", "ALSA_CONFIG_PATH={dir}/empty.conf"};

const Case kCases[] = {
    {"the recording source from obsidel.rc", "waveIn: tone:440\n", {"--display", "headless"}, {}, 0,
     {"obsidel: display headless (--display headless); recording from tone:440 (obsidel.rc)"}, "="},
    {"keys in any letter case", "WAVEIN: tone:440\nDisplay: headless\n", {}, {}, 0,
     {"obsidel: display headless (obsidel.rc); recording from tone:440 (obsidel.rc)"}, "="},
    {"the command line wins over obsidel.rc", "waveIn: tone:440\ndisplay: term\n",
     {"--display", "headless", "--wave-in", "demo"}, {}, 0,
     {"obsidel: display headless (--display headless); recording from demo (--wave-in demo)"}, "="},
    {"the environment wins over obsidel.rc", "waveIn: tone:440\ndisplay: term\n", {},
     {"VUMIRA_WAVE_IN=tone:300", "VUMIRA_DISPLAY=headless"}, 0,
     {"obsidel: display headless (VUMIRA_DISPLAY=headless); recording from tone:300 (VUMIRA_WAVE_IN=tone:300)"},
     "="},
    {"a style named relative to the configuration folder", "waveIn: demo\ndisplay: headless\nstyle: mine.style\n",
     {}, {}, 0,
     {"obsidel: display headless (obsidel.rc); recording from demo (obsidel.rc); style {dir}/home/mine.style "
      "(obsidel.rc)"},
     "="},
    {"a device in obsidel.rc that does not exist points at its line", "waveIn: bogus\n", {"--display", "headless"},
     {}, 1, {"obsidel: waveIn: bogus comes from {dir}/home/obsidel.rc; mend or remove that line, or give --wave-in"},
     "="},
    {"a style in obsidel.rc that is not there points at its line", "style: {dir}/none.style\n",
     {"--display", "headless", "--wave-in", "demo"}, {}, 1,
     {"obsidel: cannot read the style file \"{dir}/none.style\" (no such file); the host does not start (name a "
      "style file that can be read; with none named, the default style is used)",
      "obsidel: style: {dir}/none.style comes from {dir}/home/obsidel.rc; mend or remove that line, or give --style"},
     "="},
    {"--save writes the choices, keeping the other lines", "# mine\nwaveIn: tone:440\nother: 1\n",
     {"--display", "headless", "--wave-in", "demo", "--style", "{dir}/home/../mine.style", "--save"}, {}, 0,
     {"obsidel: saved waveIn: demo in {dir}/home/obsidel.rc", "obsidel: saved display: headless in {dir}/home/obsidel.rc",
      "obsidel: saved style: {dir}/mine.style in {dir}/home/obsidel.rc",
      "obsidel: display headless (--display headless); recording from demo (--wave-in demo); style "
      "{dir}/home/../mine.style (--style)"},
     "# mine\nwaveIn: demo\nother: 1\ndisplay: headless\nstyle: {dir}/mine.style\n"},
    {"--save makes obsidel.rc", "", {"--display", "headless", "--wave-in", "tone:440", "--save"}, {}, 0,
     {"obsidel: saved waveIn: tone:440 in {dir}/home/obsidel.rc"}, "waveIn: tone:440\ndisplay: headless\n"},
    {"--save of a device that does not exist keeps the file", "waveIn: tone:440\n",
     {"--display", "headless", "--wave-in", "bogus", "--save"}, {}, 2, {}, "="},
    {"--save of a style that is not there keeps the file", "waveIn: tone:440\n",
     {"--display", "headless", "--style", "{dir}/none.style", "--save"}, {}, 1, {}, "="},
    {"--save with nothing to save", "", {"--save"}, {}, 2,
     {"obsidel: --save keeps the --wave-in, --display or --style given with it, and none was given"}, ""},
    {"a microphone-like source in obsidel.rc: the hint, remembered", "waveIn: pulse\n", {"--display", "headless"},
     kNoSound, 0, {"obsidel: display headless (--display headless); recording from pulse (obsidel.rc)" + kHint},
     "waveIn: pulse\nplayingHintShown: yes\n"},
    {"the hint said before is not said again", "waveIn: pulse\nplayingHintShown: yes\n", {"--display", "headless"},
     kNoSound, 0, {"obsidel: display headless (--display headless); recording from pulse (obsidel.rc)"}, "="},
};

std::string withFolder(std::string text, const TempDir& folder) {
    const std::string mark = "{dir}", value = folder.path().string();
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
        text.replace(at, mark.size(), value);
    return text;
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class HostSettings : public testing::TestWithParam<Case> {};

TEST_P(HostSettings, ChoicesComeFromTheirPlaceAndSaySo) {
    const Case& c = GetParam();
    TempDir folder;
    const std::string module = folder.file(std::filesystem::path(VUMIRA_MODULE).filename().string());
    std::filesystem::copy_file(VUMIRA_MODULE, module);
    std::filesystem::create_directories(folder.file("home"));
    testsupport::writeFile(folder.file("empty.conf"), "");
    testsupport::writeFile(folder.file("mine.style"), kStyle);
    testsupport::writeFile(folder.file("home/mine.style"), kStyle);
    const std::string rcPath = folder.file("home/obsidel.rc");
    const std::string before = withFolder(c.rcBefore, folder);
    if (!before.empty()) testsupport::writeFile(rcPath, before);

    std::vector<std::string> arguments{"--home", folder.file("home"), "--exit-after", "300"};
    for (const auto& argument : c.arguments) arguments.push_back(withFolder(argument, folder));
    arguments.push_back(module);
    std::vector<std::string> variables;
    for (const auto& variable : c.variables) variables.push_back(withFolder(variable, folder));

    Finished run = testsupport::runWithoutHost(arguments, folder, variables);

    EXPECT_EQ(run.status, c.status) << run.err;
    for (const auto& line : c.errLines) {
        const std::string filled = withFolder(line, folder);
        EXPECT_TRUE(hasLine(run.err, filled)) << filled << "\nin:\n" << run.err;
    }
    const std::string expected = c.rcAfter == "=" ? before : withFolder(c.rcAfter, folder);
    EXPECT_EQ(std::filesystem::exists(rcPath) ? readFile(rcPath) : "", expected);
}

INSTANTIATE_TEST_SUITE_P(Table, HostSettings, testing::ValuesIn(kCases), [](const auto& param) {
    std::string name;
    for (const char* c = param.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

// The first run that records a microphone says how to show what is playing
// as a status text too, where the person looks; the next run says nothing.
TEST(PlayingHint, SaidOnceInTheStartLineAndTheStatusText) {
    TempDir folder;
    const std::string module = folder.file(std::filesystem::path(VUMIRA_MODULE).filename().string());
    std::filesystem::copy_file(VUMIRA_MODULE, module);
    testsupport::writeFile(folder.file("empty.conf"), "");
    std::vector<std::string> variables;
    for (const auto& variable : kNoSound) variables.push_back(withFolder(variable, folder));
    const std::vector<std::string> arguments{"--home", folder.file("home"), "--display", "headless",
                                             "--wave-in", "alsa", "--exit-after", "300", module};
    const std::string status =
        "obsidel: recording from alsa, a microphone or line input; to show what is playing: obsidel --wave-in "
        "playing --save";

    Finished first = testsupport::runWithoutHost(arguments, folder, variables);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(hasLine(first.err, "obsidel: display headless (--display headless); recording from alsa (--wave-in "
                                   "alsa)" + kHint))
        << first.err;
    EXPECT_TRUE(hasLine(first.err, status)) << first.err;

    Finished second = testsupport::runWithoutHost(arguments, folder, variables);
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_TRUE(hasLine(second.err, "obsidel: display headless (--display headless); recording from alsa (--wave-in "
                                    "alsa)"))
        << second.err;
    EXPECT_EQ(second.err.find("what is playing"), std::string::npos) << second.err;
}

}  // namespace

// The host's command line through the real program: every option and every
// mistake in one table (exit status, what it says and where), the help
// text's names, the version, and the line that tells which display and
// recording source were chosen and why.
#include <gtest/gtest.h>

#include <vumira_version.h>

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
    std::vector<std::string> arguments;  // {dir}: the test's folder, {module}: a copy of the module there
    std::vector<std::string> variables;  // NAME=value, added to a clean environment
    int status;
    std::vector<std::string> errLines;  // whole lines that standard error must hold
    std::vector<std::string> errHas;    // texts that standard error must hold somewhere
    std::string written;                // a PNG file that must exist afterwards
};

// A host that runs a moment on the headless display and exits by itself.
std::vector<std::string> briefHost(std::vector<std::string> more) {
    std::vector<std::string> words{"--home", "{dir}/home", "--exit-after", "300"};
    words.insert(words.end(), more.begin(), more.end());
    words.push_back("{module}");
    return words;
}

// No sound server and an ALSA configuration that defines no device: nothing records.
const std::vector<std::string> kNoSound{"PULSE_SERVER=unix:{dir}/no-sound-server", "ALSA_CONFIG_PATH={dir}/empty.conf"};

const std::string kUsageStart = "usage: obsidel [--home DIR] [--style FILE] [--wave-in SPEC] [--display SPEC]";
const std::string kStyleNotStarted =
    "the host does not start (name a style file that can be read; with none named, the default style is used)";
const std::string kPlayingHint = "; to show what is playing: obsidel --wave-in playing --save";

const Case kCases[] = {
    {"help", {"--help"}, {}, 0, {}, {}, ""},
    {"short help", {"-h"}, {}, 0, {}, {}, ""},
    {"unknown option", {"--bogus"}, {}, 2, {"obsidel: unknown option --bogus", kUsageStart}, {}, ""},
    {"--home without a value", {"--home"}, {}, 2, {"obsidel: --home needs a value"}, {}, ""},
    {"--style without a value", {"--style"}, {}, 2, {"obsidel: --style needs a value"}, {}, ""},
    {"--wave-in without a value", {"--wave-in"}, {}, 2, {"obsidel: --wave-in needs a value"}, {}, ""},
    {"--display without a value", {"--display"}, {}, 2, {"obsidel: --display needs a value"}, {}, ""},
    {"--snapshot without a value", {"--snapshot"}, {}, 2, {"obsidel: --snapshot needs a value"}, {}, ""},
    {"--exit-after without a value", {"--exit-after"}, {}, 2, {"obsidel: --exit-after needs a value"}, {}, ""},
    {"--exec without a value", {"--exec"}, {}, 2, {"obsidel: --exec needs a value"}, {}, ""},
    {"--pick without a value", {"--pick"}, {}, 2, {"obsidel: --pick needs a value"}, {}, ""},
    {"--exit-after not a number", {"--exit-after", "soon"}, {}, 2,
     {"obsidel: --exit-after needs a number of milliseconds, not \"soon\""}, {}, ""},
    {"--exit-after negative", {"--exit-after", "-5"}, {}, 2,
     {"obsidel: --exit-after needs a number of milliseconds, not \"-5\""}, {}, ""},
    {"two requests at once", {"--exec", "@VumiraInternal About", "--reconfigure"}, {}, 2,
     {"obsidel: --exec, --reconfigure, --menu and --pick cannot be used together"}, {}, ""},
    {"--menu with --pick", {"--menu", "--pick", "Configuration/FPS/30"}, {}, 2,
     {"obsidel: --exec, --reconfigure, --menu and --pick cannot be used together"}, {}, ""},
    {"--snapshot without --exit-after", {"--snapshot", "{dir}/shot.png"}, {}, 2,
     {"obsidel: --snapshot needs --exit-after: the screen is written when the host exits"}, {}, ""},
    {"--exec without a host", {"--exec", "@VumiraInternal About"}, {}, 1, {}, {"obsidel: no host is running"}, ""},
    {"--reconfigure without a host", {"--reconfigure"}, {}, 1, {}, {"obsidel: no host is running"}, ""},
    {"--menu without a host", {"--menu"}, {}, 1, {}, {"obsidel: no host is running"}, ""},
    {"--pick without a host", {"--pick", "Configuration/FPS/30"}, {}, 1, {}, {"obsidel: no host is running"}, ""},
    {"a host on the chosen back ends", briefHost({"--display", "headless", "--wave-in", "demo"}), {}, 0,
     {"obsidel: display headless (--display headless); recording from demo (--wave-in demo)"}, {}, ""},
    {"a host with the slit", briefHost({"--display", "headless", "--wave-in", "tone:440", "--slit"}), {}, 0,
     {"obsidel: display headless (--display headless); recording from tone:440 (--wave-in tone:440)"}, {}, ""},
    {"a snapshot written", briefHost({"--display", "headless", "--wave-in", "demo", "--snapshot", "{dir}/shot.png"}),
     {}, 0, {}, {}, "{dir}/shot.png"},
    {"a snapshot that cannot be written",
     briefHost({"--display", "headless", "--wave-in", "demo", "--snapshot", "{dir}/missing/shot.png"}), {}, 1,
     {"obsidel: no snapshot written; name a PNG file in a folder that exists and that you may write"}, {}, ""},
    {"a style file that is not there", briefHost({"--display", "headless", "--style", "{dir}/none.style"}), {}, 1,
     {"obsidel: cannot read the style file \"{dir}/none.style\" (no such file); " + kStyleNotStarted}, {}, ""},
    {"a style file that is a folder", briefHost({"--display", "headless", "--style", "{dir}/home"}), {}, 1,
     {"obsidel: cannot read the style file \"{dir}/home\" (it is a folder); " + kStyleNotStarted}, {}, ""},
    {"a recording device that does not exist", briefHost({"--display", "headless", "--wave-in", "bogus"}), {}, 2,
     {}, {"wave-in: \"bogus\" names no wave-in device; use one of pulse[:SOURCE], alsa[:PCM]"}, ""},
    {"a sound file device without its path", briefHost({"--display", "headless", "--wave-in", "file:"}), {}, 2,
     {"wave-in: file: needs the path of a sound file (file:PATH)"}, {}, ""},
    {"a display that does not exist", briefHost({"--display", "bogus"}), {}, 1,
     {"win32subset: no display \"bogus\" in this build (there are: x11, term, headless)"}, {}, ""},
    {"a home folder that is a file", {"--home", "{dir}/a-file", "--exit-after", "300", "{module}"}, {}, 1, {},
     {"obsidel: cannot use the folder {dir}/a-file"}, ""},
    {"a module that is not there",
     {"--home", "{dir}/home", "--display", "headless", "--wave-in", "demo", "--exit-after", "300", "{dir}/none.so"},
     {}, 1,
     {"obsidel: no plug-in started, so there is nothing to show; name a module that loads (see obsidel --help)"},
     {"obsidel: cannot load the plug-in {dir}/none.so"}, ""},
    {"back ends from the environment", briefHost({}), {"VUMIRA_DISPLAY=headless", "VUMIRA_WAVE_IN=tone:300"}, 0,
     {"obsidel: display headless (VUMIRA_DISPLAY=headless); recording from tone:300 (VUMIRA_WAVE_IN=tone:300)"}, {},
     ""},
    {"nothing answers: the demo signal, windows in memory", briefHost({}), kNoSound, 0,
     {"obsidel: no X display ($DISPLAY is unset) and no terminal: windows in memory only (headless); no sound "
      "server and no ALSA device answered: using the demo signal (choose a source with --wave-in)"},
     {}, ""},
    {"an ALSA device that does not open says so in one line",
     briefHost({"--display", "headless", "--wave-in", "alsa"}), kNoSound, 0,
     {"obsidel: display headless (--display headless); recording from alsa (--wave-in alsa)" + kPlayingHint},
     {"wave-in: alsa:default: cannot open the ALSA device default ("}, ""},
    {"a microphone-like source hints at recording what plays",
     briefHost({"--display", "headless", "--wave-in", "pulse"}), kNoSound, 0,
     {"obsidel: display headless (--display headless); recording from pulse (--wave-in pulse)" + kPlayingHint}, {},
     ""},
    {"what is playing, without a sound server: said, and the demo signal",
     briefHost({"--display", "headless", "--wave-in", "playing"}), kNoSound, 0,
     {"obsidel: display headless (--display headless); the sound server has no output to record what is playing "
      "from (--wave-in playing): using the demo signal"},
     {}, ""},
    {"the sound server's monitor needs no hint",
     briefHost({"--display", "headless", "--wave-in", "pulse:@DEFAULT_MONITOR@"}), kNoSound, 0,
     {"obsidel: display headless (--display headless); recording from pulse:@DEFAULT_MONITOR@ (--wave-in "
      "pulse:@DEFAULT_MONITOR@)"},
     {}, ""},
};

std::string withFolder(std::string text, const TempDir& folder, const std::string& module) {
    for (auto [mark, value] : {std::pair<std::string, std::string>{"{dir}", folder.path().string()},
                               std::pair<std::string, std::string>{"{module}", module}}) {
        for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    return text;
}

// Named by its row in test listings, the same natively and under Wine.
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class CommandLine : public testing::TestWithParam<Case> {};

TEST_P(CommandLine, EndsWithItsStatusAndSaysWhatItShould) {
    const Case& c = GetParam();
    TempDir folder;
    const std::string module = folder.file(std::filesystem::path(VUMIRA_MODULE).filename().string());
    std::filesystem::copy_file(VUMIRA_MODULE, module);
    testsupport::writeFile(folder.file("empty.conf"), "");
    testsupport::writeFile(folder.file("a-file"), "");
    auto fill = [&](const std::vector<std::string>& texts) {
        std::vector<std::string> filled;
        for (const auto& text : texts) filled.push_back(withFolder(text, folder, module));
        return filled;
    };

    Finished run = testsupport::runWithoutHost(fill(c.arguments), folder, fill(c.variables));

    EXPECT_EQ(run.status, c.status) << run.err;
    for (const auto& line : fill(c.errLines)) EXPECT_TRUE(hasLine(run.err, line)) << line << "\nin:\n" << run.err;
    for (const auto& text : fill(c.errHas))
        EXPECT_NE(run.err.find(text), std::string::npos) << text << "\nin:\n" << run.err;
    // ALSA's library speaks for itself on standard error unless the device silences it.
    EXPECT_EQ(run.err.find("ALSA lib"), std::string::npos) << run.err;
    if (c.status == 2) {
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    if (!c.written.empty()) {
        const std::string png = readFile(withFolder(c.written, folder, module));
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << c.written;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLine, testing::ValuesIn(kCases), [](const auto& param) {
    std::string name;
    for (const char* c = param.param.name; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
});

TEST(CommandLineHelp, NamesEveryOptionEnvironmentVariableAndFile) {
    TempDir folder;
    Finished help = testsupport::runWithoutHost({"--help"}, folder);
    ASSERT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.out.rfind(kUsageStart + "\n", 0), 0u) << help.out;
    for (const char* name : {"--home DIR", "--style FILE", "--wave-in SPEC", "--display SPEC", "--slit",
                             "--exit-after MS", "--snapshot FILE", "MODULE", "--exec", "--reconfigure", "--menu",
                             "--pick PATH[=VALUE]", "--help", "--version", "VUMIRA_DISPLAY", "VUMIRA_WAVE_IN",
                             "VUMIRA_OS_VERSION", "VISUAL, EDITOR", "Vumira.rc", "Vumirarc", "share/obsidel/styles",
                             "pulse:@DEFAULT_MONITOR@", "playing", "--save", "obsidel.rc", "SIGHUP", "SIGUSR1"})
        EXPECT_NE(help.out.find(name), std::string::npos) << name;
}

TEST(CommandLineVersion, PrintsTheProjectsOneVersionNumber) {
    TempDir folder;
    Finished version = testsupport::runWithoutHost({"--version"}, folder);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("obsidel ") + VUMIRA_VERSION + "\n");
    EXPECT_EQ(version.err, "");
}

}  // namespace

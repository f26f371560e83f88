// Choosing the wave-in device by its text (Win32SubsetSetWaveIn and
// VUMIRA_WAVE_IN), the default, and what a device that cannot open says.
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "recording.h"
#include "test_support.h"

namespace {

using wavetest::pcmFormat;

using wavetest::ignoring;

TEST(WaveInDeviceText, NamesADeviceOrSaysWhatIsWrong) {
    const struct {
        const char* text;
        bool names;
    } cases[] = {
        {"pulse", true},
        {"pulse:@DEFAULT_MONITOR@", true},
        {"pulse:sink.monitor", true},
        {"alsa", true},
        {"alsa:hw:0,0", true},
        {"file:song.flac", true},
        {"file:", false},
        {"raw:-", true},
        {"raw:music.fifo", true},
        {"raw:music.fifo,48000", true},
        {"raw:music.fifo,48000,1", true},
        {"raw:a,b.fifo", true},  // a comma in the path
        {"raw:", false},
        {"raw:,44100", false},
        {"raw:music.fifo,999", false},
        {"raw:music.fifo,44100,0", false},
        {"raw:music.fifo,44100,9", false},
        {"tone:1000", true},
        {"tone:440+660.5", true},
        {"tone:", false},
        {"tone:0", false},
        {"tone:-440", false},
        {"tone:abc", false},
        {"tone:440+", false},
        {"tone:96001", false},
        {"demo", true},
        {"demo:fast", false},
        {"none", true},
        {"none:x", false},
        {"playing", true},
        {"playing:x", false},
        {"Tone:440", false},  // names are lower case
        {"microphone", false},
    };
    for (const auto& row : cases) {
        testing::internal::CaptureStderr();
        const int result = Win32SubsetSetWaveIn(row.text);
        const std::string said = testing::internal::GetCapturedStderr();
        if (row.names) {
            EXPECT_EQ(result, 0) << row.text << ": " << said;
            EXPECT_EQ(said, "") << row.text;
        } else {
            EXPECT_EQ(result, -1) << row.text;
            EXPECT_NE(said.find(row.text), std::string::npos) << "the message should quote \"" << row.text
                                                               << "\": " << said;
        }
    }
    EXPECT_EQ(Win32SubsetSetWaveIn(""), 0);
    EXPECT_EQ(Win32SubsetSetWaveIn(nullptr), 0);
}

TEST(WaveInDeviceText, NoneCannotBeOpenedAndCountsNoDevice) {
    ASSERT_EQ(Win32SubsetSetWaveIn("none"), 0);
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    HWAVEIN device = reinterpret_cast<HWAVEIN>(1);
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(waveInGetNumDevs(), 0u);
    ASSERT_EQ(Win32SubsetSetWaveIn("tone:440"), 0);
    EXPECT_EQ(waveInGetNumDevs(), 1u);
}

TEST(WaveInDeviceText, TheVariableChoosesWhenTheProgramDoesNot) {
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    HWAVEIN device = nullptr;
    ASSERT_EQ(Win32SubsetSetWaveIn(nullptr), 0);

    setenv("VUMIRA_WAVE_IN", "none", 1);
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NODRIVER);

    setenv("VUMIRA_WAVE_IN", "tone:500", 1);
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);

    setenv("VUMIRA_WAVE_IN", "speakers", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_BADDEVICEID);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("VUMIRA_WAVE_IN"), std::string::npos) << said;
    EXPECT_NE(said.find("speakers"), std::string::npos) << said;

    // The program's own choice wins over the variable.
    ASSERT_EQ(Win32SubsetSetWaveIn("tone:500"), 0);
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
    unsetenv("VUMIRA_WAVE_IN");
}

TEST(WaveInDeviceText, TheDefaultTriesTheSoundServerThenAlsaThenGivesUp) {
    // No server at the address the client is given, and an ALSA
    // configuration without any device.
    testsupport::TempDir folder;
    testsupport::writeFile(folder.file("asound.conf"), "\n");
    setenv("PULSE_SERVER", ("unix:" + folder.file("no-server")).c_str(), 1);
    setenv("ALSA_CONFIG_PATH", folder.file("asound.conf").c_str(), 1);
    unsetenv("VUMIRA_WAVE_IN");
    ASSERT_EQ(Win32SubsetSetWaveIn(nullptr), 0);
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    HWAVEIN device = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInGetNumDevs(), 0u);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(device, nullptr);
    const std::size_t pulse = said.find("pulse: cannot record from the sound server");
    const std::size_t alsa = said.find("alsa:default: cannot open");
    const std::size_t none = said.find("no recording device answered");
    EXPECT_NE(pulse, std::string::npos) << said;
    EXPECT_NE(alsa, std::string::npos) << said;
    EXPECT_NE(none, std::string::npos) << said;
    EXPECT_TRUE(pulse < alsa && alsa < none) << "tried in the order sound server, ALSA, none: " << said;
    EXPECT_NE(said.find("no recording device answered (tried the sound server and ALSA's default); choose one"),
              std::string::npos)
        << said;
    unsetenv("PULSE_SERVER");
    unsetenv("ALSA_CONFIG_PATH");
}

// What the host asks instead of reading device names: the words that
// explain the default's choice and a chosen device, from the device table.
TEST(WaveInDeviceText, EachDeviceDescribesItselfForTheHost) {
    const char* const kPlaying = "what is playing on the sound server's default output";
    const struct {
        const char* text;
        const char* name;
        const char* inUse;
        const char* passedOver;
        const char* chosenAs;  // null: named by its text
    } cases[] = {
        {"pulse", "pulse", "the sound server's default source", "", nullptr},
        {"pulse:@DEFAULT_MONITOR@", "pulse", "the sound server's default source", "", nullptr},
        {"alsa", "alsa", "ALSA's default device", "no sound server", nullptr},
        {"alsa:hw:0,0", "alsa", "ALSA's default device", "no sound server", nullptr},
        {"playing", "playing", "playing", "", kPlaying},
        {"file:song.flac", "file", "file", "", nullptr},
        {"raw:-", "raw", "raw", "", nullptr},
        {"tone:440", "tone", "tone", "", nullptr},
        {"demo", "demo", "demo", "", nullptr},
        {"none", "none", "no device (silence)", "no sound server and no ALSA device", nullptr},
    };
    for (const auto& row : cases) {
        Win32SubsetWaveInFacts facts{};
        ASSERT_EQ(Win32SubsetDescribeWaveIn(row.text, &facts), 0) << row.text;
        EXPECT_STREQ(facts.name, row.name) << row.text;
        EXPECT_STREQ(facts.inUse, row.inUse) << row.text;
        EXPECT_STREQ(facts.passedOver, row.passedOver) << row.text;
        EXPECT_STREQ(facts.chosenAs, row.chosenAs) << row.text;
        EXPECT_EQ(facts.recordsNothing, std::string(row.text) == "none" ? 1 : 0) << row.text;
        EXPECT_TRUE(facts.usage && *facts.usage && facts.needs && *facts.needs) << row.text;
    }
    Win32SubsetWaveInFacts facts{};
    for (const char* text : {"microphone", "file:", "tone:0", "playing:x", ""})
        EXPECT_EQ(Win32SubsetDescribeWaveIn(text, &facts), -1) << text;
    EXPECT_EQ(Win32SubsetDescribeWaveIn(nullptr, &facts), -1);
}

TEST(WaveInDeviceText, ADeviceThatCannotOpenSaysWhichAndWhy) {
    testsupport::TempDir folder;
    const std::string missing = folder.file("missing.wav");
    const std::string text = folder.file("notes.txt");
    testsupport::writeFile(text, "not a sound\n");
    const std::string fifoless = folder.file("nothing.fifo");
    const WAVEFORMATEX format = pcmFormat(8000, 1, 16);
    const struct {
        std::string device;
        std::vector<std::string> said;
    } cases[] = {
        {"file:" + missing, {missing, "No such file or directory"}},
        {"file:" + text, {text, "not a sound file"}},
        {"file:" + folder.path().string(), {folder.path().string(), "folder"}},
        {"raw:" + fifoless, {fifoless, "No such file or directory"}},
        {"tone:5000", {"5000", "8000"}},  // above half the rate
    };
    for (const auto& row : cases) {
        ASSERT_EQ(Win32SubsetSetWaveIn(row.device.c_str()), 0) << row.device;
        HWAVEIN device = nullptr;
        testing::internal::CaptureStderr();
        EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NODRIVER)
            << row.device;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(device, nullptr);
        for (const auto& part : row.said) EXPECT_NE(said.find(part), std::string::npos) << row.device << ": " << said;
    }
}

}  // namespace

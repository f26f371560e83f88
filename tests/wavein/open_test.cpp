// Opening the wave-in device: which formats, arguments and device texts it
// takes, and what it says when it cannot open.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "recording.h"
#include "test_support.h"

namespace {

using wavetest::pcmFormat;

void CALLBACK ignoreMessages(HWAVEIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

DWORD_PTR ignoring() { return reinterpret_cast<DWORD_PTR>(&ignoreMessages); }

struct FormatCase {
    const char* what;
    WORD tag;
    WORD channels;
    DWORD rate;
    WORD bits;
    int blockAlignError;  // added to the right block alignment
    int bytesPerSecondError;
    MMRESULT expected;
};

TEST(WaveInOpen, TakesPcmWithOneOrTwoChannelsEightOrSixteenBitsAndRatesFrom1000To192000) {
    const FormatCase cases[] = {
        {"the plug-in's default", WAVE_FORMAT_PCM, 1, 16000, 16, 0, 0, MMSYSERR_NOERROR},
        {"44 kHz as the plug-in builds it", WAVE_FORMAT_PCM, 1, 44000, 16, 0, 0, MMSYSERR_NOERROR},
        {"lowest rate, 8-bit stereo", WAVE_FORMAT_PCM, 2, 1000, 8, 0, 0, MMSYSERR_NOERROR},
        {"highest rate, 16-bit stereo", WAVE_FORMAT_PCM, 2, 192000, 16, 0, 0, MMSYSERR_NOERROR},
        {"8-bit mono", WAVE_FORMAT_PCM, 1, 8000, 8, 0, 0, MMSYSERR_NOERROR},
        {"rate just below the lowest", WAVE_FORMAT_PCM, 1, 999, 16, 0, 0, WAVERR_BADFORMAT},
        {"rate just above the highest", WAVE_FORMAT_PCM, 1, 192001, 16, 0, 0, WAVERR_BADFORMAT},
        {"rate 0", WAVE_FORMAT_PCM, 1, 0, 16, 0, 0, WAVERR_BADFORMAT},
        {"no channels", WAVE_FORMAT_PCM, 0, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"three channels", WAVE_FORMAT_PCM, 3, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"24 bits", WAVE_FORMAT_PCM, 1, 16000, 24, 0, 0, WAVERR_BADFORMAT},
        {"12 bits", WAVE_FORMAT_PCM, 1, 16000, 12, 0, 0, WAVERR_BADFORMAT},
        {"0 bits", WAVE_FORMAT_PCM, 1, 16000, 0, 0, 0, WAVERR_BADFORMAT},
        {"floating point", 3, 1, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"extensible", 0xFFFE, 1, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"no format tag", 0, 1, 16000, 16, 0, 0, WAVERR_BADFORMAT},
        {"block alignment too large", WAVE_FORMAT_PCM, 1, 16000, 16, 1, 0, WAVERR_BADFORMAT},
        {"bytes a second wrong", WAVE_FORMAT_PCM, 2, 16000, 16, 0, -4, WAVERR_BADFORMAT},
    };
    ASSERT_EQ(Win32SubsetSetWaveIn("tone:300"), 0);
    for (const auto& row : cases) {
        WAVEFORMATEX format{};
        format.wFormatTag = row.tag;
        format.nChannels = row.channels;
        format.nSamplesPerSec = row.rate;
        format.wBitsPerSample = row.bits;
        format.nBlockAlign = static_cast<WORD>(row.channels * (row.bits / 8) + row.blockAlignError);
        format.nAvgBytesPerSec = DWORD(int(format.nBlockAlign * row.rate) + row.bytesPerSecondError);

        EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), row.expected)
            << row.what << " (asking only)";
        HWAVEIN device = reinterpret_cast<HWAVEIN>(1);
        EXPECT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), row.expected)
            << row.what;
        if (row.expected == MMSYSERR_NOERROR) {
            EXPECT_NE(device, nullptr) << row.what;
            EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR) << row.what;
        } else {
            EXPECT_EQ(device, nullptr) << row.what << ": a refused open leaves no handle";
        }
    }
}

TEST(WaveInOpen, RefusesWrongArguments) {
    ASSERT_EQ(Win32SubsetSetWaveIn("tone:300"), 0);
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    HWAVEIN device = nullptr;
    struct Case {
        const char* what;
        UINT id;
        const WAVEFORMATEX* format;
        DWORD_PTR callback;
        DWORD flags;
        MMRESULT expected;
    } const cases[] = {
        {"device 1 (there is one device)", 1, &format, ignoring(), CALLBACK_FUNCTION, MMSYSERR_BADDEVICEID},
        {"a window callback", WAVE_MAPPER, &format, ignoring(), CALLBACK_WINDOW, MMSYSERR_INVALFLAG},
        {"an unknown flag", WAVE_MAPPER, &format, ignoring(), CALLBACK_FUNCTION | 0x80000000u, MMSYSERR_INVALFLAG},
        {"no format", WAVE_MAPPER, nullptr, ignoring(), CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
        {"a function callback without a function", WAVE_MAPPER, &format, 0, CALLBACK_FUNCTION, MMSYSERR_INVALPARAM},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(waveInOpen(&device, row.id, row.format, row.callback, 0, row.flags), row.expected) << row.what;
        EXPECT_EQ(device, nullptr) << row.what;
    }
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_INVALPARAM)
        << "no place for the handle";

    // Device 0 is the same device as the mapper.
    ASSERT_EQ(waveInOpen(&device, 0, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
}

TEST(WaveInOpen, CallsOnAClosedOrMadeUpHandleAreRefused) {
    ASSERT_EQ(Win32SubsetSetWaveIn("tone:300"), 0);
    const WAVEFORMATEX format = pcmFormat(8000, 1, 8);
    HWAVEIN device = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInClose(device), MMSYSERR_NOERROR);
    char data[16];
    WAVEHDR header{};
    header.lpData = data;
    header.dwBufferLength = sizeof data;
    MMTIME time{};
    time.wType = TIME_BYTES;
    for (HWAVEIN handle : {device, static_cast<HWAVEIN>(nullptr), reinterpret_cast<HWAVEIN>(&header)}) {
        EXPECT_EQ(waveInPrepareHeader(handle, &header, sizeof header), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInAddBuffer(handle, &header, sizeof header), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInUnprepareHeader(handle, &header, sizeof header), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInStart(handle), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInStop(handle), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInReset(handle), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInGetPosition(handle, &time, sizeof time), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInClose(handle), MMSYSERR_INVALHANDLE);
    }
    EXPECT_EQ(header.dwFlags, 0u) << "a refused call must not touch the header";
}

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
    unsetenv("PULSE_SERVER");
    unsetenv("ALSA_CONFIG_PATH");
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

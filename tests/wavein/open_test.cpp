// Opening the wave-in device: which formats and arguments it takes, and
// which handles it refuses.
#include "recording.h"

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
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
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
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
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
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
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

}  // namespace

// Opening the wave-in device: the formats the plug-in asks for open, a
// device number past the last is refused, and so is every call on a
// closed or made-up handle.
#include "recording.h"

namespace {

using wavetest::pcmFormat;

using wavetest::ignoring;

TEST(WaveInOpen, OpensEveryFormatThePlugInMayAskFor) {
    const struct {
        const char* what;
        unsigned rate, channels, bits;
    } cases[] = {
        {"the plug-in's default", 16000, 1, 16},
        {"44 kHz as the plug-in builds it", 44000, 1, 16},
        {"8-bit mono", 8000, 1, 8},
        {"lowest rate, 8-bit stereo", 1000, 2, 8},
        {"highest rate, 16-bit stereo", 192000, 2, 16},
    };
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
    for (const auto& row : cases) {
        const WAVEFORMATEX format = pcmFormat(row.rate, row.channels, row.bits);
        EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR)
            << row.what << " (asking only)";
        HWAVEIN device = nullptr;
        ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR)
            << row.what;
        EXPECT_NE(device, nullptr) << row.what;
        EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR) << row.what;
    }
}

TEST(WaveInOpen, DeviceZeroOpensAndADevicePastTheLastIsRefused) {
    ASSERT_TRUE(wavetest::chooseDevice("tone:300"));
    const WAVEFORMATEX format = pcmFormat(16000, 1, 16);
    const UINT devices = waveInGetNumDevs();
    ASSERT_GE(devices, 1u);
    HWAVEIN device = nullptr;
    EXPECT_EQ(waveInOpen(&device, devices, &format, ignoring(), 0, CALLBACK_FUNCTION), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(device, nullptr);
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
    WAVEHDR fresh{};
    fresh.lpData = data;
    fresh.dwBufferLength = sizeof data;
    WAVEHDR header = fresh;
    header.dwFlags = WHDR_PREPARED;  // so that only the handle is wrong
    MMTIME time{};
    time.wType = TIME_BYTES;
    for (HWAVEIN handle : {device, static_cast<HWAVEIN>(nullptr), reinterpret_cast<HWAVEIN>(&header)}) {
        EXPECT_EQ(waveInPrepareHeader(handle, &fresh, sizeof fresh), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInAddBuffer(handle, &header, sizeof header), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInUnprepareHeader(handle, &header, sizeof header), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInStart(handle), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInStop(handle), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInReset(handle), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInGetPosition(handle, &time, sizeof time), MMSYSERR_INVALHANDLE);
        EXPECT_EQ(waveInClose(handle), MMSYSERR_INVALHANDLE);
    }
    EXPECT_EQ(fresh.dwFlags, 0u) << "a refused call must not touch the header";
    EXPECT_EQ(header.dwFlags, DWORD(WHDR_PREPARED)) << "a refused call must not touch the header";
}

}  // namespace

/* The Win32 subset for Linux: the wave-in part of <mmsystem.h>, with the
 * real header's types, values and layouts (see win32/src/wavein/). */
#ifndef WIN32_SUBSET_MMSYSTEM_H
#define WIN32_SUBSET_MMSYSTEM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef UINT MMRESULT;
typedef struct HWAVEIN__* HWAVEIN;
typedef HWAVEIN* LPHWAVEIN;

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define WAVERR_BADFORMAT 32
#define WAVERR_STILLPLAYING 33
#define WAVERR_UNPREPARED 34

#define WAVE_MAPPER ((UINT)-1)
#define WAVE_FORMAT_PCM 1

/* waveInOpen flags besides the callback kind */
#define WAVE_FORMAT_QUERY 0x0001
#define WAVE_ALLOWSYNC 0x0002
#define WAVE_MAPPED 0x0004
#define WAVE_FORMAT_DIRECT 0x0008

#define CALLBACK_NULL 0x00000000L
#define CALLBACK_WINDOW 0x00010000L
#define CALLBACK_FUNCTION 0x00030000L
#define CALLBACK_TYPEMASK 0x00070000L

#define WIM_OPEN 0x3BE
#define WIM_CLOSE 0x3BF
#define WIM_DATA 0x3C0

#define WHDR_DONE 0x00000001
#define WHDR_PREPARED 0x00000002
#define WHDR_BEGINLOOP 0x00000004
#define WHDR_ENDLOOP 0x00000008
#define WHDR_INQUEUE 0x00000010

#pragma pack(push, 1)
typedef struct tWAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
} WAVEFORMATEX, *LPWAVEFORMATEX;
#pragma pack(pop)
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;

typedef struct wavehdr_tag {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    struct wavehdr_tag* lpNext;
    DWORD_PTR reserved;
} WAVEHDR, *LPWAVEHDR;

#pragma pack(push, 1)
typedef struct mmtime_tag {
    UINT wType;
    union {
        DWORD ms;
        DWORD sample;
        DWORD cb;
        DWORD ticks;
        struct {
            BYTE hour;
            BYTE min;
            BYTE sec;
            BYTE frame;
            BYTE fps;
            BYTE dummy;
            BYTE pad[2];
        } smpte;
        struct {
            DWORD songptrpos;
        } midi;
    } u;
} MMTIME, *PMMTIME, *LPMMTIME;
#pragma pack(pop)

#define TIME_MS 0x0001
#define TIME_SAMPLES 0x0002
#define TIME_BYTES 0x0004
#define TIME_SMPTE 0x0008
#define TIME_MIDI 0x0010
#define TIME_TICKS 0x0020

typedef void(CALLBACK* WAVEINPROC)(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                   DWORD_PTR param2);

MMRESULT WINAPI waveInOpen(LPHWAVEIN device, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags);
MMRESULT WINAPI waveInClose(HWAVEIN device);
MMRESULT WINAPI waveInPrepareHeader(HWAVEIN device, LPWAVEHDR header, UINT size);
MMRESULT WINAPI waveInUnprepareHeader(HWAVEIN device, LPWAVEHDR header, UINT size);
MMRESULT WINAPI waveInAddBuffer(HWAVEIN device, LPWAVEHDR header, UINT size);
MMRESULT WINAPI waveInStart(HWAVEIN device);
MMRESULT WINAPI waveInStop(HWAVEIN device);
/* Returns once every queued buffer has come back through the callback (on
 * the device's thread, WHDR_DONE set, WHDR_INQUEUE cleared, with what it
 * holds) and that callback has returned; a callback already running when
 * the reset is called is waited for first, so a buffer it queues again is
 * handed back too. A callback must not wait for the thread that resets. */
MMRESULT WINAPI waveInReset(HWAVEIN device);
MMRESULT WINAPI waveInGetPosition(HWAVEIN device, LPMMTIME time, UINT size);
UINT WINAPI waveInGetNumDevs(void);

#ifdef __cplusplus
}
#endif

#endif

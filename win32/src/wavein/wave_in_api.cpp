// The wave-in calls of <mmsystem.h>:
//   waveInOpen, waveInClose, waveInPrepareHeader, waveInUnprepareHeader,
//   waveInAddBuffer, waveInStart, waveInStop, waveInReset,
//   waveInGetPosition, waveInGetNumDevs.
// Promises:
// - one device, reached as WAVE_MAPPER or device 0, recording from the
//   device chosen by Win32SubsetSetWaveIn or VUMIRA_WAVE_IN (else the sound
//   server, else ALSA), in the PCM format asked for: 1 or 2 channels, 8 or 16
//   bits, 1000 to 192000 samples a second; any other format gets
//   WAVERR_BADFORMAT, a device that cannot open MMSYSERR_NODRIVER, and a
//   device text that names no device MMSYSERR_BADDEVICEID;
// - CALLBACK_FUNCTION and CALLBACK_NULL; WIM_DATA comes on the device's own
//   threads, one at a time, WIM_OPEN from inside waveInOpen and WIM_CLOSE from inside
//   waveInClose (on the calling thread, as Wine's winmm gives them); a
//   callback may queue buffers, stop and reset, but not close;
// - waveInReset, called from any thread, returns once every buffer that was
//   queued has come back through the callback, and that callback has
//   returned: with what it holds in dwBytesRecorded (possibly less than its
//   length, possibly 0), WHDR_DONE set and WHDR_INQUEUE cleared. A callback
//   that was running when the reset was called is waited for first, so a
//   buffer that it queues again is handed back too. The device writes into
//   no buffer once the reset has been called. A callback must therefore not
//   wait for the thread that resets;
// - waveInGetPosition counts the bytes recorded into buffers since the
//   open or the last reset, in samples when asked so and else in bytes;
// - waveInStop hands back the buffer being filled when it holds anything
//   and leaves the empty ones queued;
// - waveInUnprepareHeader and waveInClose refuse with WAVERR_STILLPLAYING
//   while a buffer is queued; waveInAddBuffer refuses an unprepared buffer
//   with WAVERR_UNPREPARED and a queued one with WAVERR_STILLPLAYING;
// - a device that fails while recording says why on standard error and
//   stops filling buffers; stop, reset and close still work.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include <dlfcn.h>

#include "internal/module_unload.h"
#include "wavein/device_table.h"
#include "wavein/wave_in_device.h"

using subset::wavein::WaveInDevice;

namespace {

// Every open device by its handle, so that a stale or made-up handle is
// refused instead of followed.
std::mutex registryLock;
std::vector<std::shared_ptr<WaveInDevice>> openDevices;

std::shared_ptr<WaveInDevice> findDevice(HWAVEIN handle) {
    std::lock_guard<std::mutex> held(registryLock);
    for (const auto& device : openDevices) {
        if (device->handle() == handle) return device;
    }
    return nullptr;
}

void forgetDevice(HWAVEIN handle) {
    std::lock_guard<std::mutex> held(registryLock);
    std::erase_if(openDevices, [handle](const auto& device) { return device->handle() == handle; });
}

constexpr DWORD kKnownOpenFlags = CALLBACK_TYPEMASK | WAVE_FORMAT_QUERY | WAVE_ALLOWSYNC | WAVE_MAPPED |
                                  WAVE_FORMAT_DIRECT;

}  // namespace

namespace subset::wavein {

bool releaseCallbacksInto(std::uintptr_t base) {
    constexpr std::chrono::seconds kCallbackReturnWait{5};
    std::vector<std::shared_ptr<WaveInDevice>> devices;
    {
        std::lock_guard<std::mutex> held(registryLock);
        devices = openDevices;
    }
    bool released = true;
    for (const auto& device : devices) {
        Dl_info info{};
        void* code = nullptr;
        const WAVEINPROC callback = device->programCallback();
        static_assert(sizeof code == sizeof callback);
        std::memcpy(&code, &callback, sizeof code);
        if (!code || !dladdr(code, &info) || reinterpret_cast<std::uintptr_t>(info.dli_fbase) != base) continue;
        if (!device->silence(kCallbackReturnWait)) released = false;
    }
    return released;
}

}  // namespace subset::wavein

extern "C" {

MMRESULT WINAPI waveInOpen(LPHWAVEIN device, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                           DWORD_PTR instance, DWORD flags) {
    using namespace subset::wavein;
    if (device) *device = nullptr;
    if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
    const DWORD callbackKind = flags & CALLBACK_TYPEMASK;
    if ((flags & ~kKnownOpenFlags) || (callbackKind != CALLBACK_FUNCTION && callbackKind != CALLBACK_NULL)) {
        return MMSYSERR_INVALFLAG;
    }
    if (!format || (callbackKind == CALLBACK_FUNCTION && !callback)) return MMSYSERR_INVALPARAM;
    if (!acceptableFormat(*format)) return WAVERR_BADFORMAT;
    const bool onlyAsking = (flags & WAVE_FORMAT_QUERY) != 0;
    if (!onlyAsking && !device) return MMSYSERR_INVALPARAM;

    DeviceChoice choice;
    std::string error;
    if (!currentDeviceChoice(choice, error)) {
        std::fprintf(stderr, "wave-in: %s\n", error.c_str());
        return MMSYSERR_BADDEVICEID;
    }
    const PcmShape wanted{format->nSamplesPerSec, format->nChannels};
    PcmShape produced;
    const SourceOps* ops = nullptr;
    std::string deviceText;
    void* source = openChosenDevice(choice, wanted, produced, ops, deviceText, error);
    if (!source) {
        if (!(choice.kind && choice.kind->ops == &noneSource)) std::fprintf(stderr, "wave-in: %s\n", error.c_str());
        return MMSYSERR_NODRIVER;
    }
    if (onlyAsking) {
        ops->close(source);
        return MMSYSERR_NOERROR;
    }
    const WantedPcm pcm{format->nSamplesPerSec, format->nChannels, format->wBitsPerSample};
    std::unique_ptr<PcmStream> stream = PcmStream::create(*ops, source, produced, pcm, error);
    if (!stream) {
        std::fprintf(stderr, "wave-in: %s: %s\n", deviceText.c_str(), error.c_str());
        return MMSYSERR_NODRIVER;
    }
    std::shared_ptr<WaveInDevice> opened;
    try {
        opened = std::make_shared<WaveInDevice>(*format, reinterpret_cast<WAVEINPROC>(callback), instance, deviceText);
        std::lock_guard<std::mutex> held(registryLock);
        openDevices.push_back(opened);
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
    // The handle is the program's before WIM_OPEN, for a callback that looks at it.
    *device = opened->handle();
    const MMRESULT result = opened->open(opened, std::move(stream));
    if (result != MMSYSERR_NOERROR) {
        forgetDevice(opened->handle());
        *device = nullptr;
    }
    return result;
}

MMRESULT WINAPI waveInClose(HWAVEIN handle) {
    const auto device = findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    const MMRESULT result = device->close();
    if (result == MMSYSERR_NOERROR) forgetDevice(handle);
    return result;
}

MMRESULT WINAPI waveInPrepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    const auto device = findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    return device->prepare(header);
}

MMRESULT WINAPI waveInUnprepareHeader(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    const auto device = findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    return device->unprepare(header);
}

MMRESULT WINAPI waveInAddBuffer(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    const auto device = findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
    return device->add(header);
}

MMRESULT WINAPI waveInStart(HWAVEIN handle) {
    const auto device = findDevice(handle);
    return device ? device->start() : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI waveInStop(HWAVEIN handle) {
    const auto device = findDevice(handle);
    return device ? device->stop() : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI waveInReset(HWAVEIN handle) {
    const auto device = findDevice(handle);
    return device ? device->reset() : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI waveInGetPosition(HWAVEIN handle, LPMMTIME time, UINT size) {
    const auto device = findDevice(handle);
    if (!device) return MMSYSERR_INVALHANDLE;
    if (!time || size < sizeof(MMTIME)) return MMSYSERR_ERROR;  // as Wine's winmm answers
    return device->position(time);
}

// 1 when the chosen device can record; for the default that means one that
// answers now (the sound server or ALSA), asked quietly.
UINT WINAPI waveInGetNumDevs(void) {
    using namespace subset::wavein;
    DeviceChoice choice;
    std::string error;
    if (!currentDeviceChoice(choice, error)) return 0;
    if (choice.kind) return choice.kind->ops == &noneSource ? 0 : 1;
    return anyDefaultDeviceAnswers() ? 1 : 0;
}

}  // extern "C"

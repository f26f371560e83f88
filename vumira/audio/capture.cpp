// Wave-in capture: opening the default recording device, keeping its one
// buffer travelling between the device and the analysis, and the stop
// handshake that brings the buffer home before it is released.
#include "audio/capture.h"

#include <algorithm>
#include <atomic>

#include "audio/spectrum.h"
#include "config/limits.h"
#include "config/plugin_state.h"
#include "core/identity.h"

namespace vumira {
namespace {

// The callback hands at most this many recorded bytes to the analysis: one
// working value per byte, as many as there are band slots.
constexpr DWORD kMaxAnalysedBytes = static_cast<DWORD>(kBandSlots);

// The stop waits for the buffer in steps of 100 ms, and gives up after 5 s:
// a device that never hands its buffer back must not freeze the host.
constexpr DWORD kStopStepMs = 100;
constexpr DWORD kStopLimitMs = 5000;

constexpr UINT kHeaderSize = sizeof(WAVEHDR);

void reportError(const char* text) {
    MessageBoxA(nullptr, text, identity::kNameAndVersion, identity::kErrorBoxFlags);
}

WAVEFORMATEX recordingFormat() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = static_cast<DWORD>(plugin.sampleRateKHz) * 1000u;
    format.wBitsPerSample = static_cast<WORD>(plugin.bitsPerSample);  // the low 16 bits
    format.nBlockAlign = static_cast<WORD>(format.nChannels * (format.wBitsPerSample / 8));
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 0;
    return format;
}

// A start that fails after the device opened gives back what it took, so
// that the device is free for the next start and retries leak nothing.
// Nothing is reported here: the failed step already was.
void releaseFailedStart(HWAVEIN device, bool prepared) {
    WAVEHDR& header = plugin.waveHeader;
    if (prepared) waveInUnprepareHeader(device, &header, kHeaderSize);
    if (header.lpData) {
        VirtualFree(header.lpData, 0, MEM_RELEASE);
        header.lpData = nullptr;
    }
    waveInClose(device);
    plugin.waveInHandle.store(nullptr, std::memory_order_relaxed);
}

// Waits until the callback has counted the returned buffer. The reset is
// repeated at every step: a callback that read `capturing` as 1 just before
// the first reset queues the buffer again after it, and only a fresh reset
// hands that buffer back. Returns false when the buffer did not come home
// within the limit.
bool awaitReturnedBuffer(HWAVEIN device) {
    DWORD waited = 0;
    // The acquire pairs with the callback's release of its count: everything
    // the callback did with the header happens before the header is released.
    while (plugin.returnedBuffers.load(std::memory_order_acquire) <= 0) {
        if (waited >= kStopLimitMs) return false;
        Sleep(kStopStepMs);
        waited += kStopStepMs;
        waveInReset(device);
    }
    return true;
}

}  // namespace

int startCapture() {
    if (plugin.capturing.load(std::memory_order_relaxed) != 0) return 1;

    WAVEHDR& header = plugin.waveHeader;
    header = WAVEHDR{};
    const WAVEFORMATEX format = recordingFormat();

    HWAVEIN device = nullptr;
    if (waveInOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&captureCallback), 0,
                   CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        plugin.waveInHandle.store(nullptr, std::memory_order_relaxed);
        reportError("Can't open WAVE In Device!");
        return 1;
    }
    plugin.waveInHandle.store(device, std::memory_order_relaxed);

    // A negative size (never from the loader, which keeps 32 .. 256) asks
    // for nothing, and the allocation fails as it would for zero bytes.
    const DWORD length = static_cast<DWORD>(std::max(plugin.bufferSize, 0));
    header.dwBufferLength = length;
    header.lpData = static_cast<LPSTR>(VirtualAlloc(nullptr, length, MEM_COMMIT, PAGE_READWRITE));
    if (!header.lpData) {
        reportError("Can't allocate memory for WAVE buffer!");
        releaseFailedStart(device, false);
        return 0;
    }
    if (waveInPrepareHeader(device, &header, kHeaderSize) != MMSYSERR_NOERROR) {
        reportError("Error preparing WAVEHDR!");
        releaseFailedStart(device, false);
        return 0;
    }
    if (waveInAddBuffer(device, &header, kHeaderSize) != MMSYSERR_NOERROR) {
        reportError("Error queueing WAVEHDR!");
        releaseFailedStart(device, true);
        return 0;
    }

    plugin.returnedBuffers.store(0, std::memory_order_relaxed);
    plugin.capturing.store(1, std::memory_order_release);

    // A device that does not start still holds the queued buffer; it counts
    // as capturing, and the next stop's reset brings the buffer back.
    if (waveInStart(device) != MMSYSERR_NOERROR) reportError("Error starting record!");
    return 0;
}

int stopCapture() {
    if (plugin.capturing.load(std::memory_order_relaxed) == 0) return 1;

    // Cleared before the reset, so that the callback which brings the buffer
    // back counts it instead of queueing it again.
    plugin.capturing.store(0, std::memory_order_release);
    const HWAVEIN device = plugin.waveInHandle.load(std::memory_order_relaxed);
    waveInReset(device);

    WAVEHDR& header = plugin.waveHeader;
    if (!awaitReturnedBuffer(device)) {
        // The device may still write the buffer: it stays allocated (and
        // the header untouched) rather than be freed under the device.
        reportError("Timed out waiting for the WAVE buffer!");
        waveInClose(device);
        plugin.waveInHandle.store(nullptr, std::memory_order_relaxed);
        return 0;
    }

    if (waveInUnprepareHeader(device, &header, kHeaderSize) != MMSYSERR_NOERROR)
        reportError("Error unpreparing WAVEHDR!");
    if (waveInClose(device) != MMSYSERR_NOERROR) reportError("Can't close WAVE In Device!");
    plugin.waveInHandle.store(nullptr, std::memory_order_relaxed);
    // lpData keeps the released address until the next start clears the header.
    if (header.lpData) VirtualFree(header.lpData, 0, MEM_RELEASE);
    return 0;
}

void CALLBACK captureCallback(HWAVEIN device, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
    if (message != WIM_DATA) return;
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    // A device that is no longer ours (one given up on by a stop that timed
    // out) may still hand its buffer back late; it must not touch the
    // capture that runs now.
    if (!header || device != plugin.waveInHandle.load(std::memory_order_relaxed)) return;

    // Never more than the buffer holds, nor more than the analysis takes.
    const DWORD recorded = std::min({header->dwBytesRecorded, header->dwBufferLength, kMaxAnalysedBytes});
    if (recorded != 0) analyseBuffer(reinterpret_cast<const unsigned char*>(header->lpData), recorded);

    // Read only now, after the analysis: a stop that began meanwhile finds
    // this buffer counted rather than queued again.
    if (plugin.capturing.load(std::memory_order_acquire) != 0)
        waveInAddBuffer(device, header, kHeaderSize);
    else
        plugin.returnedBuffers.fetch_add(1, std::memory_order_release);
}

}  // namespace vumira

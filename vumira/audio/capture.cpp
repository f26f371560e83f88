// Wave-in capture: opening the default recording device, keeping its one
// buffer travelling between the device and the analysis, and the stop
// handshake that brings the buffer home before it is released.
#include "audio/capture.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <type_traits>

#include "audio/log_spectrum.h"
#include "audio/spectrum.h"
#include "base/identity.h"
#include "base/limits.h"
#include "config/plugin_state.h"

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

// The header is the record's first member, so the two addresses convert.
static_assert(std::is_standard_layout_v<CaptureBuffer>);

CaptureBuffer* owningCapture(WAVEHDR* header) { return reinterpret_cast<CaptureBuffer*>(header); }

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

void releaseBuffer(CaptureBuffer* capture) {
    if (capture->header.lpData) VirtualFree(capture->header.lpData, 0, MEM_RELEASE);
    delete capture;
}

// A start that fails after the device opened gives back what it took, so
// that the device is free for the next start and retries leak nothing.
// Nothing is reported here: the failed step already was.
void releaseFailedStart(HWAVEIN device, CaptureBuffer* capture, bool prepared) {
    plugin.capture.store(nullptr, std::memory_order_relaxed);
    if (capture) {
        if (prepared) waveInUnprepareHeader(device, &capture->header, kHeaderSize);
        releaseBuffer(capture);
    }
    waveInClose(device);
    plugin.waveInHandle.store(nullptr, std::memory_order_relaxed);
}

// Releases every abandoned buffer that its device has handed back since, or
// that it no longer holds (a reset brings it back, or the close succeeds).
// The acquire of the count pairs with the callback's release: its last touch
// of the record happens before the record is freed.
void releaseAbandonedBuffers() {
    CaptureBuffer** link = &plugin.abandonedCaptures;
    while (CaptureBuffer* capture = *link) {
        if (capture->returned.load(std::memory_order_acquire) == 0) waveInReset(capture->device);
        const bool handedBack = capture->returned.load(std::memory_order_acquire) > 0;
        if (handedBack) waveInUnprepareHeader(capture->device, &capture->header, kHeaderSize);
        if (waveInClose(capture->device) != MMSYSERR_NOERROR && !handedBack) {
            link = &capture->nextAbandoned;
            continue;
        }
        *link = capture->nextAbandoned;
        releaseBuffer(capture);
    }
}

// Waits until the callback has counted the returned buffer. The reset is
// repeated at every step: a callback that read `queueing` as 1 just before
// the first reset queues the buffer again after it, and only a fresh reset
// hands that buffer back. Returns false when the buffer did not come home
// within the limit.
bool awaitReturnedBuffer(HWAVEIN device, const CaptureBuffer& capture) {
    DWORD waited = 0;
    // The acquire pairs with the callback's release of its count: everything
    // the callback did with the header happens before the header is released.
    while (capture.returned.load(std::memory_order_acquire) <= 0) {
        if (waited >= kStopLimitMs) return false;
        Sleep(kStopStepMs);
        waited += kStopStepMs;
        waveInReset(device);
    }
    return true;
}

}  // namespace

int startCapture() {
    releaseAbandonedBuffers();
    if (plugin.capturing.load(std::memory_order_relaxed) != 0) return 1;

    // With the log bands chosen, the recording takes their own format and
    // buffer (see log_spectrum.h); the exact analysis's rate, width and
    // buffer size stay as they are for when it is chosen again.
    const bool logBands = plugin.spectrum.logScale.load(std::memory_order_relaxed) != 0 && prepareLogSpectrum();
    if (!logBands) plugin.logSpectrum.recording.store(false, std::memory_order_relaxed);
    const WAVEFORMATEX format = logBands ? logRecordingFormat() : recordingFormat();
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
    const DWORD length = logBands ? kLogBufferBytes : static_cast<DWORD>(std::max(plugin.bufferSize, 0));
    CaptureBuffer* capture = new (std::nothrow) CaptureBuffer;
    if (capture) {
        capture->device = device;
        capture->header.dwBufferLength = length;
        capture->header.lpData = static_cast<LPSTR>(VirtualAlloc(nullptr, length, MEM_COMMIT, PAGE_READWRITE));
    }
    if (!capture || !capture->header.lpData) {
        reportError("Can't allocate memory for WAVE buffer!");
        releaseFailedStart(device, capture, false);
        return 0;
    }
    // Published before the device can hand the buffer back: the callback
    // acts only on the buffer of the capture that runs now.
    plugin.capture.store(capture, std::memory_order_release);
    WAVEHDR& header = capture->header;
    if (waveInPrepareHeader(device, &header, kHeaderSize) != MMSYSERR_NOERROR) {
        reportError("Error preparing WAVEHDR!");
        releaseFailedStart(device, capture, false);
        return 0;
    }
    if (waveInAddBuffer(device, &header, kHeaderSize) != MMSYSERR_NOERROR) {
        reportError("Error queueing WAVEHDR!");
        releaseFailedStart(device, capture, true);
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
    releaseAbandonedBuffers();
    if (plugin.capturing.load(std::memory_order_relaxed) == 0) return 1;

    CaptureBuffer* capture = plugin.capture.load(std::memory_order_relaxed);
    // Cleared before the reset, so that the callback which brings the buffer
    // back counts it instead of queueing it again.
    plugin.capturing.store(0, std::memory_order_release);
    capture->queueing.store(0, std::memory_order_release);
    const HWAVEIN device = plugin.waveInHandle.load(std::memory_order_relaxed);
    waveInReset(device);

    const bool returned = awaitReturnedBuffer(device, *capture);
    plugin.returnedBuffers.store(capture->returned.load(std::memory_order_relaxed), std::memory_order_relaxed);
    // From here a buffer that comes back late is no longer the running one.
    plugin.capture.store(nullptr, std::memory_order_release);
    plugin.waveInHandle.store(nullptr, std::memory_order_relaxed);

    if (!returned) {
        // The device may still write the buffer: it is neither freed nor
        // reused, but kept with its device until the device hands it back
        // or closes (a later start or stop looks again).
        reportError("Timed out waiting for the WAVE buffer!");
        if (waveInClose(device) == MMSYSERR_NOERROR) {
            releaseBuffer(capture);
        } else {
            capture->nextAbandoned = plugin.abandonedCaptures;
            plugin.abandonedCaptures = capture;
        }
        return 0;
    }

    if (waveInUnprepareHeader(device, &capture->header, kHeaderSize) != MMSYSERR_NOERROR)
        reportError("Error unpreparing WAVEHDR!");
    if (waveInClose(device) != MMSYSERR_NOERROR) reportError("Can't close WAVE In Device!");
    releaseBuffer(capture);
    return 0;
}

void CALLBACK captureCallback(HWAVEIN, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
    if (message != WIM_DATA) return;
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    if (!header) return;
    CaptureBuffer* capture = owningCapture(header);
    // A buffer of a capture given up on by a stop that timed out comes home
    // late: it is counted on its own record, for the release, and touches
    // nothing of the capture that runs now.
    if (capture != plugin.capture.load(std::memory_order_acquire)) {
        capture->returned.fetch_add(1, std::memory_order_release);
        return;
    }

    // Never more than the buffer holds, nor more than the analysis takes.
    const auto* bytes = reinterpret_cast<const unsigned char*>(header->lpData);
    if (plugin.logSpectrum.recording.load(std::memory_order_acquire)) {
        const DWORD recorded = std::min(header->dwBytesRecorded, header->dwBufferLength);
        if (recorded != 0) analyseLogBuffer(bytes, recorded);
    } else {
        const DWORD recorded = std::min({header->dwBytesRecorded, header->dwBufferLength, kMaxAnalysedBytes});
        if (recorded != 0) analyseBuffer(bytes, recorded);
    }

    // Read only now, after the analysis, and from this buffer's own record: a
    // stop that began meanwhile, even one that has given up on this device
    // since, finds this buffer counted rather than queued again.
    if (capture->queueing.load(std::memory_order_acquire) != 0)
        waveInAddBuffer(capture->device, header, kHeaderSize);
    else
        capture->returned.fetch_add(1, std::memory_order_release);
}

}  // namespace vumira

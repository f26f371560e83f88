// The engine of an open wave-in device (see wave_in_device.h): the queue,
// the callback thread with stop and reset, the recording thread.
#include "wavein/wave_in_device.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace subset::wavein {

namespace {
// A device that does not come back from a read within this time is left to
// finish on its own, so that a hung sound server cannot hang waveInClose.
constexpr auto kRecorderStopWait = std::chrono::seconds(2);
// Sound waiting for a buffer is kept up to this many of the stream's
// largest reads (10 ms of sound), and at least half a second.
constexpr std::size_t kPendingReads = 4;
}  // namespace

void HeaderList::pushBack(WAVEHDR* header) {
    header->lpNext = nullptr;
    if (tail) tail->lpNext = header;
    else head = header;
    tail = header;
}

WAVEHDR* HeaderList::popFront() {
    WAVEHDR* header = head;
    if (!header) return nullptr;
    head = header->lpNext;
    if (!head) tail = nullptr;
    header->lpNext = nullptr;
    return header;
}

bool acceptableFormat(const WAVEFORMATEX& format) {
    if (format.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (format.nChannels != 1 && format.nChannels != 2) return false;
    if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return false;
    if (format.nSamplesPerSec < 1000 || format.nSamplesPerSec > 192000) return false;
    // The derived fields must agree, as they do in every PCM format.
    const unsigned blockAlign = format.nChannels * (format.wBitsPerSample / 8u);
    return format.nBlockAlign == blockAlign && format.nAvgBytesPerSec == blockAlign * format.nSamplesPerSec;
}

WaveInDevice::WaveInDevice(const WAVEFORMATEX& format, WAVEINPROC callback, DWORD_PTR instance, std::string deviceText)
    : format_(format), callback_(callback), instance_(instance), deviceText_(std::move(deviceText)) {}

MMRESULT WaveInDevice::open(const std::shared_ptr<WaveInDevice>& self, std::unique_ptr<PcmStream> stream) {
    try {
        callbackThread_ = std::thread([this] { callbackLoop(); });
    } catch (const std::system_error&) {
        return MMSYSERR_NOMEM;
    }
    try {
        recorder_ = std::thread([this, self, moved = std::move(stream)]() mutable { recordLoop(self, std::move(moved)); });
    } catch (const std::system_error&) {
        {
            std::lock_guard<std::mutex> held(lock_);
            closing_ = true;
            recorderEnded_ = true;
        }
        changed_.notify_all();
        callbackThread_.join();
        return MMSYSERR_NOMEM;
    }
    notify(WIM_OPEN, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::prepare(WAVEHDR* header) {
    std::lock_guard<std::mutex> held(lock_);
    if (closing_) return MMSYSERR_INVALHANDLE;
    if (!header->lpData) return MMSYSERR_INVALPARAM;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::unprepare(WAVEHDR* header) {
    std::lock_guard<std::mutex> held(lock_);
    if (closing_) return MMSYSERR_INVALHANDLE;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~DWORD(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::add(WAVEHDR* header) {
    std::lock_guard<std::mutex> held(lock_);
    if (closing_) return MMSYSERR_INVALHANDLE;
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwBytesRecorded = 0;
    header->dwFlags = (header->dwFlags & ~DWORD(WHDR_DONE)) | WHDR_INQUEUE;
    queue_.pushBack(header);
    // Sound that waited for a buffer goes in at once: a callback that
    // queues its buffer again gets it back full without a wait, from the
    // delivery it runs in. Queued from elsewhere, the callback thread
    // hands it back.
    if (started_ && !pending_.empty() && fillBuffersLocked() && !delivering_) changed_.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::start() {
    std::lock_guard<std::mutex> held(lock_);
    if (closing_) return MMSYSERR_INVALHANDLE;
    started_ = true;
    changed_.notify_all();  // the recording thread waits for the first start
    return MMSYSERR_NOERROR;
}

// Stop and reset end the recording at once, and hand buffers back on the
// callback thread between callbacks. The caller waits until that is done,
// without holding the lock, so a callback that queues its buffer again
// meanwhile gets the lock and its buffer is handed back as well. On the
// callback thread itself (a callback that stops or resets) the buffers are
// handed back at once, through nested callbacks.
MMRESULT WaveInDevice::control(bool reset) {
    std::unique_lock<std::mutex> held(lock_);
    if (closing_) return MMSYSERR_INVALHANDLE;
    started_ = false;
    pending_.clear();  // sound not in a buffer yet ends with the recording
    (reset ? resetWanted_ : stopWanted_) = true;
    if (onDeliveringThreadLocked()) {
        applyControlLocked();
        deliverDoneLocked(held);
        return MMSYSERR_NOERROR;
    }
    const unsigned long long ticket = ++controlsAsked_;
    changed_.notify_all();
    changed_.wait(held, [&] { return controlsDone_ >= ticket; });
    return MMSYSERR_NOERROR;
}

void WaveInDevice::applyControlLocked() {
    if (resetWanted_) {
        while (WAVEHDR* header = queue_.popFront()) done_.pushBack(header);
        positionBytes_ = 0;
    } else if (stopWanted_ && queue_.head && queue_.head->dwBytesRecorded > 0) {
        done_.pushBack(queue_.popFront());  // the buffer being filled; empty ones stay queued
    }
    resetWanted_ = false;
    stopWanted_ = false;
}

void WaveInDevice::deliverDoneLocked(std::unique_lock<std::mutex>& held) {
    const bool outermost = !delivering_;  // a callback's stop or reset delivers from inside a delivery
    delivering_ = true;
    while (WAVEHDR* header = done_.popFront()) {
        header->dwFlags = (header->dwFlags & ~DWORD(WHDR_INQUEUE)) | WHDR_DONE;
        held.unlock();
        notify(WIM_DATA, reinterpret_cast<DWORD_PTR>(header));
        held.lock();
    }
    if (!outermost) return;
    delivering_ = false;
    // The callback thread waits for the end of a delivery only to serve a
    // stop, a reset or a close.
    if (controlsAsked_ != controlsDone_ || closing_) changed_.notify_all();
}

void WaveInDevice::notify(UINT message, DWORD_PTR param1) {
    if (!callback_) return;
    {
        std::lock_guard<std::mutex> held(lock_);
        if (silenced_) return;
        ++callbacksRunning_;
    }
    callback_(handle(), message, instance_, param1, 0);
    std::lock_guard<std::mutex> held(lock_);
    // Only silence() waits for the count: waking the callback thread after
    // every buffer would cost a wake-up each.
    if (--callbacksRunning_ == 0 && silenced_) changed_.notify_all();
}

bool WaveInDevice::silence(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> held(lock_);
    silenced_ = true;
    // From inside its own callback the caller's callback is the one running.
    const int own = onDeliveringThreadLocked() ? callbacksRunning_ : 0;
    return changed_.wait_for(held, limit, [this, own] { return callbacksRunning_ <= own; });
}

void WaveInDevice::callbackLoop() {
    std::unique_lock<std::mutex> held(lock_);
    callbackThreadId_ = std::this_thread::get_id();
    for (;;) {
        changed_.wait(held, [this] {
            return !delivering_ && (!done_.empty() || controlsAsked_ != controlsDone_ || closing_);
        });
        if (controlsAsked_ != controlsDone_) {
            const unsigned long long serving = controlsAsked_;
            applyControlLocked();
            deliverDoneLocked(held);
            controlsDone_ = serving;
            changed_.notify_all();
        } else if (!done_.empty()) {
            deliverDoneLocked(held);
        } else {
            break;  // closing, and nothing is left to hand back
        }
    }
}

// `self` keeps the device alive while this thread runs, even after a close
// that stopped waiting for it.
void WaveInDevice::recordLoop([[maybe_unused]] std::shared_ptr<WaveInDevice> self, std::unique_ptr<PcmStream> stream) {
    const std::size_t blockAlign = format_.nBlockAlign;
    const std::size_t largest = stream->largestRead();
    std::vector<unsigned char> chunk(largest * blockAlign);
    // Sound recorded while no buffer has room waits here, as in a sound
    // card's own memory, for the next buffer queued; what is older than this
    // is dropped, as a card drops it. Half a second of it lets a live
    // writer's backlog, read in one burst, reach the program whole.
    pendingLimit_ = std::max<std::size_t>(kPendingReads * largest, format_.nSamplesPerSec / 2) * blockAlign;
    {
        std::unique_lock<std::mutex> held(lock_);
        recorderThreadId_ = std::this_thread::get_id();
        // Nothing is read before the first start: sound already waiting in
        // the device (a FIFO's backlog) begins the recording instead of
        // being dropped. After a stop the device is read, and its sound
        // dropped, as a sound card keeps running.
        changed_.wait(held, [this] { return started_ || closing_; });
    }
    std::string error;
    for (;;) {
        {
            std::lock_guard<std::mutex> held(lock_);
            if (closing_) break;
        }
        // Small buffers come back a few at a time, 10 ms of sound (a live
        // device's: 8.5 ms) a read: each read is a wake-up, and a 2 ms
        // buffer read on its own would wake this thread 500 times a second.
        const std::size_t got = stream->read(chunk.data(), largest, error);
        if (got == 0) {
            std::fprintf(stderr, "wave-in: %s; recording stopped\n", error.c_str());
            break;
        }
        std::unique_lock<std::mutex> held(lock_);
        if (closing_) break;
        if (!started_) continue;  // the sound is dropped, as by a real device
        recordLocked(chunk.data(), got * blockAlign);
        // The buffers filled are handed back from this thread, as from a
        // sound card's: handing them to the callback thread would wake it
        // too for every read. While the callback thread delivers (a stop,
        // a reset), it hands them back itself.
        if (!delivering_) deliverDoneLocked(held);
    }
    stream.reset();  // closes the recording device
    std::lock_guard<std::mutex> held(lock_);
    recorderEnded_ = true;
    changed_.notify_all();
    // `self` is let go after the lock: this thread may hold the last reference.
}

void WaveInDevice::recordLocked(const unsigned char* data, std::size_t bytes) {
    pending_.insert(pending_.end(), data, data + bytes);
    if (pending_.size() > pendingLimit_) {
        const std::size_t blockAlign = format_.nBlockAlign;
        const std::size_t dropped = (pending_.size() - pendingLimit_ + blockAlign - 1) / blockAlign * blockAlign;
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(std::min(dropped, pending_.size())));
    }
    fillBuffersLocked();
}

bool WaveInDevice::fillBuffersLocked() {
    const DWORD blockAlign = format_.nBlockAlign;
    std::size_t offset = 0;
    bool filled = false;
    while (WAVEHDR* header = queue_.head) {
        const DWORD room = header->dwBufferLength / blockAlign * blockAlign - header->dwBytesRecorded;
        if (room == 0) {
            done_.pushBack(queue_.popFront());
            filled = true;
            continue;
        }
        if (offset == pending_.size()) break;
        const std::size_t count = std::min<std::size_t>(room, pending_.size() - offset);
        std::memcpy(header->lpData + header->dwBytesRecorded, pending_.data() + offset, count);
        header->dwBytesRecorded += DWORD(count);
        offset += count;
        positionBytes_ += count;
    }
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(offset));
    return filled;
}

MMRESULT WaveInDevice::position(MMTIME* time) {
    std::lock_guard<std::mutex> held(lock_);
    if (closing_) return MMSYSERR_INVALHANDLE;
    if (time->wType == TIME_SAMPLES) {
        time->u.sample = DWORD(positionBytes_ / format_.nBlockAlign);
    } else {  // every other kind of time is answered in bytes, as Wine's winmm does
        time->wType = TIME_BYTES;
        time->u.cb = DWORD(positionBytes_);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WaveInDevice::close() {
    std::unique_lock<std::mutex> held(lock_);
    if (closing_) return MMSYSERR_INVALHANDLE;
    // A callback cannot wait for the end of the thread it runs on.
    if (onDeliveringThreadLocked()) return MMSYSERR_ERROR;
    if (!queue_.empty() || !done_.empty()) return WAVERR_STILLPLAYING;
    closing_ = true;
    started_ = false;
    changed_.notify_all();
    held.unlock();
    callbackThread_.join();
    held.lock();
    const bool recorderStopped = changed_.wait_for(held, kRecorderStopWait, [this] { return recorderEnded_; });
    held.unlock();
    if (recorderStopped) {
        recorder_.join();
    } else {
        std::fprintf(stderr, "wave-in: %s did not stop recording within %lld s; leaving it to finish on its own\n",
                     deviceText_.c_str(), static_cast<long long>(kRecorderStopWait.count()));
        recorder_.detach();
    }
    notify(WIM_CLOSE, 0);
    return MMSYSERR_NOERROR;
}

}  // namespace subset::wavein

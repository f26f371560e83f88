// Fixed-size texts of the plug-in's state.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstring>

namespace vumira {

// Copies `source` into a buffer of `size` bytes, cutting it to fit: a text
// longer than its buffer keeps its first size - 1 characters.
inline void copyText(char* destination, std::size_t size, const char* source) {
    if (size == 0) return;
    std::size_t length = source ? std::strlen(source) : 0;
    if (length >= size) length = size - 1;
    if (length) std::memcpy(destination, source, length);
    destination[length] = '\0';
}

template <std::size_t N>
inline void copyText(char (&destination)[N], const char* source) {
    copyText(destination, N, source);
}

// A short text that one thread writes while another reads it. Each
// character is an atomic, so a reader never races a writer; it may see a
// mix of the old and the new text only while a change is being made.
template <std::size_t N>
class SharedText {
public:
    static constexpr std::size_t kSize = N;  // terminating zero included

    SharedText(const char* initial = "") { set(initial); }
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    void set(const char* text) {
        // Zeros after the end: every byte is stored, and none may be left
        // uninitialised or kept from a longer text.
        char cut[N] = {};
        copyText(cut, N, text);
        for (std::size_t i = 0; i < N; ++i) chars_[i].store(cut[i], std::memory_order_relaxed);
    }
    // Copies the text into `out`, which holds N bytes.
    void get(char (&out)[N]) const {
        for (std::size_t i = 0; i < N; ++i) out[i] = chars_[i].load(std::memory_order_relaxed);
        out[N - 1] = '\0';
    }
    bool equals(const char* text) const {
        char now[N];
        get(now);
        return std::strcmp(now, text) == 0;
    }

private:
    std::atomic<char> chars_[N];
};

}  // namespace vumira

// The fuzzer's bytes taken apart into the choices a target makes: numbers,
// short texts and the rest. Every take succeeds: an input that has run out
// gives zeros and empty texts, so each input is a whole case.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace fuzzing {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::size_t left() const { return size_ - at_; }

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    // A number as many bytes long as its type, little-endian.
    template <typename T>
    T number() {
        T value{};
        unsigned char raw[sizeof(T)] = {};
        for (auto& b : raw) b = byte();
        std::memcpy(&value, raw, sizeof value);
        return value;
    }

    // A number in [low, high], from as few bytes as the span needs.
    std::uint32_t inRange(std::uint32_t low, std::uint32_t high) {
        const std::uint64_t span = std::uint64_t(high) - low + 1;
        std::uint64_t value = 0;
        for (std::uint64_t reach = 1; reach < span; reach <<= 8) value = (value << 8) | byte();
        return low + std::uint32_t(value % span);
    }

    bool flag() { return byte() & 1; }

    // A text of up to `longest` bytes: a length byte (or two) and the bytes.
    std::string text(std::size_t longest) {
        const std::size_t length = std::min<std::size_t>(inRange(0, std::uint32_t(longest)), left());
        std::string taken(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return taken;
    }

    std::string rest() {
        std::string taken(reinterpret_cast<const char*>(data_ + at_), left());
        at_ = size_;
        return taken;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace fuzzing

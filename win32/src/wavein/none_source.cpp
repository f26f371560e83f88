// none: no recording device at all. Opening always fails, so a program sees
// what it sees on a machine without a microphone.
#include "wavein/source.h"

namespace subset::wavein {

namespace {

bool check(const std::string& argument, std::string& error) {
    if (argument.empty()) return true;
    error = "none takes nothing after it (found \"none:" + argument + "\")";
    return false;
}

void* open(const std::string&, const PcmShape&, PcmShape&, std::string& error) {
    error = "the wave-in device is \"none\": there is nothing to record from";
    return nullptr;
}

std::size_t read(void*, float*, std::size_t, std::string& error) {
    error = "nothing to record from";
    return 0;
}

void close(void*) {}

}  // namespace

const SourceOps noneSource = {check, open, read, close, nullptr};

}  // namespace subset::wavein

// Provides: Win32SubsetSetWaveInNoticeListener; inside the subset,
// subset::wavein::tellPerson.
#include "wavein/notices.h"

#include <win32subset.h>

#include <atomic>
#include <cstdio>

namespace subset::wavein {
namespace {
std::atomic<Win32SubsetNoticeListener> listener{nullptr};
}  // namespace

void tellPerson(const std::string& text) {
    std::fprintf(stderr, "wave-in: %s\n", text.c_str());
    std::fflush(stderr);
    if (Win32SubsetNoticeListener told = listener.load()) told(text.c_str());
}

}  // namespace subset::wavein

extern "C" void Win32SubsetSetWaveInNoticeListener(Win32SubsetNoticeListener told) {
    subset::wavein::listener.store(told);
}

// What a recording device tells the person while it runs: printed on
// standard error as "wave-in: TEXT", and handed to the program's notice
// listener (Win32SubsetSetWaveInNoticeListener) when it set one.
#pragma once

#include <string>

namespace subset::wavein {

void tellPerson(const std::string& text);

}  // namespace subset::wavein

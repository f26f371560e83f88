// Starting other programs for plug-ins: GetObsidelEditor (editor.cpp) and
// OBExecute, whose system part lives in linux/ and windows/.
#pragma once

#include <string>

namespace obsidel {

// The editor when neither $VISUAL nor $EDITOR names one.
std::string fallbackEditor();

}  // namespace obsidel

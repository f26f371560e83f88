// GetObsidelEditor: the user's text editor, from $VISUAL, then $EDITOR,
// then the system's fallback.
#include <obsidel/api.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "program_start.h"

extern "C" LPSTR GetObsidelEditor(LPSTR buffer) {
    if (!buffer) return buffer;
    std::string editor;
    for (const char* name : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            editor = value;
            break;
        }
    }
    if (editor.empty()) editor = obsidel::fallbackEditor();
    // Plug-ins hand a path buffer of MAX_PATH bytes.
    std::size_t length = std::min<std::size_t>(editor.size(), MAX_PATH - 1);
    std::memcpy(buffer, editor.data(), length);
    buffer[length] = '\0';
    return buffer;
}

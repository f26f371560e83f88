// Atomic replacement of a file on Windows: a temporary file beside it,
// written and committed to disk, then moved over the old one.
#include "settings_store.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <string>

namespace obsidel {

// The temporary file has one name, which the next replacement takes over.
void removeStaleTemporaries(const std::string&) {}

bool replaceFileAtomically(const std::string& path, const std::string& contents) {
    std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "obsidel: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    ok = std::fflush(file) == 0 && ok;
    ok = _commit(_fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    ok = ok && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        std::fprintf(stderr, "obsidel: cannot write %s\n", path.c_str());
        DeleteFileA(temporary.c_str());
    }
    return ok;
}

}  // namespace obsidel

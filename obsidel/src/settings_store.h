// The host's settings files: text files of `key: value` lines.
//
// Keys match without regard to letter case, with or without their trailing
// colon. Other lines, comments and order survive a write; a write replaces
// the file atomically (temporary file, flush, rename) so that no crash
// leaves a truncated file; a missing file reads as all defaults and is
// created by the first write.
#pragma once

#include <optional>
#include <string>

namespace obsidel {

// The value stored under `key`, trimmed; nothing when the file or key is missing.
std::optional<std::string> readSetting(const std::string& path, const std::string& key);

// The file's whole text; nothing when it is missing. Like readSetting, it
// reads the file only when it changed on disk since the host last read or
// wrote it.
std::optional<std::string> settingsText(const std::string& path);

// Stores `value` under `key`, replacing the first line of that key or
// appending one; a file that holds that very line already is left alone.
// On disk when it returns. Returns false, with a message on standard error, when the
// file cannot be written; the old file is then left as it was.
bool writeSetting(const std::string& path, const std::string& key, const std::string& value);

// Value parsers shared by the typed readers: nothing when the text is not
// of that type.
std::optional<int> parseInt(const std::string& text);
std::optional<bool> parseBool(const std::string& text);  // true/false, yes/no, 1/0

// Writes `contents` to `path` through a temporary file in the same folder,
// flushed to disk before it replaces the old file.
bool replaceFileAtomically(const std::string& path, const std::string& contents);
// Removes the temporary files of `path` that writers killed half-way left
// behind (never a live writer's).
void removeStaleTemporaries(const std::string& path);

}  // namespace obsidel

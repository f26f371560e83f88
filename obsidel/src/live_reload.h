// Live reload: the host watches the style file and every settings file that
// a plug-in reads or writes through the host (its rc file), and when one is
// changed from outside, the plug-ins are reconfigured (10103) once the
// writing has settled.
//
// A change is found by content, not by the notice alone: the host keeps
// the text it last read, wrote or took, so that its own writes (a drag
// writes the window's place many times a second) never start a reload, and
// a file is compared only once the notices have stopped for a moment.
// A file that disappears, or gains a line that is not `key: value`, leaves
// everything as it was and is reported once, until it is good again.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace obsidel {

enum class WatchedKind { Settings, Style };

// Watches `path` from now on (once); its text as it stands is the known one.
void watchFile(const std::string& path, WatchedKind kind);

// Around a write of the host's own to a settings file: a text that differs
// from the known one just before the write was changed from outside (and
// merged into the write), so it still counts as a change. `text` is the
// file's text just before and just after the write (nothing: missing), as
// the settings store has it, so that a write costs no reading here.
void beforeOwnWrite(const std::string& path, const std::optional<std::string>& text);
void afterOwnWrite(const std::string& path, const std::optional<std::string>& text);

// Notices to `window` (kFilesChanged) from now on, for the files watched so far and later.
void startLiveReload(HWND window);
void stopLiveReload();

// On the settle timer: compares every watched file with its known text.
// True when one was changed from outside and can be read: the caller then
// reconfigures the plug-ins (the host window, which this sits below).
bool reloadChangedFiles();

// How long the notices must be quiet before the files are compared.
constexpr UINT kSettleMs = 250;

// Whether `text` reads as a settings or style file: 0 when every line is
// blank, a comment ('#' or '!'), `key: value`, or a line that `lastGood`
// held already (other lines are the user's and are kept); else the number
// of the first line that is none of those, from 1 (a typo such as a missing
// colon, or an editor's half-written save).
int firstUnreadableLine(const std::string& text, const std::string& lastGood);

}  // namespace obsidel

// The broadcast command interpreter: the host's broadcasts (10901) and its
// reconfigure message (10103), as the window procedure hands them over.
#pragma once

namespace vumira {

struct Setting;

// Matches the command text against the show/hide and preset broadcasts and
// the "@VumiraInternal" command table, changes the state, writes the one
// affected rc key and re-applies what the change needs.
void handleBroadcast(const char* command);
// Re-reads every setting and the style, re-applies the window state and
// restarts capture when it was running.
void handleReconfigure();

// Flips the bool setting of the row, then announces it, writes it under the
// row's key and applies it as reportSetting.
void toggleSetting(const Setting& setting, const char* subCommand);
// Announces the setting's value in the host's status text, writes it under
// `key`, re-applies the window state and rebuilds the menu.
void reportSetting(bool setting, const char* subCommand, const char* key);

}  // namespace vumira

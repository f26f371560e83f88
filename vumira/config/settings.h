// Locating the rc file, reading every setting from it, and writing one
// setting back under its row's key.
#pragma once

#include "config/settings_table.h"

namespace vumira {

// Searches for the rc file anew and overwrites every setting with its stored
// value or default, in the table's order, then fixes up the band range and
// reads the log-band spectrum's keys (config/spectrum_settings.h).
void loadSettings();

// Writes a number under the row's key: WriteBool for a bool row (0 is
// false), WriteInt for the others.
void writeSetting(const Setting& row, int number);
// Writes the row's text under its key as the file keeps it.
void writeSettingText(const Setting& row);

}  // namespace vumira

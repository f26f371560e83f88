// The commands of the log-band spectrum: "@VumiraInternal <name> <value>"
// for each row of kSpectrumSettings, tried after the command table.
#pragma once

namespace vumira {

// Sets the setting that the text names and writes it; a value that the
// setting does not take changes nothing and says so in the status text.
// Returns false when the text names no spectrum setting.
bool runSpectrumCommand(const char* subCommand);

}  // namespace vumira

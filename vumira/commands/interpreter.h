// The broadcast command interpreter.
#pragma once

#include <atomic>

namespace vumira {

void handleBroadcast(const char* command);
void handleReconfigure();
void toggleSetting(bool& setting, const char* subCommand, const char* key);
void reportSetting(bool setting, const char* subCommand, const char* key);

}  // namespace vumira

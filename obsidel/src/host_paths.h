// The host's configuration folder (--home), where GetObsidelPath points.
#pragma once

#include <string>

namespace obsidel {

void setHomeFolder(const std::string& folder);
const std::string& homeFolder();
// A file inside the home folder.
std::string homeFile(const std::string& name);
// The folder that holds the host program.
std::string programFolder();

}  // namespace obsidel

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
// The Vumira module loaded when none is named: beside the host (a build
// tree, the Windows zip), else in ../lib/obsidel from the host's folder
// (an installation, where bin/ holds programs only).
std::string defaultModulePath();

}  // namespace obsidel

// The plug-in's one state record, for a program that builds the analysis
// without the rest of the plug-in.
#include "config/plugin_state.h"

namespace vumira {
PluginState plugin;
}

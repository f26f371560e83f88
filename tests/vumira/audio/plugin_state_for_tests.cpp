// The plug-in's one state record, for the test programs that build the
// capture and analysis code without the rest of the plug-in.
#include "config/plugin_state.h"

namespace vumira {
PluginState plugin;
}

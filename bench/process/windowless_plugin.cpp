// A plug-in that starts, creates nothing and waits to be stopped: the host
// runs its message loop with no plug-in window at all.
#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

PLUGIN_EXPORT int beginPlugin(void*) { return 0; }
PLUGIN_EXPORT void endPlugin(void*) {}

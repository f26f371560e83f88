// A module with nothing in it: tests load a copy of it from a temporary
// folder to stand in for the plug-in's module file, so that the plug-in
// looks for its rc file beside a module path of the test's choosing.
extern "C" int standInModule(void) { return 0; }

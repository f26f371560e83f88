// A module with nothing in it: the display tests load a copy of it from a
// temporary folder to stand in for the plug-in's module file.
extern "C" int displayFixtureModule() { return 0; }

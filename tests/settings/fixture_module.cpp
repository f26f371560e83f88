extern "C" int fixtureModuleMarker(void) { return 1; }

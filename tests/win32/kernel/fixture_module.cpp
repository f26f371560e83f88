extern "C" int fixtureAnswer(void) { return 42; }

// The mark for checks that Wine answers differently from Windows: outside
// Wine it changes nothing; under Wine the failing checks are the known
// difference, and checks that pass there fail the test.
#include <gtest/gtest.h>

#include <windows.h>

#include "known_difference.h"

namespace {

// Wine keeps its own settings in the registry; Windows has no such key.
bool wineRegistryKeyExists() {
#ifdef _WIN32
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
#else
    return false;
#endif
}

TEST(KnownWineDifference, TellsWineFromOtherSystems) {
    EXPECT_EQ(testsupport::runningUnderWine(), wineRegistryKeyExists());
}

TEST(KnownWineDifference, FailingChecksAreCaughtOnlyUnderWine) {
    if (testsupport::runningUnderWine()) {
        int caught = testsupport::catchFailuresUnderWine([] {
            EXPECT_EQ(1, 2);
            EXPECT_TRUE(false);
            ASSERT_EQ(3, 4);
            EXPECT_TRUE(false) << "not reached: a fatal failure ends the marked checks";
        });
        EXPECT_EQ(3, caught);
    } else {
        EXPECT_NONFATAL_FAILURE(KNOWN_WINE_DIFFERENCE("a difference", EXPECT_EQ(1, 2)), "Expected equality");
    }
}

TEST(KnownWineDifference, ChecksThatPassUnderWineFailTheTest) {
    if (testsupport::runningUnderWine()) {
        EXPECT_NONFATAL_FAILURE(KNOWN_WINE_DIFFERENCE("a difference", EXPECT_EQ(1, 1)),
                                "remove the mark \"a difference\"");
    } else {
        KNOWN_WINE_DIFFERENCE("a difference", EXPECT_EQ(1, 1));
        EXPECT_EQ(0, testsupport::catchFailuresUnderWine([] { EXPECT_EQ(1, 1); }));
    }
}

}  // namespace

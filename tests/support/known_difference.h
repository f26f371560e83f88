// Checks that Wine is known to answer differently from Windows. The tests of
// the Win32 subset also run under Wine, a real and independent Win32; where
// Wine itself departs from Windows the checks are wrapped like this:
//
//     KNOWN_WINE_DIFFERENCE("Wine sends no WM_NCCALCSIZE here",
//                           EXPECT_EQ(expected, recorded));
//
// Outside Wine the checks run as written. Under Wine they must fail: their
// failures are reported as the known difference and do not fail the test,
// while checks that pass there fail it, so the mark is removed as soon as
// Wine agrees with Windows.
#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>

namespace testsupport {

inline bool runningUnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

// The checks, with their failures caught while running under Wine. Returns
// the number of failed checks that were caught (0 outside Wine).
inline int catchFailuresUnderWine(const std::function<void()>& checks) {
    if (!runningUnderWine()) {
        checks();
        return 0;
    }
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        checks();
    }
    int failed = 0;
    for (int i = 0; i < results.size(); ++i) {
        const auto& result = results.GetTestPartResult(i);
        if (!result.failed()) continue;
        ++failed;
        std::printf("%s:%d: known Wine difference: %s\n", result.file_name() ? result.file_name() : "?",
                    result.line_number(), result.message());
    }
    return failed;
}

inline void knownWineDifference(const char* reason, const std::function<void()>& checks) {
    int failed = catchFailuresUnderWine(checks);
    if (!runningUnderWine()) return;
    if (failed == 0)
        ADD_FAILURE() << "Wine now answers as Windows does; remove the mark \"" << reason << "\"";
    else
        ::testing::Test::RecordProperty("known_wine_difference", reason);
}

}  // namespace testsupport

#define KNOWN_WINE_DIFFERENCE(reason, ...) ::testsupport::knownWineDifference((reason), [&] { __VA_ARGS__; })

# Test programs of the Windows build: GoogleTest built from its source for
# the mingw-w64 target (Debian's googletest package ships that source), and
# every test run under Wine through scripts/wine-run.sh, which keeps a
# private Wine prefix inside this build folder.
set(VUMIRA_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH
    "GoogleTest source tree to build for the Windows target (Debian package googletest)")
if(NOT EXISTS "${VUMIRA_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt")
    message(FATAL_ERROR "No GoogleTest source at ${VUMIRA_GOOGLETEST_SOURCE}: install the Debian package "
                        "googletest or set VUMIRA_GOOGLETEST_SOURCE")
endif()

# As natively (where finding GTest finds it too), test groups may link Threads::Threads.
find_package(Threads REQUIRED)

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
# EXCLUDE_FROM_ALL: only what our tests link is built.
add_subdirectory("${VUMIRA_GOOGLETEST_SOURCE}/googletest" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)

# ctest runs each program under Wine; test lists are read from the programs
# when ctest runs (the build itself never starts Wine).
set(VUMIRA_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine-prefix" CACHE PATH "Private Wine prefix for the test runs")
set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/wine-run.sh;--prefix;${VUMIRA_WINE_PREFIX}")
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

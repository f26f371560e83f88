#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tests.
#
#   ./test.sh          everything, as CI runs it: the release build's tests,
#                      all of them again under the address and undefined-
#                      behaviour sanitizers, the threaded ones under the thread
#                      sanitizer, the Windows module and host built with
#                      mingw-w64, and the tests of both Windows builds under
#                      Wine: the 32-bit build on its 32-bit half, the 64-bit
#                      build on its 64-bit half
#   ./test.sh quick    the release build and its `unit` tests only: the loop
#                      for one's own edits (tests labelled `system` and `stress`
#                      need Xvfb, PulseAudio, other processes or long waits)
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-full}
case $mode in
    full | quick) ;;
    *) echo "usage: ./test.sh [quick]" >&2; exit 2 ;;
esac

source scripts/packages.sh
# shellcheck disable=SC2086
install_missing_packages $VUMIRA_BUILD_PACKAGES $VUMIRA_TEST_PACKAGES $VUMIRA_PACKAGE_PACKAGES

jobs=$(nproc)
started=$SECONDS
stage() { printf '\n==== %s (at %d s) ====\n' "$*" $((SECONDS - started)); }

# native_stage PRESET [TARGET] [ctest options...]
native_stage() {
    local preset=$1 target=$2
    shift 2
    stage "build ($preset${target:+, $target})"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" ${target:+--target "$target"}
    stage "test ($preset)"
    ctest --preset "$preset" -j "$jobs" "$@"
}

if [ "$mode" = quick ]; then
    native_stage release "" -L unit
    stage "quick run passed"
    exit 0
fi

native_stage release ""
native_stage asan ""
# The thread sanitizer's preset runs the tests labelled `threads`; only their programs are built.
native_stage tsan thread_tests

for arch in x86_64 i686; do
    stage "build for Windows ($arch)"
    cmake --preset "mingw-$arch" >/dev/null
    cmake --build --preset "mingw-$arch" -j "$jobs"
done

# ---- Wine stage: both Windows builds' tests under Wine, export tables checked ----
stage "tests under Wine (x86_64 and i686)"
scripts/wine-tests.sh --native-build build/release
stage "all stages passed"

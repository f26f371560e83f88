#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: natively, under the
# address and undefined-behaviour sanitizers, the threaded tests under the
# thread sanitizer, and builds the Windows module and host with mingw-w64.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
# shellcheck disable=SC2086
install_missing_packages $VUMIRA_BUILD_PACKAGES $VUMIRA_TEST_PACKAGES

jobs=$(nproc)
stage() { printf '\n==== %s ====\n' "$*"; }

native_stage() {
    local preset=$1
    shift
    stage "build ($preset)"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    stage "test ($preset)"
    ctest --preset "$preset" -j "$jobs" "$@"
}

native_stage release
native_stage asan
native_stage tsan

for arch in x86_64 i686; do
    stage "build for Windows ($arch)"
    cmake --preset "mingw-$arch" >/dev/null
    cmake --build --preset "mingw-$arch" -j "$jobs"
done

# ---- Wine stage: the 64-bit Windows build's tests under Wine ----
stage "tests under Wine (x86_64)"
scripts/wine-tests.sh --native-build build/release

#!/usr/bin/env bash
# Installs what is missing, builds, and runs the host with the Vumira module
# until interrupted. Arguments go to the host (see README.md). Without a
# choice of its own it records from the sound server's default source when
# one answers, else from the built-in demo signal, and shows the window on
# the X display when there is one, else in the terminal.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
# shellcheck disable=SC2086
install_missing_packages $VUMIRA_BUILD_PACKAGES $VUMIRA_RUN_PACKAGES
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release -DVUMIRA_BUILD_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)" --target obsidel vumira

# The host itself falls back to the demo signal when nothing records, and
# says on its first line what it chose and why.
exec build/run/bin/obsidel "$@"

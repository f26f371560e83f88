#!/usr/bin/env bash
# Builds the fuzz targets (clang with libFuzzer, the address and undefined-
# behaviour sanitizers: the `fuzz` preset) and runs each for SECONDS
# (default 60), one after the other, reporting the executions and the
# coverage of each. Exits 0 when no target found anything; a finding is
# kept in build/fuzz/findings/ and named in the report (add it to the
# target's corpus in tests/fuzz/TARGET/ once it is fixed).
#
#   scripts/fuzz.sh [SECONDS]
#   FUZZ_TARGETS="analysis style_reader" scripts/fuzz.sh 600   # some targets only
#
# Each target grows a corpus of its own in build/fuzz/corpus/TARGET, seeded
# from the committed one, so a later run starts where the last one ended.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
case $seconds in
    '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2 ;;
esac

source scripts/packages.sh
# shellcheck disable=SC2086
install_missing_packages $VUMIRA_BUILD_PACKAGES $VUMIRA_FUZZ_PACKAGES libgtest-dev

targets=${FUZZ_TARGETS:-"settings_store style_reader command_interpreter analysis command_request sound_input"}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${FUZZ_BUILD_JOBS:-$(nproc)}"

build=build/fuzz
mkdir -p "$build/findings"
# The settings store flushes every write to disk; a memory file system
# keeps the fuzzer's thousands of writes from wearing the disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
export VUMIRA_DISPLAY=headless

failed=0
printf '%-22s %12s %8s %8s  %s\n' target executions cov ft result
for target in $targets; do
    program="$build/fuzz/${target}_fuzz"
    seeds="tests/fuzz/$target"
    corpus="$build/corpus/$target"
    log="$build/findings/$target.log"
    mkdir -p "$corpus"
    options=(-max_total_time="$seconds" -print_final_stats=1 -timeout=30 -rss_limit_mb=4096
             -artifact_prefix="$build/findings/$target-")
    [ -f "tests/fuzz/$target.dict" ] && options+=(-dict="tests/fuzz/$target.dict")
    result=ok
    "$program" "${options[@]}" "$corpus" "$seeds" >"$log" 2>&1 || result="FOUND (see $log)"
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    features=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    printf '%-22s %12s %8s %8s  %s\n' "$target" "${executions:-?}" "${coverage:-?}" "${features:-?}" "$result"
    [ "$result" = ok ] || failed=1
done
exit $failed

#!/usr/bin/env bash
# The Wine stage of ./test.sh: builds the 64-bit Windows module, host and
# test programs with mingw-w64 and runs every test under Wine, a real and
# independent Win32. Then it holds the Wine run's list of tests against the
# native one: a native test that did not run under Wine must be listed, with
# its reason, in tests/wine/excluded-tests.txt.
#
#   scripts/wine-tests.sh [--native-build DIR]     (default: build/release)
#   scripts/wine-tests.sh --only REGEX             (while working on some tests:
#                                                   runs those, compares nothing)
#
# Tests run one at a time: all Wine programs share one desktop, with one
# focus and one pointer. A private PulseAudio server whose null sink plays a
# tone is the sound server for the recording tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

native_build=build/release
only=""
while [ $# -gt 0 ]; do
    case $1 in
        --native-build) native_build=$2; shift 2 ;;
        --only) only=$2; shift 2 ;;
        *) echo "usage: scripts/wine-tests.sh [--native-build DIR | --only REGEX]" >&2; exit 2 ;;
    esac
done

started=$SECONDS
build=build/mingw-x86_64
exclusions=tests/wine/excluded-tests.txt
prefix=$root/$build/wine-prefix
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

say() { printf 'wine stage: %s\n' "$*"; }
fail() { printf 'wine stage: FAILED: %s\n' "$*" >&2; exit 1; }

# ---- the native list of tests ----
if [ -n "$only" ]; then
    :
elif [ ! -f "$native_build/CTestTestfile.cmake" ]; then
    say "no native build in $native_build; building it for the list of tests"
    cmake --preset release >/dev/null
    cmake --build --preset release -j "$jobs"
    native_build=build/release
fi
list_tests() {
    ctest --test-dir "$1" -N "${@:2}" | sed -n 's/^ *Test *#[0-9]*: //p' | sort -u
}
if [ -z "$only" ]; then
    native_tests=$(list_tests "$native_build")
    [ -n "$native_tests" ] || fail "the native build in $native_build lists no tests"
fi

# ---- build ----
say "building the 64-bit Windows build with its tests"
cmake --preset mingw-x86_64 >/dev/null
cmake --build --preset mingw-x86_64 -j "$jobs"

# ---- Wine: a private prefix, its server kept up for the whole run ----
scripts/wine-run.sh --prefix "$prefix" --setup
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver=${VUMIRA_WINESERVER:-/usr/lib/wine/wineserver}

scratch=$(mktemp -d)
pulse_pid=""
cleanup() {
    "$wineserver" -k >/dev/null 2>&1 || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP PIPE
# A server of this private prefix left from an earlier run would refuse to
# become persistent; ours is started afresh.
"$wineserver" -k >/dev/null 2>&1 || true
"$wineserver" -w >/dev/null 2>&1 || true
# Kept up between the tests; should this script be killed outright, the
# server and the sound server below still end on their own once idle.
"$wineserver" -p60 </dev/null >/dev/null 2>&1

# ---- a private sound server: its default source hears a steady tone ----
tone_hz=1000
start_pulse() {
    local folder=$scratch/pulse
    mkdir -p "$folder/runtime" "$folder/state" "$folder/config"
    export PULSE_SERVER=unix:$folder/native
    # The server's own folders, away from the user's.
    HOME=$folder XDG_RUNTIME_DIR=$folder XDG_CONFIG_HOME=$folder/config \
        PULSE_RUNTIME_PATH=$folder/runtime PULSE_STATE_PATH=$folder/state \
        pulseaudio -n --daemonize=no --exit-idle-time=900 --use-pid-file=no --realtime=no --high-priority=no \
        --disable-shm=true --log-target=file:"$folder/server.log" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$folder/native" \
        -L "module-null-sink sink_name=tone_sink rate=44100 channels=2" \
        -L "module-sine sink=tone_sink frequency=$tone_hz" \
        </dev/null >/dev/null 2>&1 &
    pulse_pid=$!
    local waited
    for waited in $(seq 1 200); do
        pactl info >/dev/null 2>&1 && break
        kill -0 "$pulse_pid" 2>/dev/null || { cat "$folder/server.log" >&2; fail "the private PulseAudio server did not start"; }
        sleep 0.1
    done
    pactl info >/dev/null 2>&1 || fail "the private PulseAudio server does not answer"
    pactl set-default-sink tone_sink
    pactl set-default-source tone_sink.monitor
    # The recording tests compare what they hear with this.
    export VUMIRA_WINE_TONE_HZ=$tone_hz
}
start_pulse

# ---- exclusions ----
# Each entry: a test name, or a suite's pattern "Suite.*", then its reason.
declare -a excluded_patterns=()
while IFS= read -r line || [ -n "$line" ]; do
    line=${line%%#*}
    [[ $line =~ ^[[:space:]]*$ ]] && continue
    read -r pattern reason <<<"$line"
    [ -n "$reason" ] || fail "$exclusions: '$pattern' has no reason"
    [[ $pattern == \** || $pattern == *\** && $pattern != *.\* ]] &&
        fail "$exclusions: '$pattern': a pattern may only take a whole suite (Suite.*)"
    excluded_patterns+=("$pattern")
done <"$exclusions"

matches_exclusion() {
    local name=$1 pattern
    for pattern in "${excluded_patterns[@]}"; do
        # shellcheck disable=SC2053
        [[ $name == $pattern ]] && return 0
    done
    return 1
}

wine_build_tests=$(list_tests "$build")
[ -n "$wine_build_tests" ] || fail "the Windows build lists no tests (did Wine run the test programs?)"

# ctest takes the tests to leave out as one expression of exact names.
exclude_regex=""
while IFS= read -r name; do
    [ -n "$name" ] || continue
    if matches_exclusion "$name"; then
        escaped=$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|/]/\\&/g')
        exclude_regex+="${exclude_regex:+|}^${escaped}\$"
    fi
done <<<"$wine_build_tests"

# ---- the run ----
if [ -n "$only" ]; then
    say "running the tests that match '$only' under Wine"
    CI=true ctest --test-dir "$build" --output-on-failure --timeout 300 -R "$only"
    exit $?
fi
say "running the tests under Wine, one at a time"
results=$scratch/results.xml
ctest_status=0
# Everything a test needs is provided here, so a test that would skip fails.
CI=true ctest --test-dir "$build" --output-on-failure --timeout 300 --output-junit "$results" \
    --test-output-size-passed 1000000 --test-output-size-failed 1000000 \
    ${exclude_regex:+-E "$exclude_regex"} || ctest_status=$?

# ---- checks ----
problems=0
problem() { printf 'wine stage: %s\n' "$*" >&2; problems=$((problems + 1)); }

[ -f "$results" ] || fail "ctest wrote no results"
# Every test that passed must show Google Test running it and passing it: a
# program that did nothing (as a 32-bit one does here) exits 0 as well.
# ctest's JUnit file: one <testcase name=".." status=".."> per test, with the
# test's output in <system-out>; names carry XML escapes.
ran_tests=$(awk '
    function unescape(text) {
        gsub(/&quot;/, "\"", text); gsub(/&apos;/, "\047", text); gsub(/&lt;/, "<", text)
        gsub(/&gt;/, ">", text); gsub(/&amp;/, "\\&", text)
        return text
    }
    function finish() {
        if (name == "") return
        printf "%s\t%s\n", (status == "run" && !ok) ? "NOTHING" : status, unescape(name)
        name = ""
    }
    /<testcase / {
        finish()
        name = $0; sub(/.*<testcase name="/, "", name); sub(/" classname=.*/, "", name)
        status = $0; sub(/.* status="/, "", status); sub(/".*/, "", status)
        ok = 0
    }
    index($0, "[       OK ]") { ok = 1 }
    /<\/testcase>/ { finish() }
    END { finish() }
' "$results")
while IFS=$'\t' read -r status name; do
    [ -n "$name" ] || continue
    [ "$status" = NOTHING ] && problem "$name passed without running a test"
done <<<"$ran_tests"
ran_names=$(printf '%s\n' "$ran_tests" | cut -f2 | sort -u)

missing=0
while IFS= read -r name; do
    [ -n "$name" ] || continue
    if ! grep -qxF -- "$name" <<<"$ran_names" && ! matches_exclusion "$name"; then
        problem "$name runs natively but not under Wine, and $exclusions does not say why"
        missing=$((missing + 1))
    fi
done <<<"$native_tests"

excluded_count=0
for pattern in "${excluded_patterns[@]}"; do
    found=0
    while IFS= read -r name; do
        # shellcheck disable=SC2053
        [[ -n $name && $name == $pattern ]] && { found=1; excluded_count=$((excluded_count + 1)); }
    done <<<"$(printf '%s\n%s\n' "$native_tests" "$wine_build_tests" | sort -u)"
    [ $found -eq 1 ] || problem "$exclusions names '$pattern', which is no test any more"
done

ran_count=$(grep -c . <<<"$ran_names" || true)
failed_count=$(grep -c -v -P '^run\t' <<<"$ran_tests" || true)
windows_only=$(comm -13 <(printf '%s\n' "$native_tests") <(printf '%s\n' "$ran_names") | grep -c . || true)
elapsed=$((SECONDS - started))

if [ $ctest_status -ne 0 ] || [ $problems -ne 0 ]; then
    fail "$ran_count tests run under Wine, $failed_count failed, $problems problems (in ${elapsed} s)"
fi
say "$ran_count tests run under Wine, none failed ($windows_only of them Windows-only; $excluded_count native tests excluded with their reasons in $exclusions); ${elapsed} s"

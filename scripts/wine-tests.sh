#!/usr/bin/env bash
# The Wine stage of ./test.sh: builds the Windows module, host and test
# programs with mingw-w64 for both architectures, checks their export tables,
# and runs every test under Wine, a real and independent Win32: the x86_64
# build on Wine's 64-bit half, the i686 build on its 32-bit half. Then it
# holds each architecture's list of tests against the native one: a native
# test that did not run under Wine must be declared native-only, with its
# reason, where it is registered (NATIVE_ONLY in tests/CMakeLists.txt); the
# native build writes those into its wine-skip-list/ folder.
#
#   scripts/wine-tests.sh [--native-build DIR]     (default: build/release)
#   scripts/wine-tests.sh --only REGEX             (while working on some tests:
#                                                   runs those, compares nothing)
#   ... --arch x86_64|i686                         (one architecture only)
#   ... --only REGEX --repeat N                    (each test up to N times, until one fails)
#
# Tests run one at a time: all Wine programs of a prefix share one desktop,
# with one focus and one pointer. A private PulseAudio server whose null sink
# plays a tone is the sound server for the recording tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/lib/wine-verdicts.sh

native_build=build/release
only=""
repeat=1
architectures=(x86_64 i686)
usage="usage: scripts/wine-tests.sh [--native-build DIR | --only REGEX [--repeat N]] [--arch x86_64|i686]"
while [ $# -gt 0 ]; do
    case $1 in
        --native-build) native_build=$2; shift 2 ;;
        --only) only=$2; shift 2 ;;
        --repeat) repeat=$2; shift 2 ;;
        --arch)
            [[ $2 == x86_64 || $2 == i686 ]] || { echo "$usage" >&2; exit 2; }
            architectures=("$2"); shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done

started=$SECONDS
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
build_of() { echo "build/mingw-$1"; }
prefix_of() { echo "$root/build/mingw-$1/wine-prefix"; }

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

# ---- build, and the export tables ----
for arch in "${architectures[@]}"; do
    say "building the $arch Windows build with its tests"
    cmake --preset "mingw-$arch" >/dev/null
    cmake --build --preset "mingw-$arch" -j "$jobs"
    scripts/check-exports.sh "$(build_of "$arch")" "$arch" || fail "the $arch build's export tables"
done

# ---- which builds this machine can run ----
# Some kernels refuse 32-bit programs whatever is installed: the i686 build
# is then built and its export tables checked, and its tests are not run.
declare -A not_run=()
if [[ " ${architectures[*]} " == *" i686 "* ]]; then
    wine32=${VUMIRA_WINE32:-/usr/lib/wine/wine}
    [ -x "$wine32" ] || fail "the 32-bit half of Wine is not installed (Debian's wine32:i386; scripts/packages.sh installs it)"
    if ! reason=$(wine_runs_32bit "$wine32"); then
        not_run[i686]=$reason
        say "the i686 build's tests will not run: $reason"
        remaining=()
        for arch in "${architectures[@]}"; do [ "$arch" = i686 ] || remaining+=("$arch"); done
        architectures=("${remaining[@]}")
    fi
fi

# ---- Wine: a private prefix per build, its server kept up for the whole run ----
for arch in "${architectures[@]}"; do
    scripts/wine-run.sh --prefix "$(prefix_of "$arch")" --setup
done
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver=${VUMIRA_WINESERVER:-/usr/lib/wine/wineserver}

scratch=$(mktemp -d)
pulse_pid=""
cleanup() {
    for arch in "${architectures[@]}"; do
        WINEPREFIX=$(prefix_of "$arch") "$wineserver" -k >/dev/null 2>&1 || true
    done
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP PIPE
for arch in "${architectures[@]}"; do
    export WINEPREFIX
    WINEPREFIX=$(prefix_of "$arch")
    # A server of this private prefix left from an earlier run would refuse
    # to become persistent; ours is started afresh.
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
    # Kept up between the tests; should this script be killed outright, the
    # server and the sound server below still end on their own once idle.
    "$wineserver" -p60 </dev/null >/dev/null 2>&1
done
unset WINEPREFIX

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
# The native build's skip list, which its ctest listing above wrote from the
# tests' registrations. Each entry: the architecture it applies to ("all",
# "x86_64" or "i686"), a test name or a suite's pattern "Suite.*", and its
# reason, separated by tabs (a name may hold spaces, and tabs of its own).
exclusions=$native_build/wine-skip-list
[ -n "$only" ] || [ -d "$exclusions" ] || fail "the native build in $native_build has no $exclusions (configure it again)"
declare -a excluded_patterns=() excluded_arches=()
while IFS= read -r line || [ -n "$line" ]; do
    [[ $line == *$'\t'*$'\t'* ]] || fail "$exclusions: '$line' is not ARCH<tab>NAME<tab>REASON"
    arch=${line%%$'\t'*}
    pattern=${line#*$'\t'}
    reason=${pattern##*$'\t'}
    pattern=${pattern%$'\t'*}
    [[ $arch == all || $arch == x86_64 || $arch == i686 ]] || fail "$exclusions: '$arch' is no architecture (all, x86_64 or i686)"
    [ "$arch" != all ] || arch=""
    [ -n "$reason" ] || fail "$exclusions: '$pattern' has no reason"
    [[ $pattern == \** || $pattern == *\** && $pattern != *.\* ]] &&
        fail "$exclusions: '$pattern': a pattern may only take a whole suite (Suite.*)"
    # Matched as a pattern below: a name's own [, ], ? and \ stand for themselves.
    pattern=${pattern//\\/\\\\}; pattern=${pattern//\[/\\[}; pattern=${pattern//\]/\\]}; pattern=${pattern//\?/\\?}
    excluded_patterns+=("$pattern")
    excluded_arches+=("$arch")
done < <(cat "$exclusions"/*.txt 2>/dev/null | sort -u)  # a test of a split registration may come twice

# matches_exclusion NAME ARCH
matches_exclusion() {
    local name=$1 arch=$2 i
    for i in "${!excluded_patterns[@]}"; do
        [[ -z ${excluded_arches[i]} || ${excluded_arches[i]} == "$arch" ]] || continue
        # shellcheck disable=SC2053
        [[ $name == ${excluded_patterns[i]} ]] && return 0
    done
    return 1
}

# ---- the run ----
problems=0
problem() { printf 'wine stage: %s\n' "$*" >&2; problems=$((problems + 1)); }

if [ -n "$only" ]; then
    status=0
    for arch in "${architectures[@]}"; do
        say "running the tests that match '$only' under Wine ($arch)"
        CI=true ctest --test-dir "$(build_of "$arch")" --output-on-failure --timeout 300 -R "$only" \
            --repeat "until-fail:$repeat" || status=1
    done
    exit $status
fi

# run_architecture ARCH: runs the build's tests, checks what ran, and leaves
# a summary in $summary.
declare -A summary=()
failed_total=0
run_architecture() {
    local arch=$1 build arch_started=$SECONDS
    build=$(build_of "$arch")
    say "running the $arch build's tests under Wine, one at a time"
    local wine_build_tests
    wine_build_tests=$(list_tests "$build")
    if [ -z "$wine_build_tests" ]; then
        problem "the $arch build lists no tests (did Wine run the test programs?)"
        summary[$arch]="no tests"
        return
    fi

    # ctest takes the tests to leave out as one expression of exact names.
    local exclude_regex="" name escaped
    while IFS= read -r name; do
        [ -n "$name" ] || continue
        if matches_exclusion "$name" "$arch"; then
            escaped=$(printf '%s' "$name" | sed 's/[][\.*^$+?(){}|/]/\\&/g')
            exclude_regex+="${exclude_regex:+|}^${escaped}\$"
        fi
    done <<<"$wine_build_tests"

    local results=$scratch/results-$arch.xml ctest_status=0
    # Everything a test needs is provided here, so a test that would skip fails.
    CI=true ctest --test-dir "$build" --output-on-failure --timeout 300 --output-junit "$results" \
        --test-output-size-passed 1000000 --test-output-size-failed 1000000 \
        ${exclude_regex:+-E "$exclude_regex"} || ctest_status=$?
    [ -f "$results" ] || { problem "ctest wrote no results for $arch"; summary[$arch]="no results"; return; }
    [ $ctest_status -eq 0 ] || problem "ctest reports failures for $arch (status $ctest_status)"

    # Every test that passed must show Google Test running it and passing
    # it: a program that did nothing (as a 32-bit one does on a Wine without
    # its 32-bit half) exits 0 as well. ctest's JUnit file: one
    # <testcase name=".." status=".."> per test, with the test's output in
    # <system-out>; names carry XML escapes.
    local ran_tests
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
    local status
    while IFS=$'\t' read -r status name; do
        [ -n "$name" ] || continue
        [ "$status" = NOTHING ] && problem "$arch: $name passed without running a test"
    done <<<"$ran_tests"
    local ran_names
    ran_names=$(printf '%s\n' "$ran_tests" | cut -f2 | sort -u)

    while IFS= read -r name; do
        [ -n "$name" ] || continue
        if ! grep -qxF -- "$name" <<<"$ran_names" && ! matches_exclusion "$name" "$arch"; then
            problem "$name runs natively but not under Wine ($arch), and its registration does not declare it NATIVE_ONLY"
        fi
    done <<<"$native_tests"

    local excluded_count=0 i found
    local known
    known=$(printf '%s\n%s\n' "$native_tests" "$wine_build_tests" | sort -u)
    for i in "${!excluded_patterns[@]}"; do
        [[ -z ${excluded_arches[i]} || ${excluded_arches[i]} == "$arch" ]] || continue
        found=0
        while IFS= read -r name; do
            # shellcheck disable=SC2053
            [[ -n $name && $name == ${excluded_patterns[i]} ]] && { found=1; excluded_count=$((excluded_count + 1)); }
        done <<<"$known"
        [ $found -eq 1 ] || problem "a registration declares '${excluded_patterns[i]}' native-only for $arch ($exclusions), which is no test there any more"
    done

    # What wine-run.sh let pass of Wine's own troubles, test by test.
    while IFS= read -r name; do
        [ -z "$name" ] || started_again+=("$name ($arch)")
    done < <(wine_tests_with_mark "$WINE_MARK_STARTED_AGAIN" "$results")
    while IFS= read -r name; do
        [ -z "$name" ] || exit_assertions+=("$name ($arch)")
    done < <(wine_tests_with_mark "$WINE_MARK_EXIT_ASSERTION" "$results")

    local ran_count failed_count windows_only
    ran_count=$(grep -c . <<<"$ran_names" || true)
    failed_count=$(grep -c -v -P '^run\t' <<<"$ran_tests" || true)
    windows_only=$(comm -13 <(printf '%s\n' "$native_tests") <(printf '%s\n' "$ran_names") | grep -c . || true)
    failed_total=$((failed_total + failed_count))
    summary[$arch]="$ran_count tests, $failed_count failed ($windows_only Windows-only; $excluded_count native tests excluded) in $((SECONDS - arch_started)) s"
}

started_again=()
exit_assertions=()

for arch in "${architectures[@]}"; do
    run_architecture "$arch"
done

[[ " ${architectures[*]} " == *" x86_64 "* ]] && { scripts/wine-installer-test.sh --arch x86_64 --prefix "$(prefix_of x86_64)" || problem "the Windows installer (scripts/wine-installer-test.sh)"; }

# ---- the closing line: both architectures ----
report=""
for arch in "${architectures[@]}"; do
    report+="${report:+; }$arch: ${summary[$arch]}"
done
for arch in "${!not_run[@]}"; do
    report+="${report:+; }$arch: built and its export tables checked, its tests not run: ${not_run[$arch]}"
done
joined() { local IFS='|'; printf '%s' "$*" | sed 's/|/, /g'; }
if [ ${#started_again[@]} -gt 0 ]; then
    report+="; ${#started_again[@]} tests started once more after Wine ended them before any output: $(joined "${started_again[@]}")"
fi
if [ ${#exit_assertions[@]} -gt 0 ]; then
    report+="; ${#exit_assertions[@]} tests passed despite Wine's loader assertion at exit: $(joined "${exit_assertions[@]}")"
fi
elapsed=$((SECONDS - started))
if [ $problems -ne 0 ] || [ $failed_total -ne 0 ]; then
    fail "under Wine, $report; $problems problems (in ${elapsed} s)"
fi
say "under Wine, none failed: $report; reasons for the exclusions in $exclusions; ${elapsed} s in all"

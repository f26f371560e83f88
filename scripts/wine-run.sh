#!/usr/bin/env bash
# Runs one program of a Windows build under Wine: the test runner (CMake's
# cross-compiling emulator) and the Wine stage both go through here.
#
#   wine-run.sh --prefix DIR PROGRAM.exe [ARGUMENTS...]
#   wine-run.sh --prefix DIR --setup
#
# The Wine prefix DIR is private to one build folder and is made on first
# use: no Mono or Gecko prompts, no debug chatter, and the null graphics
# driver, so windows live in memory and no display is needed. An x86-64
# program runs on Wine's 64-bit loader, an i386 one on its 32-bit loader
# (Debian's wine32:i386); without that half Wine would let a 32-bit program
# exit 0 having done nothing, so it is refused rather than counted as run.
set -euo pipefail
source "$(dirname "$0")/lib/wine-verdicts.sh"

wine64_program=${VUMIRA_WINE64:-/usr/lib/wine/wine64}
wine32_program=${VUMIRA_WINE32:-/usr/lib/wine/wine}
wineserver_program=${VUMIRA_WINESERVER:-/usr/lib/wine/wineserver}

prefix=""
setup_only=0
while [ $# -gt 0 ]; do
    case $1 in
        --prefix) prefix=$2; shift 2 ;;
        --setup) setup_only=1; shift ;;
        *) break ;;
    esac
done
if [ -z "$prefix" ]; then
    echo "wine-run.sh: --prefix DIR is required" >&2
    exit 2
fi

# Wine wants an absolute prefix.
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# What the prefix was made with: Wine's version and its halves. A prefix
# made before the 32-bit half was installed no longer starts even 64-bit
# programs once it is ("could not load kernel32.dll"), so a prefix whose
# record differs from the installed Wine is made again.
installed_wine() {
    local halves="wine64"
    [ -x "$wine32_program" ] && halves+=" wine32"
    printf '%s; %s\n' "$("$wine64_program" --version 2>/dev/null || echo "no wine64")" "$halves"
}
marker=.vumira-wine

make_prefix() {
    (
        flock 9
        local wanted
        wanted=$(installed_wine)
        [ "$(cat "$WINEPREFIX/$marker" 2>/dev/null)" = "$wanted" ] && exit 0
        if [ -e "$WINEPREFIX" ]; then
            # Only what looks like a Wine prefix is removed.
            [ -e "$WINEPREFIX/system.reg" ] || [ -e "$WINEPREFIX/.vumira-ready" ] || [ -e "$WINEPREFIX/$marker" ] || {
                echo "wine-run.sh: $WINEPREFIX exists and is no Wine prefix; not replacing it" >&2
                exit 1
            }
            echo "wine-run.sh: the Wine prefix $WINEPREFIX was made for another Wine" \
                "($(cat "$WINEPREFIX/$marker" 2>/dev/null || echo "unrecorded")); making it again for $wanted" >&2
            "$wineserver_program" -k >/dev/null 2>&1 || true
            "$wineserver_program" -w >/dev/null 2>&1 || true
            rm -rf "$WINEPREFIX"
        fi
        echo "wine-run.sh: making the Wine prefix $WINEPREFIX" >&2
        "$wine64_program" wineboot -i </dev/null >/dev/null 2>&1
        "$wine64_program" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
        # The registry reaches its files when the server ends.
        "$wineserver_program" -w
        grep -q '"Graphics"="null"' "$WINEPREFIX/user.reg" || {
            echo "wine-run.sh: the null graphics driver was not recorded in $WINEPREFIX/user.reg" >&2
            exit 1
        }
        printf '%s\n' "$wanted" >"$WINEPREFIX/$marker"
    ) 9>"$WINEPREFIX.lock"
}

# The machine field of the PE header: 0x8664 for x86-64, 0x14c for i386.
pe_machine() {
    local file=$1 pe_offset
    [ "$(head -c 2 "$file")" = "MZ" ] || return 1
    pe_offset=$(od -An -t u4 -j 60 -N 4 "$file" | tr -d ' ')
    [ "$(od -An -c -j "$pe_offset" -N 4 "$file" | tr -d ' ')" = 'PE\0\0' ] || return 1
    printf '%x\n' "0x$(od -An -t x2 -j $((pe_offset + 4)) -N 2 "$file" | tr -d ' ')"
}

make_prefix
[ $setup_only -eq 1 ] && exit 0

if [ $# -eq 0 ]; then
    echo "wine-run.sh: no program named" >&2
    exit 2
fi
program=$1
shift
machine=$(pe_machine "$program") || {
    echo "wine-run.sh: $program is not a Windows program" >&2
    exit 2
}
case $machine in
    8664) wine_program=$wine64_program ;;
    14c)
        wine_program=$wine32_program
        [ -x "$wine_program" ] || {
            echo "wine-run.sh: $program is an i386 program and the 32-bit half of Wine ($wine_program) is not" \
                "installed: install wine32:i386 (scripts/packages.sh does)" >&2
            exit 2
        }
        ;;
    *)
        echo "wine-run.sh: $program is for machine 0x$machine, neither x86-64 nor i386" >&2
        exit 2
        ;;
esac
# Wine leaves its own service processes running for a while after the
# program ends, and they would hold on to the caller's output pipes (a test
# runner would wait for them): the program's output goes through files.
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT
run_once() {
    status=0
    "$wine_program" "$program" "$@" </dev/null >"$output/stdout" 2>"$output/stderr" || status=$?
}
run_once "$@"
# A failure with not a byte of output from Wine or the program (seen now and
# then as one wineserver hands over to the next) means the program never
# ran: it gets one more start, marked so that the stage counts and names it;
# a program that fails again counts.
if [ $status -ne 0 ] && [ ! -s "$output/stdout" ] && [ ! -s "$output/stderr" ]; then
    echo "$WINE_MARK_STARTED_AGAIN $program $* (status $status before any output)" >&2
    run_once "$@"
fi
cat "$output/stdout"
cat "$output/stderr" >&2
# glibc's loader now and then asserts while a Wine program exits (a library
# loaded by one of Wine's threads while the process unloads them): a test
# whose own last word was its success, and whose only fault is that line,
# has passed. Marked so that the stage counts and names it.
if [ $status -ne 0 ] && wine_only_exit_assertion "$output/stdout" "$output/stderr"; then
    echo "$WINE_MARK_EXIT_ASSERTION $program $* (status $status)" >&2
    status=0
fi
exit $status

#!/usr/bin/env bash
# Runs one program of the 64-bit Windows build under Wine: the test runner
# (CMake's cross-compiling emulator) and the Wine stage both go through here.
#
#   wine-run.sh --prefix DIR PROGRAM.exe [ARGUMENTS...]
#   wine-run.sh --prefix DIR --setup
#
# The Wine prefix DIR is private to one build folder and is made on first
# use: no Mono or Gecko prompts, no debug chatter, and the null graphics
# driver, so windows live in memory and no display is needed. Wine here runs
# 64-bit programs only and lets a 32-bit one exit 0 having done nothing, so a
# program that is not x86-64 is refused rather than counted as run.
set -euo pipefail

wine_program=${VUMIRA_WINE:-/usr/lib/wine/wine64}
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

make_prefix() {
    (
        flock 9
        [ -e "$WINEPREFIX/.vumira-ready" ] && exit 0
        echo "wine-run.sh: making the Wine prefix $WINEPREFIX" >&2
        "$wine_program" wineboot -i </dev/null >/dev/null 2>&1
        "$wine_program" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
        # The registry reaches its files when the server ends.
        "$wineserver_program" -w
        grep -q '"Graphics"="null"' "$WINEPREFIX/user.reg" || {
            echo "wine-run.sh: the null graphics driver was not recorded in $WINEPREFIX/user.reg" >&2
            exit 1
        }
        touch "$WINEPREFIX/.vumira-ready"
    ) 9>"$WINEPREFIX.lock"
}

# The machine field of the PE header: 0x8664 for x86-64, 0x14c for i386.
pe_machine() {
    local file=$1 pe_offset
    [ "$(head -c 2 "$file")" = "MZ" ] || return 1
    pe_offset=$(od -An -t u4 -j 60 -N 4 "$file" | tr -d ' ')
    [ "$(od -An -c -j "$pe_offset" -N 4 "$file" | tr -d ' ')" = 'PE\0\0' ] || return 1
    od -An -t x2 -j $((pe_offset + 4)) -N 2 "$file" | tr -d ' '
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
if [ "$machine" != "8664" ]; then
    echo "wine-run.sh: $program is not an x86-64 program (machine 0x$machine); Wine here would not run it" >&2
    exit 2
fi
# Wine leaves its own service processes running for a while after the
# program ends, and they would hold on to the caller's output pipes (a test
# runner would wait for them): the program's output goes through files.
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT
status=0
"$wine_program" "$program" "$@" </dev/null >"$output/stdout" 2>"$output/stderr" || status=$?
cat "$output/stdout"
cat "$output/stderr" >&2
exit $status

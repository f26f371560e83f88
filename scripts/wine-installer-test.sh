#!/usr/bin/env bash
# The Windows installer under Wine: makes it (scripts/package.sh), installs
# it silently (/S) into a Wine prefix, checks what it laid out (the program,
# the module, the styles, the Start-menu entry, the uninstaller and its
# entry among the installed programs), runs the installed host (--version,
# then a short run that saves a choice into the user's obsidel.rc),
# uninstalls silently and checks that nothing of ours stayed behind but the
# user's settings: obsidel.rc, and a Vumira.rc that the plug-in wrote beside
# the module (Wine lets a user write Program Files).
#
#   scripts/wine-installer-test.sh [--arch x86_64|i686] [--prefix DIR] [--installer FILE]
#
# The prefix defaults to one of its own in build/wine-installer-ARCH; the
# Wine stage passes its test prefix, whose private sound server lets the
# plug-in's capture open (without one, Wine's wave-in may fail and the
# plug-in's message box would wait: each run here has a time limit).
set -euo pipefail
cd "$(dirname "$0")/.."

arch=x86_64
prefix=""
installer=""
usage="usage: scripts/wine-installer-test.sh [--arch x86_64|i686] [--prefix DIR] [--installer FILE]"
while [ $# -gt 0 ]; do
    case $1 in
        --arch)
            [[ ${2:-} == x86_64 || ${2:-} == i686 ]] || { echo "$usage" >&2; exit 2; }
            arch=$2; shift 2 ;;
        --prefix) prefix=$2; shift 2 ;;
        --installer) installer=$2; shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done

say() { printf 'installer check (%s): %s\n' "$arch" "$*"; }
problems=0
problem() { printf 'installer check (%s): FAILED: %s\n' "$arch" "$*" >&2; problems=$((problems + 1)); }
fail() { problem "$*"; exit 1; }

if [ "$arch" = x86_64 ]; then
    kind=win64
    wine=${VUMIRA_WINE64:-/usr/lib/wine/wine64}
    program_files="Program Files"
else
    kind=win32
    wine=${VUMIRA_WINE32:-/usr/lib/wine/wine}
    # A 32-bit program's Program Files on 64-bit Windows (the prefixes are 64-bit).
    program_files="Program Files (x86)"
fi
[ -x "$wine" ] || fail "Wine's loader for $arch ($wine) is not installed"
[ -n "$prefix" ] || prefix=build/wine-installer-$arch/prefix
scripts/wine-run.sh --prefix "$prefix" --setup
export WINEPREFIX
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ -z "$installer" ]; then
    say "making the installer (scripts/package.sh $kind)"
    scripts/package.sh -o "$scratch/packages" "$kind" >"$scratch/package.log" 2>&1 ||
        { cat "$scratch/package.log" >&2; fail "scripts/package.sh $kind"; }
    installer=$(find "$scratch/packages" -name "obsidel-*-$kind-setup.exe" | head -n 1)
    [ -n "$installer" ] || fail "scripts/package.sh $kind left no installer beside the zip: $(ls "$scratch/packages")"
    ls "$scratch/packages"/obsidel-*-"$kind".zip >/dev/null 2>&1 || problem "no zip beside the installer"
fi
version=$(basename "$installer" | sed -n "s/^obsidel-\(.*\)-$kind-setup\.exe\$/\1/p")

# run SECONDS PROGRAM [ARGUMENTS...]: a Windows program under Wine, with a
# time limit; its output in $scratch/out and $scratch/err, through files
# (Wine's service processes would hold on to pipes).
run() {
    local seconds=$1
    shift
    status=0
    timeout "$seconds" "$wine" "$@" </dev/null >"$scratch/out" 2>"$scratch/err" || status=$?
    # Line ends as on Linux, for the comparisons below.
    sed -i 's/\r$//' "$scratch/out" "$scratch/err"
}

drive_c=$WINEPREFIX/drive_c
installed=$drive_c/$program_files/Vumira
installed_dos="C:\\$program_files\\Vumira"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vumira.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vumira'
registry_view=/reg:64
[ "$arch" = i686 ] && registry_view=/reg:32

# What an earlier, broken run may have left would pass for this run's work.
rm -rf "$installed" "$shortcut"

say "installing $(basename "$installer") silently"
run 120 "$installer" /S
[ "$status" -eq 0 ] || fail "the silent install ended with status $status: $(cat "$scratch/err")"
for file in bin/obsidel.exe bin/vumira.dll share/obsidel/styles/default.style share/obsidel/styles/paper.style \
    README.txt uninstall.exe; do
    [ -f "$installed/$file" ] || problem "the installation has no $file"
done
[ ! -e "$installed/bin/Vumira.rc" ] || problem "the installer put a Vumira.rc beside the module"
[ -f "$shortcut" ] || problem "no Start-menu entry ($shortcut)"
run 60 reg query "$uninstall_key" /v UninstallString "$registry_view"
grep -qF "uninstall.exe" "$scratch/out" ||
    problem "the uninstaller is not among the installed programs: $(cat "$scratch/out" "$scratch/err")"

say "running the installed host"
run 60 "$installed_dos\\bin\\obsidel.exe" --version
if [ "$status" -ne 0 ] || [ "$(cat "$scratch/out")" != "obsidel $version" ]; then
    problem "obsidel.exe --version: status $status, said \"$(cat "$scratch/out" "$scratch/err")\""
fi

# The prefix's user keeps the obsidel.rc of this run only: one that was
# there before comes back at the end, as it was.
run 30 cmd /c echo %APPDATA%
run 30 winepath -u "$(tr -d '\r\n' <"$scratch/out")\\Obsidel\\obsidel.rc"
user_settings=$(realpath -m "$(cat "$scratch/out")")
[ -n "$user_settings" ] || fail "cannot tell where the prefix's user keeps obsidel.rc"
had_settings=0
[ -f "$user_settings" ] && { cp -p "$user_settings" "$scratch/obsidel.rc.before"; had_settings=1; }
restore_settings() {
    if [ $had_settings -eq 1 ]; then cp -p "$scratch/obsidel.rc.before" "$user_settings"; else rm -f "$user_settings"; fi
}
trap 'restore_settings; rm -rf "$scratch"' EXIT

paper="$installed_dos\\share\\obsidel\\styles\\paper.style"
run 120 "$installed_dos\\bin\\obsidel.exe" --style "$paper" --save --exit-after 1500
[ "$status" -eq 0 ] || problem "the installed host's short run ended with status $status: $(cat "$scratch/err")"
grep -qF "style $paper (--style)" "$scratch/err" ||
    problem "the installed host's start line does not name its style: $(cat "$scratch/err")"
saved=$(sed -n 's/^obsidel: saved style: .* in \(.*obsidel\.rc\)$/\1/p' "$scratch/err")
settings=""
if [ -z "$saved" ]; then
    problem "the installed host did not say where it saved the style: $(cat "$scratch/err")"
else
    run 30 winepath -u "$saved"
    settings=$(realpath -m "$(cat "$scratch/out")")
    [ "$settings" = "$user_settings" ] || problem "obsidel.rc went to $saved, not to the user's application data"
    grep -qxF "style: $paper" "$settings" 2>/dev/null || problem "obsidel.rc ($saved) does not hold the style"
    case $settings in "$(realpath -m "$installed")"/*) problem "obsidel.rc went into the installation: $saved" ;; esac
fi
# A plug-in change where the module's folder can be written, as Wine allows.
printf 'Vumira.plugin.wave.fps: 30\n' >"$installed/bin/Vumira.rc"

say "uninstalling silently"
run 120 "$installed_dos\\uninstall.exe" /S
[ "$status" -eq 0 ] || problem "the silent uninstall ended with status $status: $(cat "$scratch/err")"
# The uninstaller runs from a copy of itself, which removes the files after
# the first one has ended.
for _ in $(seq 1 600); do
    [ ! -e "$installed/uninstall.exe" ] && [ ! -e "$installed/bin/obsidel.exe" ] && break
    sleep 0.1
done
left=$(cd "$drive_c" && find "$program_files/Vumira" -type f 2>/dev/null | sort)
[ "$left" = "$program_files/Vumira/bin/Vumira.rc" ] ||
    problem "the uninstall left other files than the user's Vumira.rc: ${left:-none at all}"
[ ! -e "$shortcut" ] || problem "the uninstall left the Start-menu entry"
run 60 reg query "$uninstall_key" "$registry_view"
[ "$status" -ne 0 ] || problem "the uninstall left its entry among the installed programs"
[ -z "$settings" ] || [ -f "$settings" ] || problem "the uninstall removed the user's obsidel.rc"

rm -rf "$installed"
[ $problems -eq 0 ] || exit 1
say "installed, ran and uninstalled $(basename "$installer") silently; the user's rc files stayed"

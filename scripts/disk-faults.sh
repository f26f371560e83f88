#!/bin/sh
# The rc file's folder turns read-only, or its disk fills up, while the host
# runs: the plug-in's write fails, the host says why (its status text and
# log), the old rc file stays as it was with no temporary file beside it,
# the plug-in keeps running and taking commands, and once the folder can be
# written again the next change is saved.
#
# Runs in a private mount namespace (unshare), with the rc file on a small
# tmpfs of its own. usage: scripts/disk-faults.sh  (the build in
# $VUMIRA_BUILD, default build/release). Prints one line a case and a
# figure; exit 0 when every case passed.
set -eu

if [ -z "${DISK_FAULTS_PRIVATE:-}" ]; then
    command -v unshare >/dev/null || { echo "disk-faults: unshare (util-linux) is missing" >&2; exit 1; }
    DISK_FAULTS_PRIVATE=1 exec unshare --map-root-user --mount "$0" "$@"
fi
. "$(dirname "$0")/lib/sandbox.sh"
sandbox_cleanup_more() { umount "$work/home" 2>/dev/null || true; }
rc=$work/home/Vumira.rc

passed=0
failed=0
fail() {
    echo "disk-faults: FAIL: $case_name: $1" >&2
    failed=$((failed + 1))
}

send() { "$host" --exec "@VumiraInternal $1" >/dev/null 2>"$work/exec.err"; }

# One case: $1 its name, $2 how the folder breaks, $3 how it mends, $4 the
# reason the host must give.
run_case() {
    case_name=$1
    mount -t tmpfs -o size=64k tmpfs "$work/home"
    printf '# kept\nVumira.plugin.wave.StartWaveMonitorOnStartUp: true\nVumira.plugin.wave.fps: 25\n' >"$rc"
    : >"$work/host.log"
    "$host" --home "$work/home" --display headless --wave-in tone:440 "$module" >"$work/host.log" 2>&1 &
    host_pid=$!
    for _ in $(seq 100); do send "SetFPS 25" && break; sleep 0.1; done
    cp "$rc" "$work/before.rc"

    eval "$2"
    errors_before=$failed
    send "SetFPS 50" || fail "the command failed: $(cat "$work/exec.err")"
    send "SetFPS 51" || fail "the second command failed: $(cat "$work/exec.err")"
    cmp -s "$rc" "$work/before.rc" || fail "the rc file changed"
    [ -z "$(ls "$work/home" | grep '\.tmp-' || true)" ] || fail "a temporary file is left: $(ls "$work/home")"
    grep -q "cannot write .*Vumira.rc: $4" "$work/host.log" || fail "no log line with the reason"
    status=$(grep -c "settings not saved: .*Vumira.rc: $4; the file keeps its last saved values" "$work/host.log" || true)
    [ "$status" -eq 1 ] || fail "the status text came $status times for two failed writes"
    kill -0 "$host_pid" 2>/dev/null || fail "the host died"
    "$host" --menu >/dev/null 2>&1 || fail "the plug-in no longer answers"

    eval "$3"
    send "SetFPS 40" || fail "the command after the mend failed"
    grep -q '^Vumira.plugin.wave.fps: 40$' "$rc" || fail "the write after the mend was not saved"
    grep -q '^# kept$' "$rc" || fail "the comment was lost"

    kill "$host_pid"
    wait "$host_pid" 2>/dev/null || true
    host_pid=
    umount "$work/home"
    if [ "$failed" -eq "$errors_before" ]; then
        passed=$((passed + 1))
        echo "disk-faults: $case_name: the write failed with \"$4\", reported once, the rc file kept; saved again once mended"
    fi
}

run_case "read-only folder" \
    'mount -o remount,ro "$work/home"' \
    'mount -o remount,rw "$work/home"' \
    "Read-only file system"
run_case "full disk" \
    'dd if=/dev/zero of="$work/home/filler" bs=1k 2>/dev/null || true' \
    'rm -f "$work/home/filler"' \
    "No space left on device"

echo "disk-faults: $passed of 2 cases passed"
[ "$failed" -eq 0 ]

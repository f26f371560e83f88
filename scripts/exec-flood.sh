#!/bin/sh
# A flood of COUNT (default 1000) `obsidel` clients started at once against
# one running host: half toggle the peak markers with --exec, half pick
# "Configuration/Alpha Value=N" with --pick, each N its own. Every client
# must end within 60 s with status 0 (none hangs), every toggle must reach
# the plug-in (none lost: the host logs each one, and the rc file ends in
# the state their count gives), and every --pick must print its own
# command (each waits for its own result).
#
# usage: scripts/exec-flood.sh [COUNT]   (the build in $VUMIRA_BUILD,
#        default build/release). Prints the figures; exit 0 when all held.
set -eu

count=${1:-1000}
case $count in '' | *[!0-9]*) echo "usage: $0 [COUNT]" >&2; exit 2 ;; esac
. "$(dirname "$0")/lib/sandbox.sh"
mkdir -p "$work/out"
rc=$work/module/Vumira.rc
printf 'Vumira.plugin.wave.peaks: false\n' >"$rc"

"$host" --home "$work/home" --display headless --wave-in tone:440 "$module" >"$work/host.log" 2>&1 &
host_pid=$!
for _ in $(seq 100); do "$host" --exec "@VumiraInternal SetFPS 25" >/dev/null 2>&1 && break; sleep 0.1; done

began=$(date +%s.%N)
i=0
while [ "$i" -lt "$count" ]; do
    i=$((i + 1))
    if [ $((i % 2)) -eq 1 ]; then
        (timeout 60 "$host" --exec "@VumiraInternal PeakMarkers" >"$work/out/$i" 2>&1; echo $? >"$work/out/$i.status") &
    else
        (timeout 60 "$host" --pick "Configuration/Alpha Value=$((i % 256))" >"$work/out/$i" 2>&1; echo $? >"$work/out/$i.status") &
    fi
done
wait_for_clients() {
    for _ in $(seq 900); do
        [ "$(ls "$work/out" | grep -c '\.status$')" -ge "$count" ] && return
        sleep 0.1
    done
}
wait_for_clients
ended=$(date +%s.%N)

failed=0
hung=0
wrong=0
i=0
while [ "$i" -lt "$count" ]; do
    i=$((i + 1))
    status=$(cat "$work/out/$i.status" 2>/dev/null || echo 124)
    if [ "$status" = 124 ]; then hung=$((hung + 1)); continue; fi
    if [ "$status" != 0 ]; then
        failed=$((failed + 1))
        [ "$failed" -le 3 ] && echo "exec-flood: client $i: $(cat "$work/out/$i")" >&2
        continue
    fi
    if [ $((i % 2)) -eq 0 ] && [ "$(cat "$work/out/$i")" != "@VumiraInternal TransparencyAlpha $((i % 256))" ]; then
        wrong=$((wrong + 1))
        [ "$wrong" -le 3 ] && echo "exec-flood: client $i printed: $(cat "$work/out/$i")" >&2
    fi
done
toggles=$(( (count + 1) / 2 ))
logged=$(grep -c "PeakMarkers" "$work/host.log" || true)
expected_peaks=false
[ $((toggles % 2)) -eq 1 ] && expected_peaks=true
grep -q "^Vumira.plugin.wave.peaks: $expected_peaks\$" "$rc" && state_ok=1 || state_ok=0
kill -0 "$host_pid" 2>/dev/null && alive=1 || alive=0
seconds=$(echo "$began $ended" | awk '{ printf "%.1f", $2 - $1 }')
echo "exec-flood: $count clients at once in ${seconds} s: $failed failed, $hung hung, $wrong --pick answers not their own; $logged of $toggles toggles logged by the host; rc state $( [ "$state_ok" = 1 ] && echo right || echo WRONG ); host $( [ "$alive" = 1 ] && echo alive || echo DEAD )"
[ "$failed" -eq 0 ] && [ "$hung" -eq 0 ] && [ "$wrong" -eq 0 ] && [ "$logged" -eq "$toggles" ] && [ "$state_ok" = 1 ] && [ "$alive" = 1 ]

#!/bin/sh
# Kills the host with SIGKILL COUNT times (default 1000) in the middle of a
# burst of commands, each of which writes the plug-in's rc file, and checks
# the rc file after every kill: it must read whole (every line a comment or
# `key: value`, the last one ended), hold each written key once with either
# a value it had before or one of the values sent, and keep the lines the
# plug-in does not know. At the end one more start and write must leave no
# temporary file of the killed writers behind.
#
# usage: scripts/kill-writers.sh [COUNT]   (the build in $VUMIRA_BUILD,
#        default build/release)
# Prints the figure: "N torn or unreadable rc files out of COUNT"; exit 0
# only when N is 0 and no temporary file is left.
set -eu

count=${1:-1000}
case $count in '' | *[!0-9]*) echo "usage: $0 [COUNT]" >&2; exit 2 ;; esac
. "$(dirname "$0")/lib/sandbox.sh"
rc=$work/module/Vumira.rc

# The rc file to start from, with lines the plug-in must keep as they are.
cat >"$rc" <<'RC'
# written by kill-writers.sh
Vumira.plugin.wave.StartWaveMonitorOnStartUp: false
Vumira.plugin.wave.fps: 25
! a comment the plug-in must keep
Vumira.plugin.style.maxBarHeight: 64
Some.other.program.key: kept as it is
Vumira.plugin.style.peakDrop: 1
Vumira.plugin.transparency.alpha: 60
RC
# Every value each key may hold: what it held, and whatever was sent.
printf 'Vumira.plugin.wave.fps 25\nVumira.plugin.style.maxBarHeight 64\nVumira.plugin.style.peakDrop 1\nVumira.plugin.transparency.alpha 60\n' >"$work/allowed"

start_host() {
    "$host" --home "$work/home" --display headless --wave-in tone:440 "$module" >>"$work/host.log" 2>&1 &
    host_pid=$!
}

# Waits until the new host answers a command (an old socket of a killed host
# may still lie there); fails after 10 s.
await_host() {
    for _ in $(seq 100); do
        "$host" --exec "@VumiraInternal SetFPS 25" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "kill-writers: the host did not answer within 10 s:" >&2
    tail -n 5 "$work/host.log" >&2
    return 1
}

# Prints nothing when the rc file reads whole and holds allowed values;
# else what is wrong.
check_rc() {
    [ -s "$rc" ] || { echo "missing or empty"; return; }
    [ "$(tail -c 1 "$rc" | od -An -c | tr -d ' ')" = '\n' ] || { echo "last line not ended"; return; }
    awk -v allowed="$work/allowed" '
        BEGIN { while ((getline line < allowed) > 0) { split(line, part, " "); ok[part[1] " " part[2]] = 1; known[part[1]] = 1 } }
        /^[#!]/ || /^[ \t]*$/ { next }
        {
            colon = index($0, ":")
            if (colon == 0) { print "a line without a colon: " $0; bad = 1; next }
            key = substr($0, 1, colon - 1); value = substr($0, colon + 2)
            seen[key]++
            if (key in known && !((key " " value) in ok)) { print key " holds " value ", never written"; bad = 1 }
        }
        END {
            for (key in known) if (seen[key] != 1) { print key " appears " seen[key] + 0 " times"; bad = 1 }
            if (seen["Some.other.program.key"] != 1 || seen["Vumira.plugin.wave.StartWaveMonitorOnStartUp"] != 1) print "a kept line is lost"
        }' "$rc"
    grep -q '^! a comment the plug-in must keep$' "$rc" || echo "the comment is lost"
}

torn=0
changed=0
left_behind=0
i=0
while [ "$i" -lt "$count" ]; do
    i=$((i + 1))
    start_host
    await_host
    before=$(cksum <"$rc")
    # A burst of writes from parallel clients, killed at a random moment.
    for j in 1 2 3 4 5 6; do
        value=$(( (i * 7 + j * 13) % 97 + 1 ))
        case $j in
            1 | 4) key=Vumira.plugin.wave.fps; command="SetFPS $value" ;;
            2) key=Vumira.plugin.style.maxBarHeight; command="SetMaxHeight $value" ;;
            3 | 6) key=Vumira.plugin.style.peakDrop; command="SetPeakDrop $value" ;;
            5) key=Vumira.plugin.transparency.alpha; command="TransparencyAlpha $value" ;;
        esac
        echo "$key $value" >>"$work/allowed"
        "$host" --exec "@VumiraInternal $command" >/dev/null 2>&1 &
    done
    sleep "0.0$(( (i * 37) % 10 ))"
    kill -9 "$host_pid"
    wait "$host_pid" 2>/dev/null || true
    host_pid=
    wait 2>/dev/null || true
    [ "$(cksum <"$rc")" = "$before" ] || changed=$((changed + 1))
    problem=$(check_rc)
    if [ -n "$problem" ]; then
        torn=$((torn + 1))
        echo "kill $i: $problem" >&2
    fi
    left=$(ls "$work/module" | grep -c '^Vumira\.rc\.tmp-' || true)
    left_behind=$((left_behind + left))
    [ $((i % 100)) -eq 0 ] && echo "kill-writers: $i kills, $torn torn so far"
done

# One more start and write: the temporary files of the killed writers go.
start_host
await_host
kill "$host_pid"
wait "$host_pid" 2>/dev/null || true
host_pid=
stale=$(ls "$work/module" | grep -c '^Vumira\.rc\.tmp-' || true)
echo "kill-writers: $torn torn or unreadable rc files out of $count (written to before $changed of the kills); temporary files seen right after a kill: $left_behind; left after the next start's write: $stale"
[ "$torn" -eq 0 ] && [ "$stale" -eq 0 ]

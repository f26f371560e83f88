#!/bin/sh
# Runs the host with the plug-in on a private Xvfb display for MINUTES
# minutes, recording the demo signal, while a command sent through
# `obsidel --exec` every second toggles or sets one of its options in turn.
# Every 10 s it samples the host's resident memory, open files, threads and
# its user and GDI objects (asked with SIGUSR1), and prints them.
#
# It fails (exit 1) when the host dies, when an --exec fails, or when a
# figure grows: open files, threads, user or GDI objects above their value
# at the first sample after the warm-up (the first minute), or resident
# memory more than SOAK_RSS_SLACK_KB (default 2048) above it.
#
# usage: scripts/soak.sh [MINUTES]    (default 60; the build in
#        $VUMIRA_BUILD, default build/release)
set -eu

minutes=${1:-60}
case $minutes in '' | *[!0-9]* | 0 | 1) echo "usage: $0 [MINUTES] (2 or more: the first minute is the warm-up)" >&2; exit 2 ;; esac
slack=${SOAK_RSS_SLACK_KB:-2048}
command -v Xvfb >/dev/null || { echo "soak: Xvfb is missing (scripts/packages.sh installs it)" >&2; exit 1; }
. "$(dirname "$0")/lib/sandbox.sh"
xvfb_pid=
sandbox_cleanup_more() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}

# Xvfb picks a free display number itself and writes it once it listens.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=
for _ in $(seq 100); do
    [ -s "$work/display" ] && display=:$(head -n 1 "$work/display") && break
    sleep 0.1
done
[ -n "$display" ] || { echo "soak: no Xvfb display could start" >&2; exit 1; }

"$host" --home "$work/home" --display "x11:$display" --wave-in demo "$module" >"$work/host.log" 2>&1 &
host_pid=$!
for _ in $(seq 50); do [ -S "$work/runtime/obsidel.socket" ] && break; sleep 0.1; done
[ -S "$work/runtime/obsidel.socket" ] || { echo "soak: the host did not start:" >&2; cat "$work/host.log" >&2; exit 1; }

# The commands sent in turn: toggles come in pairs so the state goes round.
set -- "PeakMarkers" "ToggleBlur" "SetFPS 50" "SetScopeV" "ToggleBorder" "SetBufferSize 128" \
       "TransparencyEnabled" "SetPeakLine" "SetStyle2" "SetKHz 22" "PeakMarkers" "ToggleBlur" \
       "SetFPS 25" "SetScopeH" "ToggleBorder" "SetBufferSize 64" "TransparencyEnabled" \
       "SetPeakDot" "SetStyle1" "SetKHz 16" "TransbackEnabled" "SetTabTL" "TransbackEnabled" "SetTabBR"
commands=$#

sample() {  # rss_kb files threads user gdi
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$host_pid/status")
    threads=$(awk '/^Threads:/ { print $2 }' "/proc/$host_pid/status")
    files=$(ls "/proc/$host_pid/fd" | wc -l)
    before=$(grep -c "GDI objects" "$work/host.log" || true)
    kill -USR1 "$host_pid"
    for _ in $(seq 50); do
        [ "$(grep -c "GDI objects" "$work/host.log" || true)" -gt "$before" ] && break
        sleep 0.02
    done
    objects=$(grep "GDI objects" "$work/host.log" | tail -n 1 | sed 's/.*user objects \([0-9]*\), GDI objects \([0-9]*\).*/\1 \2/')
    echo "$rss $files $threads $objects"
}

end=$(( $(date +%s) + minutes * 60 ))
warmup=$(( $(date +%s) + 60 ))
sent=0
failed=0
base=
next_sample=$(date +%s)
echo "soak: $minutes min on $display, demo signal, one --exec a second; samples every 10 s"
echo "   time   rss_kb  files  threads  user  gdi"
while [ "$(date +%s)" -lt "$end" ]; do
    kill -0 "$host_pid" 2>/dev/null || { echo "soak: the host died:" >&2; tail -n 20 "$work/host.log" >&2; exit 1; }
    index=$(( sent % commands + 1 ))
    eval "text=\${$index}"
    if ! "$host" --exec "@VumiraInternal $text" >/dev/null 2>"$work/exec.err"; then
        failed=$(( failed + 1 ))
        echo "soak: --exec \"$text\" failed: $(cat "$work/exec.err")" >&2
    fi
    sent=$(( sent + 1 ))
    now=$(date +%s)
    if [ "$now" -ge "$next_sample" ]; then
        next_sample=$(( now + 10 ))
        figures=$(sample)
        printf '%7s  %s\n' "$(( (now - end + minutes * 60) ))s" "$figures" | awk '{ printf "%7s %8s %6s %8s %5s %4s\n", $1, $2, $3, $4, $5, $6 }'
        if [ -z "$base" ] && [ "$now" -ge "$warmup" ]; then base=$figures; fi
        if [ -n "$base" ]; then
            verdict=$(echo "$base $figures" | awk -v slack="$slack" '{
                if ($6 > $1 + slack) print "resident memory grew from " $1 " to " $6 " kB"
                else if ($7 > $2) print "open files grew from " $2 " to " $7
                else if ($8 > $3) print "threads grew from " $3 " to " $8
                else if ($9 > $4) print "user objects grew from " $4 " to " $9
                else if ($10 > $5) print "GDI objects grew from " $5 " to " $10 }')
            [ -z "$verdict" ] || { echo "soak: FAIL: $verdict" >&2; exit 1; }
        fi
    fi
    sleep 1
done
echo "soak: $sent commands sent, $failed failed; first sample after the warm-up: $base; last: $(sample)"
[ "$failed" -eq 0 ] || { echo "soak: FAIL: $failed commands failed" >&2; exit 1; }
echo "soak: PASS"

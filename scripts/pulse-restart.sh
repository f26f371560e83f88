#!/bin/sh
# The host records from a private PulseAudio (a null sink's monitor) when
# the server is killed; 1.5 s later a new server starts, and a tone plays
# into the sink once it answers. The screen written 3 s after the new
# server was started must show bars (it differs from the screen of a run
# that recorded silence all along): the recording resumed by itself within
# 3 s, and the host never stopped. Prints the figures; exit 0 when it held.
#
# usage: scripts/pulse-restart.sh   (the build in $VUMIRA_BUILD, default
#        build/release; needs pulseaudio, pactl, pacat and sox)
set -eu

for program in pulseaudio pactl pacat sox; do
    command -v "$program" >/dev/null || { echo "pulse-restart: $program is missing (scripts/packages.sh installs it)" >&2; exit 1; }
done
. "$(dirname "$0")/lib/sandbox.sh"
server_pid=
tone_pid=
sandbox_cleanup_more() {
    for pid in $tone_pid $server_pid; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
mkdir -p "$work/pulse"
export PULSE_SERVER="unix:$work/pulse/native"
printf 'autospawn = no\n' >"$work/pulse/client.conf"
export PULSE_CLIENTCONFIG="$work/pulse/client.conf"

start_server() {
    HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse" XDG_CONFIG_HOME="$work/pulse/config" \
    PULSE_RUNTIME_PATH="$work/pulse/runtime" PULSE_STATE_PATH="$work/pulse/state" \
        pulseaudio -n --system=no --daemonize=no --exit-idle-time=-1 --use-pid-file=no --realtime=no \
        --high-priority=no --log-target="file:$work/pulse/server.log" -L "module-null-sink sink_name=vumira_null" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$work/pulse/native" &
    server_pid=$!
    for _ in $(seq 200); do pactl info >/dev/null 2>&1 && return 0; sleep 0.05; done
    echo "pulse-restart: the sound server did not answer" >&2
    return 1
}

# The host, writing the screen after $1 ms, with its log in $2.
run_host() {
    "$host" --home "$work/home" --display headless:200x60 --wave-in pulse:vumira_null.monitor \
        --exit-after "$1" --snapshot "$work/$2.png" "$module" >"$work/$2.log" 2>&1 &
    host_pid=$!
}

# The screen of a run that records silence all along.
start_server
run_host 3000 silent
wait "$host_pid" || { echo "pulse-restart: the host failed:" >&2; cat "$work/silent.log" >&2; exit 1; }
host_pid=

run_host 5500 restarted
sleep 1
kill -9 "$server_pid"
wait "$server_pid" 2>/dev/null || true
sleep 1.5
began=$(date +%s%N)
start_server
answered=$(date +%s%N)
sox -q -n -t raw -r 48000 -e floating-point -b 32 -c 1 - synth 30 sine 1000 vol 0.5 2>/dev/null |
    pacat --device=vumira_null --rate=48000 --format=float32le --channels=1 2>/dev/null &
tone_pid=$!
status=0
wait "$host_pid" || status=$?
host_pid=
ended=$(date +%s%N)

went=$(grep -c "the sound server went away" "$work/restarted.log" || true)
again=$(grep -c "recording again from the sound server" "$work/restarted.log" || true)
if cmp -s "$work/silent.png" "$work/restarted.png"; then bars=none; else bars=shown; fi
echo "pulse-restart: server answered $(( (answered - began) / 1000000 )) ms after it was started; screen written $(( (ended - began) / 1000000 )) ms after the start: bars $bars; host status $status; \"went away\" said $went time(s), \"recording again\" $again time(s)"
[ "$status" -eq 0 ] && [ "$bars" = shown ] && [ "$went" -eq 1 ] && [ "$again" -eq 1 ]

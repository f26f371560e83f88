#!/usr/bin/env bash
# Measures the host with the Vumira plug-in beside cava on the same sound,
# each figure in this one run on this machine, and prints one table:
# CPU (headless, on Xvfb at two window sizes, recording from a private
# PulseAudio), frames painted a second, wake-ups at rest, resident memory
# and the cost of rc writes.
#
# On a display each side's whole desktop is counted: the host and its own
# X server (Xvfb) for Vumira; cava, the terminal emulator that shows it
# (xterm, of the same size in pixels, cava drawing with ncurses) and their
# own X server for cava. The headless rows (cava writing raw bars to a
# file) are the floor of each. With the sound server, its CPU is counted
# with each side, the two sides measured one after the other.
#
#   bench/run.sh [SECONDS]    each CPU figure over SECONDS (default 20)
#
# CPU is the kernel's scheduler accounting (the time on a CPU of every
# thread of the process, /proc/PID/task/*/schedstat, in nanoseconds where
# utime and stime count 10 ms ticks) over the measured seconds, after a
# few seconds of start-up that are left out; wake-ups are the context
# switches of the host's user-interface thread (and of all its
# threads) from /proc/PID/task/*/status. The machine may be shared: the
# load average is printed with the table, and a figure taken under load is
# worth measuring again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
# shellcheck disable=SC2086
install_missing_packages $VUMIRA_BUILD_PACKAGES $VUMIRA_BENCH_PACKAGES

cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target obsidel vumira paced_pcm windowless_plugin rc_write_bench \
    plugin_frames >/dev/null

seconds=${1:-20}
startup=3
rest_seconds=10
bin=$PWD/build/bench/bin
scratch=$(mktemp -d)
running=()

stop_all() {
    local pid
    for pid in "${running[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${running[@]}"; do wait "$pid" 2>/dev/null || true; done
    running=()
}
trap 'stop_all; rm -rf "$scratch"' EXIT

# ---- what /proc says of a process ----

cpu_ns() {  # time on a CPU of all the threads of process $1, ns (schedstat: finer than utime's ticks)
    cat "/proc/$1"/task/*/schedstat 2>/dev/null | awk '{ n += $1 } END { printf "%.0f\n", n }'
}

switches() {  # context switches of the thread $2 of process $1 ("all": every thread)
    local files
    if [ "${2:-}" = all ]; then files=("/proc/$1"/task/*/status); else files=("/proc/$1/task/$1/status"); fi
    cat "${files[@]}" 2>/dev/null | awk '/ctxt_switches/ { n += $2 } END { print n + 0 }'
}

peak_rss_mb() { awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

percent() { awk -v t="$1" -v s="$seconds" 'BEGIN { printf "%.3f", 100 * t / 1e9 / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
per_second() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", n / s }'; }

# ---- the programs measured ----

# A plug-in folder: a copy of the module with its own rc file (the lines
# given), a home folder and a private runtime folder for the command channel.
make_plugin_folder() {
    local folder=$scratch/$1
    shift
    mkdir -p "$folder/module" "$folder/home" "$folder/runtime"
    chmod 700 "$folder/runtime"
    cp "$bin/vumira.so" "$folder/module/"
    printf '%s\n' "$@" >"$folder/module/Vumira.rc"
}

# start_host FOLDER DISPLAY WAVE-IN [HOST OPTIONS...]: sets host_pid.
start_host() {
    local folder=$scratch/$1 display=$2 wave_in=$3
    shift 3
    XDG_RUNTIME_DIR=$folder/runtime "$bin/obsidel" --home "$folder/home" --display "$display" \
        --wave-in "$wave_in" "$@" "$folder/module/vumira.so" </dev/null >>"$folder/host.log" 2>&1 &
    host_pid=$!
    running+=("$host_pid")
}

# cava_config NAME METHOD SOURCE OUTPUT: cava at $cava_framerate frames a
# second (25 unless set), $cava_bars bars (32 unless set), drawing with
# ncurses or writing raw bars
# to a file (OUTPUT raw); prints the configuration file's path.
cava_config() {
    local folder=$scratch/$1
    mkdir -p "$folder"
    {
        printf '[general]\nframerate = %s\nbars = %s\n' "${cava_framerate:-25}" "${cava_bars:-32}"
        printf '[input]\nmethod = %s\nsource = %s\nsample_rate = 44100\nsample_bits = 16\n' "$2" "$3"
        if [ "$4" = raw ]; then
            printf '[output]\nmethod = raw\nraw_target = %s\ndata_format = binary\n' "$folder/cava.out"
        else
            printf '[output]\nmethod = ncurses\n'
        fi
    } >"$folder/cava.conf"
    echo "$folder/cava.conf"
}

# start_cava NAME METHOD SOURCE: cava writing raw bars to a file; sets cava_pid.
start_cava() {
    local config
    config=$(cava_config "$1" "$2" "$3" raw)
    cava -p "$config" </dev/null >"$scratch/$1/cava.log" 2>&1 &
    cava_pid=$!
    running+=("$cava_pid")
}

# start_xvfb: a private X server on the first free display; sets xvfb_pid
# and xvfb_display.
start_xvfb() {
    local number=90
    while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
    Xvfb ":$number" -screen 0 1920x1080x24 -nolisten tcp </dev/null >>"$scratch/xvfb.log" 2>&1 &
    xvfb_pid=$!
    running+=("$xvfb_pid")
    for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
    xvfb_display=":$number"
}

# start_cava_in_xterm NAME METHOD SOURCE WIDTHxHEIGHT: cava in an xterm of
# that many pixels (the X server's built-in 6x13 font: 16x2 cells for
# 100x25, 320x15 for 1920x200) on an X server of its own; sets cava_pid,
# xterm_pid and cava_xvfb_pid.
start_cava_in_xterm() {
    local config size=$4
    config=$(cava_config "$1" "$2" "$3" ncurses)
    start_xvfb
    cava_xvfb_pid=$xvfb_pid
    DISPLAY=$xvfb_display xterm -fn fixed -geometry "$((${size%x*} / 6))x$((${size#*x} / 13))+0+0" \
        -e cava -p "$config" </dev/null >"$scratch/$1/xterm.log" 2>&1 &
    xterm_pid=$!
    running+=("$xterm_pid")
    cava_pid=
    for _ in $(seq 1 100); do
        cava_pid=$(pgrep -P "$xterm_pid" -x cava || true)
        [ -n "$cava_pid" ] && break
        sleep 0.1
    done
}

start_feed() {  # real-time paced 44.1 kHz stereo tone into the FIFOs named
    "$bin/paced_pcm" --hz 440 "$@" </dev/null >/dev/null 2>>"$scratch/feed.log" &
    running+=("$!")
}

# cpu_of PID...: the CPU time (ns) of those processes over the measured
# seconds, one figure a line, once the start-up has passed.
cpu_of() {
    sleep "$startup"
    local pid before=() index=0
    for pid in "$@"; do before+=("$(cpu_ns "$pid")"); done
    sleep "$seconds"
    for pid in "$@"; do
        echo $(($(cpu_ns "$pid") - before[index]))
        index=$((index + 1))
    done
}

declare -a rows=()
row() {
    local line="|" field
    for field in "$@"; do line+=" $field |"; done
    rows+=("$line")
}

# cpu_row LABEL VUMIRA-SIDE CAVA-SIDE: each side the CPU times (ns) of its
# parts in the order of the table's columns, "-" for a part the row has not
# (an X server, a terminal, a sound server); each side's total beside them.
cpu_row() {
    local label=$1 field total_host=0 total_cava=0
    local -a host_side cava_side cells=()
    read -ra host_side <<<"$2"
    read -ra cava_side <<<"$3"
    for field in "${host_side[@]}"; do
        if [ "$field" = - ]; then cells+=(-); else cells+=("$(percent "$field")"); total_host=$((total_host + field)); fi
    done
    cells+=("**$(percent "$total_host")**")
    for field in "${cava_side[@]}"; do
        if [ "$field" = - ]; then cells+=(-); else cells+=("$(percent "$field")"); total_cava=$((total_cava + field)); fi
    done
    cells+=("**$(percent "$total_cava")**")
    row "$label" "${cells[@]}" "$(ratio "$total_host" "$total_cava")"
}

# ---- CPU beside cava on the same FIFO input ----

# fifo_run LABEL headless|WIDTHxHEIGHT [RC LINES...]: at a size, each side
# gets an X server of its own, and cava an xterm of that size.
fifo_run() {
    local label=$1 size=$2
    shift 2
    local name=fifo_$RANDOM
    if [ "$size" = headless ]; then
        make_plugin_folder "$name" "$@"
    else
        make_plugin_folder "$name" "Vumira.plugin.x: 0" "Vumira.plugin.y: 0" "Vumira.plugin.width: ${size%x*}" \
            "Vumira.plugin.height: ${size#*x}" "$@"
    fi
    mkfifo "$scratch/$name/host.fifo" "$scratch/$name/cava.fifo"
    start_feed "$scratch/$name/host.fifo" "$scratch/$name/cava.fifo"
    local figures host_xvfb_pid
    if [ "$size" = headless ]; then
        start_host "$name" headless "raw:$scratch/$name/host.fifo"
        start_cava "$name" fifo "$scratch/$name/cava.fifo"
        mapfile -t figures < <(cpu_of "$host_pid" "$cava_pid")
        cpu_row "$label" "${figures[0]} - -" "${figures[1]} - - -"
    else
        start_xvfb
        host_xvfb_pid=$xvfb_pid
        DISPLAY=$xvfb_display start_host "$name" x11 "raw:$scratch/$name/host.fifo"
        start_cava_in_xterm "$name" fifo "$scratch/$name/cava.fifo" "$size"
        mapfile -t figures < <(cpu_of "$host_pid" "$host_xvfb_pid" "$cava_pid" "$xterm_pid" "$cava_xvfb_pid")
        cpu_row "$label" "${figures[0]} ${figures[1]} -" "${figures[2]} ${figures[3]} ${figures[4]} -"
    fi
    last_host_rss=$(peak_rss_mb "$host_pid")
    last_cava_rss=$(peak_rss_mb "$cava_pid")
    stop_all
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)

fifo_run "FIFO, headless (cava: raw bars to a file)" headless
rss_headless="$last_host_rss / $last_cava_rss"
fifo_run "FIFO, Xvfb, 100x25" 100x25
rss_x11="$last_host_rss / $last_cava_rss"
fifo_run "FIFO, Xvfb, 1920x200" 1920x200
cava_framerate=60 fifo_run "FIFO, Xvfb, 100x25, 60 frames a second" 100x25 "Vumira.plugin.wave.fps: 60"

# The log-band spectrum (4096 points, 60 frames a second, 64 bands: one a
# 4 pixels of a 256-pixel window) beside cava at its default 60 frames a
# second, with as many bars.
declare -a log_rows=()
log_spectrum_keys=("Vumira.plugin.spectrum.scale: log" "Vumira.plugin.spectrum.points: 4096" "Vumira.plugin.wave.fps: 60")
log_keys=("${log_spectrum_keys[@]}" "Vumira.plugin.x: 0" "Vumira.plugin.y: 0" "Vumira.plugin.width: 256"
    "Vumira.plugin.height: 64")
exact_rows=("${rows[@]}")
rows=()
cava_framerate=60 cava_bars=64
fifo_run "log bands, FIFO, headless" headless "${log_keys[@]}"
fifo_run "log bands, FIFO, Xvfb, 256x64" 256x64 "${log_spectrum_keys[@]}"
unset cava_framerate cava_bars
log_rows=("${rows[@]}")
rows=("${exact_rows[@]}")

# A private X server for the frame, wake-up, paint and latency rows.
start_xvfb
shared_xvfb_pid=$xvfb_pid
running=()  # not stopped with the programs measured
export DISPLAY=$xvfb_display

# frame_rate FPS WAVE-IN: paints of the plug-in window a second at that
# frame rate, 100x25, over 10 s.
frame_rate() {
    local name=frames_$RANDOM
    make_plugin_folder "$name" "Vumira.plugin.wave.fps: $1"
    "$bin/plugin_frames" rate x11 10 "$scratch/$name/module/vumira.so" "$2" 2>>"$scratch/frames.log" || echo -
}

declare -A frames_painted=()
for fps in 25 60 100; do
    mkdir -p "$scratch/frames_fifo_$fps"
    mkfifo "$scratch/frames_fifo_$fps/in.fifo"
    start_feed "$scratch/frames_fifo_$fps/in.fifo"
    frames_painted[fifo_$fps]=$(frame_rate "$fps" "raw:$scratch/frames_fifo_$fps/in.fifo")
    stop_all
done


# ---- CPU recording from a private PulseAudio, the server counted with each ----

start_pulse() {
    local folder=$scratch/pulse
    mkdir -p "$folder/runtime" "$folder/state" "$folder/config"
    export PULSE_SERVER=unix:$folder/native
    echo "autospawn = no" >"$folder/client.conf"
    export PULSE_CLIENTCONFIG=$folder/client.conf
    HOME=$folder XDG_RUNTIME_DIR=$folder XDG_CONFIG_HOME=$folder/config \
        PULSE_RUNTIME_PATH=$folder/runtime PULSE_STATE_PATH=$folder/state \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --realtime=no --high-priority=no \
        --log-target=file:"$folder/server.log" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$folder/native" \
        -L "module-null-sink sink_name=bench_sink rate=44100 channels=2" \
        -L "module-sine sink=bench_sink frequency=440" \
        </dev/null >/dev/null 2>&1 &
    pulse_pid=$!
    for _ in $(seq 1 200); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "bench/run.sh: the private PulseAudio server did not start" >&2
    return 1
}

pulse_rows() {
    start_pulse || return 0
    local figures server_alone host_side host_xvfb_pid
    mapfile -t figures < <(cpu_of "$pulse_pid")
    server_alone=${figures[0]}

    make_plugin_folder pulse_host
    start_host pulse_host headless pulse:bench_sink.monitor
    mapfile -t figures < <(cpu_of "$host_pid" "$pulse_pid")
    host_side="${figures[0]} - ${figures[1]}"
    stop_all
    start_cava pulse_cava pulse bench_sink.monitor
    mapfile -t figures < <(cpu_of "$cava_pid" "$pulse_pid")
    stop_all
    cpu_row "PulseAudio monitor, headless (cava: raw bars to a file)" "$host_side" "${figures[0]} - - ${figures[1]}"

    make_plugin_folder pulse_host_x11 "Vumira.plugin.x: 0" "Vumira.plugin.y: 0"
    start_xvfb
    host_xvfb_pid=$xvfb_pid
    DISPLAY=$xvfb_display start_host pulse_host_x11 x11 pulse:bench_sink.monitor
    mapfile -t figures < <(cpu_of "$host_pid" "$host_xvfb_pid" "$pulse_pid")
    host_side="${figures[0]} ${figures[1]} ${figures[2]}"
    stop_all
    start_cava_in_xterm pulse_cava_x11 pulse bench_sink.monitor 100x25
    mapfile -t figures < <(cpu_of "$cava_pid" "$xterm_pid" "$cava_xvfb_pid" "$pulse_pid")
    stop_all
    cpu_row "PulseAudio monitor, Xvfb, 100x25" "$host_side" "${figures[0]} ${figures[1]} ${figures[2]} ${figures[3]}"

    for fps in 25 60 100; do
        frames_painted[pulse_$fps]=$(frame_rate "$fps" pulse:bench_sink.monitor)
    done
    pulse_note="the server alone, playing the tone into its null sink: $(percent "$server_alone") %"
    kill "$pulse_pid" 2>/dev/null || true
    wait "$pulse_pid" 2>/dev/null || true
}
pulse_note="no PulseAudio row: the private server did not start"
pulse_rows

# ---- wake-ups of the host at rest (Xvfb) ----

declare -a rest_rows=()
rest_row() {  # rest_row LABEL: measures the host started last
    sleep "$startup"
    local ui all
    ui=$(switches "$host_pid")
    all=$(switches "$host_pid" all)
    sleep "$rest_seconds"
    ui=$(($(switches "$host_pid") - ui))
    all=$(($(switches "$host_pid" all) - all))
    rest_rows+=("| $1 | $(per_second "$ui" "$rest_seconds") | $(per_second "$all" "$rest_seconds") |")
    stop_all
}

make_plugin_folder rest_on
mkfifo "$scratch/rest_on/host.fifo"
start_feed "$scratch/rest_on/host.fifo"
start_host rest_on x11 "raw:$scratch/rest_on/host.fifo"
rest_row "capture on (FIFO input, 25 frames a second)"

make_plugin_folder rest_off "Vumira.plugin.wave.StartWaveMonitorOnStartUp: false"
start_host rest_off x11 "raw:$scratch/rest_off/none.fifo"
rest_row "capture off (Monitor Wave? unchecked)"

make_plugin_folder rest_hidden
mkfifo "$scratch/rest_hidden/host.fifo"
start_feed "$scratch/rest_hidden/host.fifo"
start_host rest_hidden x11 "raw:$scratch/rest_hidden/host.fifo"
sleep 1
XDG_RUNTIME_DIR=$scratch/rest_hidden/runtime "$bin/obsidel" --exec "@OBHidePlugins" >/dev/null 2>&1 || true
rest_row "capture on, window hidden (@OBHidePlugins)"

make_plugin_folder rest_slit "Vumira.plugin.inSlit: true" "Vumira.plugin.wave.StartWaveMonitorOnStartUp: false"
start_host rest_slit x11 "raw:$scratch/rest_slit/none.fifo" --slit
rest_row "capture off, docked in the slit"

mkdir -p "$scratch/rest_none/home" "$scratch/rest_none/runtime"
XDG_RUNTIME_DIR=$scratch/rest_none/runtime "$bin/obsidel" --home "$scratch/rest_none/home" --display x11 \
    --wave-in none "$bin/windowless_plugin.so" </dev/null >"$scratch/rest_none/host.log" 2>&1 &
host_pid=$!
running+=("$host_pid")
rest_row "no plug-in window at all"

# ---- paint cost and latency (Xvfb) ----

declare -a paint_rows=()
for size in 100x25 400x100 1920x200; do
    for blur in false true; do
        folder=paint_${size}_$blur
        make_plugin_folder "$folder" "Vumira.plugin.x: 0" "Vumira.plugin.y: 0" "Vumira.plugin.width: ${size%x*}" \
            "Vumira.plugin.height: ${size#*x}" "Vumira.plugin.motionblur: $blur"
        figures=$("$bin/plugin_frames" paint x11 250 "$scratch/$folder/module/vumira.so" 2>>"$scratch/frames.log" ||
            echo "- | - | 0")
        paint_rows+=("| $size | $([ "$blur" = true ] && echo on || echo off) | $figures |")
    done
done
make_plugin_folder latency
latency_steps=50
latency_figures=$("$bin/plugin_frames" latency x11 "$latency_steps" "$scratch/latency/module/vumira.so" \
    2>>"$scratch/frames.log" || echo "- | - | 0")
make_plugin_folder latency_log "${log_keys[@]}"
latency_log_figures=$("$bin/plugin_frames" latency x11 "$latency_steps" "$scratch/latency_log/module/vumira.so" \
    2>>"$scratch/frames.log" || echo "- | - | 0")

kill "$shared_xvfb_pid" 2>/dev/null || true
wait "$shared_xvfb_pid" 2>/dev/null || true
unset DISPLAY

# ---- rc writes ----

mkdir -p "$scratch/rc"
rc_figures=$("$bin/rc_write_bench" "$scratch/rc")
# The system calls of one rc write: 500 writes (100 drag steps, 100
# toggles) less the same program with no steps.
syscall_counts() {
    strace -f -c -o "$scratch/rc/strace.txt" "$bin/rc_write_bench" --steps "$1" "$scratch/rc/$1" >/dev/null 2>&1
    awk '$NF ~ /^(fsync|fdatasync|rename|openat|read|write|newfstatat|statx)$/ { print $NF, $4 }' "$scratch/rc/strace.txt"
}
mkdir -p "$scratch/rc/0" "$scratch/rc/100"
rc_calls=$(join -a1 -a2 -e 0 -o 0,1.2,2.2 <(syscall_counts 100 | sort) <(syscall_counts 0 | sort) |
    awk '{ printf "%s %.1f, ", $1, ($2 - $3) / 500 }')
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# ---- the table ----

echo
echo "Vumira beside cava, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $load_before before, $load_after after"
echo
echo "CPU, % of one core over $seconds s (after $startup s of start-up), 25 frames a second unless said, 32 bars;"
echo "each side with its own X server; cava drawn by ncurses in an xterm of the same size in pixels:"
echo
echo "| input and display | host + Vumira | X server | sound server | Vumira's total | cava | xterm | X server |" \
    "sound server | cava's total | Vumira / cava |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
echo "($pulse_note)"
echo
echo "The log-band spectrum, 4096 points at 48 kHz, 60 frames a second, 64 bands, beside cava at 60 frames a second"
echo "and 64 bars, CPU as above:"
echo
echo "| input and display | host + Vumira | X server | sound server | Vumira's total | cava | xterm | X server |" \
    "sound server | cava's total | Vumira / cava |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
printf '%s\n' "${log_rows[@]}"
echo
echo "Frames painted a second: paints of the plug-in window (100x25, Xvfb) that the message loop dispatched, over 10 s:"
echo
echo "| frame rate asked for | FIFO input (10 ms written every 10 ms) | PulseAudio monitor (25 ms fragments) |"
echo "|---|---|---|"
for fps in 25 60 100; do
    echo "| $fps | ${frames_painted[fifo_$fps]:--} | ${frames_painted[pulse_$fps]:--} |"
done
echo
echo "Wake-ups of the host, context switches a second over $rest_seconds s, Xvfb:"
echo
echo "| state | user-interface thread | all threads |"
echo "|---|---|---|"
printf '%s\n' "${rest_rows[@]}"
echo
echo "Paint cost on Xvfb: one WM_PAINT of the plug-in window, its present to the X server included, ms:"
echo
echo "| window | motion blur | median | 99th percentile | paints |"
echo "|---|---|---|---|---|"
printf '%s\n' "${paint_rows[@]}"
echo
echo "Sound to screen on Xvfb, 100x25: from a step from silence to a full-scale tone in the raw input to the end"
echo "of the first paint in which the bars grew, ms (buffer 32 points at 16 kHz, 25 frames a second):"
echo
echo "| median | largest | steps |"
echo "|---|---|---|"
echo "| $latency_figures |"
echo
echo "The same in the log-band spectrum (4096 points at 48 kHz, 60 frames a second, 256x64):"
echo
echo "| median | largest | steps |"
echo "|---|---|---|"
echo "| $latency_log_figures |"
echo
echo "Peak resident memory (VmHWM), MB, host / cava: headless $rss_headless; Xvfb 100x25 $rss_x11"
echo
echo "rc writes (the plug-in's rc file as a drag and a menu toggle write it):"
echo
echo "| rc write | median, ms | 99th percentile, ms |"
echo "|---|---|---|"
echo "$rc_figures"
echo
echo "System calls of one rc write (strace -c): ${rc_calls%, }"

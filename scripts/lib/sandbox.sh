# Sourced by the fault and soak scripts: the build to use ($VUMIRA_BUILD,
# default build/release) and a private folder, removed on exit, holding a
# copy of the programs (so a rebuild meanwhile changes nothing) and of the
# module (so its rc file is the run's own). After it:
#   $root $build      the source tree and the build
#   $work             the folder: home/, module/vumira.so, runtime/ (also
#                     $XDG_RUNTIME_DIR, where the host's socket is), bin/
#   $host $module     the copies of obsidel and of the module
#   $host_pid         set it to the host's process: it is ended on exit
# A script may define sandbox_cleanup_more, run on exit before the folder goes.
name=$(basename "$0" .sh)
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VUMIRA_BUILD:-$root/build/release}
for file in "$build/bin/obsidel" "$build/bin/libwin32subset.so" "$build/bin/vumira.so"; do
    [ -e "$file" ] || { echo "$name: $file is missing: build first (cmake --build --preset release)" >&2; exit 1; }
done

work=$(mktemp -d)
host_pid=
sandbox_cleanup_more() { :; }
sandbox_cleanup() {
    if [ -n "$host_pid" ]; then
        kill "$host_pid" 2>/dev/null || true
        wait "$host_pid" 2>/dev/null || true
    fi
    sandbox_cleanup_more
    rm -rf "$work"
}
trap sandbox_cleanup EXIT
trap 'exit 1' INT TERM

mkdir -p "$work/home" "$work/module" "$work/runtime" "$work/bin"
chmod 700 "$work/runtime"
cp "$build/bin/obsidel" "$build/bin/libwin32subset.so" "$work/bin/"
cp "$build/bin/vumira.so" "$work/module/"
host=$work/bin/obsidel
module=$work/module/vumira.so
export LD_LIBRARY_PATH="$work/bin${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export XDG_RUNTIME_DIR="$work/runtime"

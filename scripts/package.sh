#!/usr/bin/env bash
# Builds the packages: a Debian package of the Linux build, and a zip for
# 64-bit and for 32-bit Windows (obsidel.exe, vumira.dll, the styles and a
# short read-me), each from a build of its own without the tests. The
# packages land in build/packages (or the folder given with -o).
#
#   scripts/package.sh [-o FOLDER] [deb] [win64] [win32]    (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

out=build/packages
kinds=()
while [ $# -gt 0 ]; do
    case $1 in
        -o) out=$2; shift 2 ;;
        deb|win64|win32) kinds+=("$1"); shift ;;
        *) echo "package.sh: unknown argument \"$1\"; use [-o FOLDER] [deb] [win64] [win32]" >&2; exit 2 ;;
    esac
done
[ ${#kinds[@]} -gt 0 ] || kinds=(deb win64 win32)
mkdir -p "$out"
out=$(cd "$out" && pwd)

# package KIND GENERATOR [cmake options...]
package() {
    local kind=$1 generator=$2
    shift 2
    local build=build/package-$kind
    echo "==== $kind ===="
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVUMIRA_BUILD_TESTS=OFF "$@" >/dev/null
    cmake --build "$build" -j "$(nproc)"
    (cd "$build" && cpack -G "$generator" -B "$out" >/dev/null)
    rm -rf "$out/_CPack_Packages"
}

for kind in "${kinds[@]}"; do
    case $kind in
        deb)
            # shellcheck disable=SC2086
            install_missing_packages $VUMIRA_BUILD_PACKAGES $VUMIRA_PACKAGE_PACKAGES
            package deb DEB ;;
        win64)
            install_missing_packages g++-mingw-w64-x86-64
            package win64 ZIP -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake ;;
        win32)
            install_missing_packages g++-mingw-w64-i686
            package win32 ZIP -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake ;;
    esac
done
ls -l "$out"

#!/usr/bin/env bash
# Builds the packages: a Debian package of the Linux build, and for 64-bit
# and for 32-bit Windows a zip and an installer (obsidel.exe, vumira.dll,
# the styles and a short read-me; the installer made with NSIS's makensis),
# each from a build of its own without the tests. The packages land in
# build/packages (or the folder given with -o).
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

# installer KIND: the Windows installer from the build's installation
# tree, beside the zip: obsidel-VERSION-KIND-setup.exe.
installer() {
    local kind=$1
    local build=build/package-$kind
    local stage=$build/installer-stage
    rm -rf "$stage"
    cmake --install "$build" --prefix "$stage" --strip >/dev/null
    stage=$(cd "$stage" && pwd)
    local version
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    # The files, each put in place and taken away again by name, so that
    # the uninstaller removes exactly what the installer wrote.
    local list=$build/installer-files.nsh file folder
    {
        echo '!macro fileList'
        while IFS= read -r file; do
            folder=$(dirname "$file")
            [ "$folder" = . ] && folder="" || folder="\\${folder//\//\\}"
            echo "    SetOutPath \"\$INSTDIR$folder\""
            echo "    File \"$stage/$file\""
        done < <(cd "$stage" && find . -type f -printf '%P\n' | sort)
        echo '!macroend'
        echo '!macro removeFileList'
        while IFS= read -r file; do
            echo "    Delete \"\$INSTDIR\\${file//\//\\}\""
        done < <(cd "$stage" && find . -type f -printf '%P\n' | sort)
        # Deepest first; a folder that still holds a file of the user's stays.
        while IFS= read -r folder; do
            echo "    RMDir \"\$INSTDIR\\${folder//\//\\}\""
        done < <(cd "$stage" && find . -mindepth 1 -type d -printf '%P\n' | sort -r)
        echo '!macroend'
    } >"$list"
    makensis -V2 -DVERSION="$version" -DARCH="$kind" -DFILES="$(cd "$(dirname "$list")" && pwd)/$(basename "$list")" \
        -DOUTFILE="$out/obsidel-$version-$kind-setup.exe" share/windows/installer.nsi
}

for kind in "${kinds[@]}"; do
    case $kind in
        deb)
            # shellcheck disable=SC2086
            install_missing_packages $VUMIRA_BUILD_PACKAGES $VUMIRA_PACKAGE_PACKAGES
            package deb DEB ;;
        win64)
            # shellcheck disable=SC2086
            install_missing_packages g++-mingw-w64-x86-64 $VUMIRA_INSTALLER_PACKAGES
            package win64 ZIP -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
            installer win64 ;;
        win32)
            # shellcheck disable=SC2086
            install_missing_packages g++-mingw-w64-i686 $VUMIRA_INSTALLER_PACKAGES
            package win32 ZIP -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
            installer win32 ;;
    esac
done
ls -l "$out"

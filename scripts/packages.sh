# Debian packages the project needs, and a function that installs the
# missing ones (one `apt-get update` first). Sourced by run.sh and test.sh.
# A package named with its architecture ("wine32:i386", the 32-bit half of
# Wine that runs the 32-bit Windows build) adds that architecture to dpkg first.

VUMIRA_BUILD_PACKAGES="cmake ninja-build ccache g++ make pkg-config libx11-dev libxext-dev libpulse-dev libasound2-dev
    libsndfile1-dev libsoxr-dev libpng-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core"
VUMIRA_RUN_PACKAGES="pulseaudio-utils"
# scripts/package.sh and the package test: dpkg-shlibdeps finds the
# Debian package's dependencies, `file` lets CPack tell programs apart.
VUMIRA_PACKAGE_PACKAGES="dpkg-dev file"
# scripts/package.sh win64|win32 and the Wine stage's installer check:
# makensis builds the Windows installer.
VUMIRA_INSTALLER_PACKAGES="nsis"
# scripts/fuzz.sh: clang with libFuzzer's runtime (the normal builds need no clang).
VUMIRA_FUZZ_PACKAGES="clang libclang-rt-dev"
VUMIRA_TEST_PACKAGES="libgtest-dev googletest libbenchmark-dev valgrind xvfb xauth libxtst-dev libxres-dev pulseaudio pulseaudio-utils sox
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 $VUMIRA_INSTALLER_PACKAGES"
# bench/run.sh: cava to measure against, xterm to show it in, an X server, a
# sound server, and strace to count the system calls of an rc write.
VUMIRA_BENCH_PACKAGES="libbenchmark-dev cava xvfb xauth xterm pulseaudio pulseaudio-utils strace"

install_missing_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    local architecture
    for architecture in $(printf '%s\n' "${missing[@]}" | sed -n 's/^[^:]*://p' | sort -u); do
        [ "$architecture" = "$(dpkg --print-architecture)" ] && continue
        dpkg --print-foreign-architectures | grep -qx "$architecture" && continue
        echo "Adding the $architecture architecture to dpkg"
        $sudo dpkg --add-architecture "$architecture"
    done
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

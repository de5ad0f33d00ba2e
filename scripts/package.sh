#!/bin/sh
# Makes the release's packages into packages/: the three Debian packages for
# amd64 and for arm64 (cross-built), and the Windows zip (cross-built with
# MinGW-w64), each by cpack in a build folder of its own, then runs lintian
# on the Debian packages. Installs the tools when missing, and for the arm64
# packages' dependencies Debian's arm64 runtime libraries (multiarch).
#   scripts/package.sh [amd64] [arm64] [windows]   (all three by default)
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
[ $# -gt 0 ] || set -- amd64 arm64 windows
jobs=$(nproc)
mkdir -p packages

# build DIR [cmake options]: configures and builds DIR for packaging.
build() {
    dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" >/dev/null
}

# debs DIR: packs DIR's Debian packages and copies them to packages/.
debs() {
    rm -f "$1"/*.deb
    (cd "$1" && cpack -G DEB >/dev/null)
    cp "$1"/*.deb packages/
}

for target in "$@"; do
    case "$target" in
    amd64)
        sh scripts/deps.sh cmake:cmake g++:g++ make:make dpkg-shlibdeps:dpkg-dev lintian:lintian
        build build-deb-amd64 -DCMAKE_INSTALL_PREFIX=/usr
        debs build-deb-amd64
        ;;
    arm64)
        sh scripts/deps.sh cmake:cmake make:make aarch64-linux-gnu-g++:g++-aarch64-linux-gnu \
            dpkg-shlibdeps:dpkg-dev lintian:lintian
        sh scripts/deps.sh /usr/lib/aarch64-linux-gnu/libc.so.6:libc6:arm64 \
            /usr/lib/aarch64-linux-gnu/libstdc++.so.6:libstdc++6:arm64 \
            /usr/lib/aarch64-linux-gnu/libgcc_s.so.1:libgcc-s1:arm64
        build build-deb-arm64 -DCMAKE_INSTALL_PREFIX=/usr \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"
        debs build-deb-arm64
        ;;
    windows)
        sh scripts/deps.sh cmake:cmake make:make x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix \
            groff:groff-base
        build build-win-zip -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
        rm -f build-win-zip/*.zip
        (cd build-win-zip && cpack -G ZIP >/dev/null)
        cp build-win-zip/*.zip packages/
        ;;
    *)
        echo "Usage: scripts/package.sh [amd64] [arm64] [windows]"
        exit 2
        ;;
    esac
done

ls -1 packages
# lintian's report; the one complaint expected is the missing copyright file,
# as the project's owner has not chosen a licence.
for deb in packages/*.deb; do
    [ -e "$deb" ] && lintian "$deb" 2>/dev/null || true
done

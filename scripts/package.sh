#!/bin/sh
# Makes release packages into packages/, each by cpack in a build folder of
# its own, then runs lintian on the Debian packages made:
#   scripts/package.sh                          this machine's three Debian packages
#   scripts/package.sh [amd64] [arm64] [windows]   those named
# amd64 and arm64 are three Debian packages each (arm64 cross-built on an
# amd64 machine), windows the zip (cross-built with MinGW-w64).
# What the packages named need and is missing is installed with apt-get,
# always said first (scripts/deps.sh): cmake, make, dpkg-dev and lintian;
# g++ for this machine's packages; for arm64 packages made on amd64,
# g++-aarch64-linux-gnu and, with Debian's multiarch turned on for arm64
# (dpkg --add-architecture arm64), libc6:arm64, libstdc++6:arm64 and
# libgcc-s1:arm64, from which dpkg-shlibdeps reads the packages'
# dependencies; for windows, g++-mingw-w64-x86-64-posix and groff-base.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
machine=$(dpkg --print-architecture 2>/dev/null || uname -m)
case "$machine" in
x86_64) machine=amd64 ;;
aarch64) machine=arm64 ;;
esac
[ $# -gt 0 ] || set -- "$machine"
for target in "$@"; do
    case "$target" in
    "$machine" | windows) ;;
    arm64) [ "$machine" = amd64 ] || { echo "arm64 packages are cross-built on amd64 machines only"; exit 2; } ;;
    *)
        echo "Usage: scripts/package.sh [amd64] [arm64] [windows]   (this machine's, $machine, by default)"
        exit 2
        ;;
    esac
done
jobs=$(nproc)
mkdir -p packages
made=""

# build DIR [cmake options]: configures and builds DIR for packaging.
build() {
    dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF "$@" >/dev/null
    cmake --build "$dir" -j"$jobs" >/dev/null
}

# pack DIR GENERATOR SUFFIX: packs DIR's packages and copies them to packages/.
pack() {
    rm -f "$1"/*"$3"
    (cd "$1" && cpack -G "$2" >/dev/null)
    for file in "$1"/*"$3"; do
        cp "$file" packages/
        made="$made packages/${file##*/}"
    done
}

for target in "$@"; do
    case "$target" in
    "$machine")
        sh scripts/deps.sh cmake:cmake g++:g++ make:make dpkg-shlibdeps:dpkg-dev lintian:lintian
        build "build-deb-$target" -DCMAKE_INSTALL_PREFIX=/usr
        pack "build-deb-$target" DEB .deb
        ;;
    arm64)
        sh scripts/deps.sh cmake:cmake make:make aarch64-linux-gnu-g++:g++-aarch64-linux-gnu \
            dpkg-shlibdeps:dpkg-dev lintian:lintian
        sh scripts/deps.sh /usr/lib/aarch64-linux-gnu/libc.so.6:libc6:arm64 \
            /usr/lib/aarch64-linux-gnu/libstdc++.so.6:libstdc++6:arm64 \
            /usr/lib/aarch64-linux-gnu/libgcc_s.so.1:libgcc-s1:arm64
        build build-deb-arm64 -DCMAKE_INSTALL_PREFIX=/usr \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"
        pack build-deb-arm64 DEB .deb
        ;;
    windows)
        sh scripts/deps.sh cmake:cmake make:make x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix \
            groff:groff-base
        build build-win-zip -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
        pack build-win-zip ZIP .zip
        ;;
    esac
done

printf '%s\n' $made
# lintian's report on the Debian packages made; the one complaint expected is
# the missing copyright file, as the project's owner has not chosen a licence.
# Its temporary files, some of which it leaves, stay in a folder of ours.
mkdir -p build-lintian
for file in $made; do
    case "$file" in
    *.deb) TMPDIR=$root/build-lintian lintian "$file" 2>/dev/null || true ;;
    esac
done
rm -rf build-lintian

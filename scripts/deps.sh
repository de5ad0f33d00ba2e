#!/bin/sh
# Installs, on Debian, whatever of the given tools and packages is missing.
# Each argument is "command:package" (installed when the command is not on
# the PATH) or "/path:package" (installed when the file does not exist); the
# package may name an architecture, "package:arch".
missing=""
for pair in "$@"; do
    probe=${pair%%:*}
    package=${pair#*:}
    case "$probe" in
    /*) [ -e "$probe" ] || missing="$missing $package" ;;
    *) command -v "$probe" >/dev/null 2>&1 || missing="$missing $package" ;;
    esac
done
[ -z "$missing" ] && exit 0
# A package of another architecture ("libc6:arm64") needs Debian's multiarch
# turned on for it, which only lets such packages be installed beside the
# machine's own.
for package in $missing; do
    case "$package" in
    *:*) arch=${package#*:}
        if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
            echo "Turning on Debian's multiarch for $arch (dpkg --add-architecture $arch)"
            dpkg --add-architecture "$arch" || exit 1
        fi ;;
    esac
done
echo "Installing:$missing"
apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing

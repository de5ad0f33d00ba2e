#!/bin/sh
# Installs, on Debian, whatever of the given tools and packages is missing.
# Each argument is "command:package" (installed when the command is not on
# the PATH) or "/path:package" (installed when the file does not exist).
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
echo "Installing:$missing"
apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing

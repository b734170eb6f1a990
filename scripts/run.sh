#!/usr/bin/env bash
# Starts the shell from a build directory; without a display it says how to get one.
set -euo pipefail
build=$1
shift
shell="$build/bin/zavek-shell"
if [ ! -x "$shell" ]; then
    echo "The shell is not built yet ($shell is missing)." >&2
    exit 1
fi
for a in "$@"; do
    if [ "$a" = "--screenshot" ]; then
        export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
    fi
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found (DISPLAY is not set)." >&2
    echo "Start it on a desktop, or in a virtual one: xvfb-run -a ./zavek run" >&2
    echo "To only render the window to a picture: ./zavek run --screenshot shell.png" >&2
    exit 1
fi
exec "$shell" "$@"

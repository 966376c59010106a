#!/usr/bin/env bash
# Runs the program under Xvfb, in a private D-Bus session with the AT-SPI bus and its registry,
# with Qt's accessibility on, and lets screen_reader_bus.py check over that bus what a screen
# reader meets.
#
# Usage: screen_reader_bus.sh PROGRAM
# Exit code 0 passed, 1 failed, 77 skipped (a component is missing or the bus cannot start;
# scripts/setup installs them).
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM" >&2
    exit 2
fi
program="$(realpath "$1")"
here="$(dirname "$(realpath "$0")")"
# pyatspi is the distribution's package, for the distribution's Python.
python=/usr/bin/python3

if [ "${2:-}" != "--inside" ]; then
    for tool in xvfb-run Xvfb xauth xdotool dbus-run-session "$python"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed (scripts/setup installs it)"
            exit 77
        fi
    done
    if ! "$python" -c 'import pyatspi' 2>/dev/null; then
        echo "SKIP: python3-pyatspi is not installed (scripts/setup installs it)"
        exit 77
    fi
    if [ ! -x /usr/libexec/at-spi-bus-launcher ] || [ ! -x /usr/libexec/at-spi2-registryd ]; then
        echo "SKIP: at-spi2-core is not installed (scripts/setup installs it)"
        exit 77
    fi
    # See x11_patch_and_save.sh for the display number and -noreset.
    first_display=$((100 + RANDOM % 800))
    exec xvfb-run -a -n "$first_display" -s "-screen 0 1280x1024x24 -noreset" \
        dbus-run-session -- bash "$0" "$program" --inside
fi

# --- From here on, inside the X server and the D-Bus session. ---

work="$(mktemp -d)"
pid=""
# shellcheck source=session_steps.sh
source "$(dirname "$0")/session_steps.sh"

cleanup() {
    stop_process "$pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

wait_for_display

# The session bus starts the accessibility bus on demand; without it there is nothing to test.
if ! dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>&1; then
    echo "SKIP: the AT-SPI bus could not start in a private D-Bus session"
    exit 77
fi

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

sample="$work/sample.bin"
"$python" -c 'import sys
data = bytearray(b"A" * 434)
data[275:281] = b"Needle"
open(sys.argv[1], "wb").write(data)' "$sample"

"$program" "$sample" >"$work/program.log" 2>&1 &
pid=$!

wait_for_window

status=0
"$python" "$here/screen_reader_bus.py" "$window" || status=$?
if [ "$status" -eq 1 ]; then
    fail "see above"
fi
exit "$status"

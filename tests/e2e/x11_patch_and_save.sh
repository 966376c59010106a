#!/usr/bin/env bash
# Patches a byte through the real X11 window: types a decimal value into the byte field with real
# key events, clicks its "Update" button, saves and quits through the File menu, then compares
# the file on disk with the expected bytes.
#
# Usage: x11_patch_and_save.sh PROGRAM
# Exit code 0 passed, 1 failed, 77 skipped (the X11 tools are missing; scripts/setup installs
# them). No window manager runs under plain Xvfb, so window coordinates are the program's own.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM" >&2
    exit 2
fi
program="$(realpath "$1")"

if [ "${2:-}" != "--inside-x11" ]; then
    for tool in xvfb-run Xvfb xauth xdotool; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed (scripts/setup installs it)"
            exit 77
        fi
    done
    # xvfb-run -a takes the first free number from -n on, and two runs that start at the same
    # number at the same moment can meet on one server; other users of this machine start at 99.
    # -noreset: by default the server resets when its last client leaves, and refuses connections
    # meanwhile, so the program could meet a server that the check below had just left.
    first_display=$((100 + RANDOM % 800))
    exec xvfb-run -a -n "$first_display" -s "-screen 0 1280x1024x24 -noreset" \
        bash "$0" "$program" --inside-x11
fi

# --- From here on, inside the X server that xvfb-run started. ---

# Every wait below is bounded, so a failure ends the test long before CTest's time limit.
WAIT_SECONDS=20
MENU_BAR_HEIGHT=20

work="$(mktemp -d)"
pid=""

cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.2
        done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$work/program.log" ]; then
        echo "--- the program's output:" >&2
        cat "$work/program.log" >&2
    fi
    exit 1
}

# Runs "$@" until it succeeds, for at most WAIT_SECONDS.
wait_until() {
    local deadline=$((SECONDS + WAIT_SECONDS))
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            return 1
        fi
        sleep 0.1
    done
}

program_running() { kill -0 "$pid" 2>/dev/null; }

# Clicks at x, y of the area below the menu bar of the main window.
click_inner() {
    program_running || fail "the program ended early"
    xdotool mousemove --sync --window "$window" "$1" $(($2 + MENU_BAR_HEIGHT)) click 1
}

# The visible pop-up menu of the program, if one is open.
popup_window() {
    xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$window" | head -n1
}
popup_open() { [ -n "$(popup_window)" ]; }
popup_closed() { [ -z "$(popup_window)" ]; }

# Opens the File menu and clicks its item number `row` (0 Load, 1 Save, 2 Save As, 3 Quit).
# The rows are of equal height, with a frame around them and a separator above Quit.
choose_file_menu_item() {
    local row="$1"
    wait_until popup_closed || fail "a menu stayed open"
    xdotool mousemove --sync --window "$window" 15 $((MENU_BAR_HEIGHT / 2)) click 1
    wait_until popup_open || fail "the File menu did not open"
    local popup height row_height y
    popup="$(popup_window)"
    height="$(xdotool getwindowgeometry --shell "$popup" | sed -n 's/^HEIGHT=//p')"
    local frame_top=3 frame_bottom=1 separator=6
    row_height=$(((height - frame_top - frame_bottom - separator) / 4))
    y=$((frame_top + row * row_height + row_height / 2))
    if [ "$row" -eq 3 ]; then
        y=$((y + separator))
    fi
    xdotool mousemove --sync --window "$popup" 40 "$y" click 1
}

export QT_QPA_PLATFORM=xcb
# In a sanitizer build, libdbus's own allocations at exit would otherwise turn into exit code 1.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

# A PNG signature and a little text: the first byte is 0x89, so a patch to it is easy to see.
sample="$work/sample.png"
printf '\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR' >"$sample"
printf 'Tessary end-to-end sample, line %d.\n' 1 2 3 4 >>"$sample"
# 300 typed into the decimal field: the byte keeps the low 8 bits, 0x2C.
expected="$work/expected.png"
cp "$sample" "$expected"
printf '\x2c' | dd of="$expected" bs=1 seek=0 conv=notrunc status=none

# xvfb-run can hand over before its server takes connections, when a signal ends its wait early.
display_answers() { xdotool getdisplaygeometry >/dev/null 2>&1; }
wait_until display_answers || fail "the X server on $DISPLAY did not answer within ${WAIT_SECONDS} s"

"$program" "$sample" >"$work/program.log" 2>&1 &
pid=$!

window=""
find_window() {
    program_running || fail "the program ended before its window appeared"
    window="$(xdotool search --onlyvisible --name '^Tessary 1\.20$' 2>/dev/null | head -n1)"
    [ -n "$window" ]
}
wait_until find_window || fail "no window titled \"Tessary 1.20\" appeared within ${WAIT_SECONDS} s"

# DecField spans x 80..130, y 110..130; its "Update" button x 222..272 on the same row.
click_inner 105 120
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 30 300
click_inner 247 120

choose_file_menu_item 1
saved() { cmp -s "$sample" "$expected"; }
wait_until saved || {
    echo "expected:" >&2
    od -An -tx1 -N16 "$expected" >&2
    echo "on disk:" >&2
    od -An -tx1 -N16 "$sample" >&2
    fail "the file on disk does not hold the patched byte after File > Save"
}

choose_file_menu_item 3
program_ended() { ! program_running; }
wait_until program_ended || fail "the program did not end after File > Quit"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program ended with exit code $status"
cmp -s "$sample" "$expected" || fail "the file changed after the save"

echo "PASS: byte 1 patched to 0x2c through the X11 window, saved and quit"

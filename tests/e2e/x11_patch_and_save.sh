#!/usr/bin/env bash
# Patches a byte through the real X11 window under a real window manager (openbox), with what a
# hand sends: checks that the window opens inside a screen too small for its designed position,
# that Alt with a mouse button, which the window manager takes, opens no menu while Alt alone and
# Alt+F do, and that a left+right chord on the scroll bar's right arrow moves the pointer one
# step and no further. Then types a
# decimal value into the byte field with real key events, clicks its "Update" button, saves and
# quits through the File menu, and compares the file on disk with the expected bytes: the patch
# lands at the pointer, so a scroll bar that kept running would patch a later byte.
#
# Usage: x11_patch_and_save.sh PROGRAM
# Exit code 0 passed, 1 failed, 77 skipped (the X11 tools or openbox are missing, or openbox
# cannot start; scripts/setup installs them). Window coordinates are the client window's own.
set -euo pipefail
[ -n "${E2E_TRACE:-}" ] && { PS4='+ $SECONDS '; set -x; }

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM" >&2
    exit 2
fi
program="$(realpath "$1")"

if [ "${2:-}" != "--inside-x11" ]; then
    for tool in xvfb-run Xvfb xauth xdotool openbox; do
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
    exec xvfb-run -a -n "$first_display" -s "-screen 0 900x600x24 -noreset" \
        bash "$0" "$program" --inside-x11
fi

# --- From here on, inside the X server that xvfb-run started. ---

MENU_BAR_HEIGHT=20

work="$(mktemp -d)"
pid=""
wm_pid=""
# shellcheck source=session_steps.sh
source "$(dirname "$0")/session_steps.sh"

cleanup() {
    if [ -n "$wm_pid" ]; then
        kill "$wm_pid" 2>/dev/null || true
    fi
    stop_process "$pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP


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
# 300 typed into the decimal field at the pointer, one step on from the first byte: the second
# byte keeps the low 8 bits, 0x2C.
expected="$work/expected.png"
cp "$sample" "$expected"
printf '\x2c' | dd of="$expected" bs=1 seek=1 conv=notrunc status=none

# xvfb-run can hand over before its server takes connections, when a signal ends its wait early.
wait_for_display

# A window manager that takes Alt with a mouse button for itself, as most X11 desktops do.
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wm_answers() { xdotool get_num_desktops >/dev/null 2>&1; }
if ! wait_until wm_answers; then
    echo "SKIP: openbox did not start on $DISPLAY" >&2
    cat "$work/openbox.log" >&2
    exit 77
fi

"$program" "$sample" >"$work/program.log" 2>&1 &
pid=$!

wait_for_window

# The window manager may move the window while it frames it; the window has settled once it is
# active.
window_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
wait_until window_active || fail "the window did not become active"
# The screen is too small for the designed position (300, 200), so the window must have moved
# inside. The pointer, which X keeps on the screen, finds the window's corners: a corner off the
# screen would leave it short.
eval "$(xdotool getwindowgeometry --shell "$window")"
eval "$(xdotool getdisplaygeometry --shell | sed 's/^/SCREEN_/')"
corner() {
    xdotool mousemove --window "$window" "$1" "$2"
    sleep 0.2
    xdotool getmouselocation --shell | sed -n 's/^\([XY]\)=/POINTER_\1=/p'
}
eval "$(corner 0 0)"
left=$POINTER_X top=$POINTER_Y
eval "$(corner $((WIDTH - 1)) $((HEIGHT - 1)))"
[ $((POINTER_X - left)) -eq $((WIDTH - 1)) ] && [ $((POINTER_Y - top)) -eq $((HEIGHT - 1)) ] &&
    [ "$POINTER_X" -lt "$SCREEN_WIDTH" ] && [ "$POINTER_Y" -lt "$SCREEN_HEIGHT" ] ||
    fail "the window (${WIDTH}x${HEIGHT} from $left,$top) is not inside the ${SCREEN_WIDTH}x${SCREEN_HEIGHT} screen"

# No popup appears within a moment.
stays_closed() {
    sleep 0.5
    popup_closed
}

# Alt with each mouse button, on an empty part of the Search frame: the window manager takes the
# click, and the Alt around it is no lone Alt.
xdotool mousemove --sync --window "$window" 400 $((160 + MENU_BAR_HEIGHT))
for button in 1 2 3; do
    xdotool keydown alt
    xdotool click "$button"
    xdotool keyup alt
    stays_closed || fail "Alt with mouse button $button opened a menu"
done
# Alt alone opens the File menu, and so does Alt+F from a field, which takes no "f".
xdotool key alt
wait_until popup_open || fail "Alt alone opened no menu"
xdotool key Escape
wait_until popup_closed || fail "Escape did not close the menu"
click_inner 105 120
xdotool key alt+f
wait_until popup_open || fail "Alt+F opened no menu"
xdotool key Escape
wait_until popup_closed || fail "Escape did not close the menu"

# A chord on the scroll bar's right arrow (PointerSlider spans x 25..645, y 260..276): left down,
# right down, left up, right up. One step, then nothing more, whatever the auto-repeat would do.
xdotool mousemove --sync --window "$window" 637 $((268 + MENU_BAR_HEIGHT))
xdotool mousedown 1 mousedown 3 mouseup 1 mouseup 3
sleep 1.5

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
    fail "the file on disk does not hold the patched byte 2 after File > Save (a scroll bar that kept running after the chord patches a later byte)"
}

choose_file_menu_item 3
program_ended() { ! program_running; }
wait_until program_ended || fail "the program did not end after File > Quit"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program ended with exit code $status"
cmp -s "$sample" "$expected" || fail "the file changed after the save"

echo "PASS: under openbox, Alt+click opened no menu, Alt and Alt+F did, a chord stepped once;" \
    "byte 2 patched to 0x2c through the X11 window, saved and quit"

#!/usr/bin/env bash
# Long work on a slow disk, through the real X11 window: a load of 200 MB and a save of the same
# from a FUSE mount paced at about 50 MB/s. While each runs, the window answers the window
# manager's ping, the progress window appears, and a click on the main window is thrown away;
# Cancel then leaves the previous file shown, and a cancelled save leaves its target's bytes as
# they were and nothing else in the folder.
#
# Usage: slow_disk.sh PROGRAM SLOW_DISK X11_PING
# Exit code 0 passed, 1 failed, 77 skipped (no FUSE here, or the X11 tools are missing;
# scripts/setup installs them). No window manager runs under plain Xvfb, so window coordinates
# are the program's own.
set -euo pipefail

if [ $# -lt 3 ]; then
    echo "usage: $0 PROGRAM SLOW_DISK X11_PING" >&2
    exit 2
fi
program="$(realpath "$1")"
if [ ! -x "$2" ]; then
    echo "SKIP: the slow disk was not built (scripts/setup installs libfuse3-dev)"
    exit 77
fi
slow_disk="$(realpath "$2")"
ping_window="$(realpath "$3")"

if [ "${4:-}" != "--inside-x11" ]; then
    for tool in xvfb-run Xvfb xauth xdotool import compare; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed (scripts/setup installs it)"
            exit 77
        fi
    done
    if [ ! -c /dev/fuse ] || ! command -v fusermount3 >/dev/null; then
        echo "SKIP: no /dev/fuse or fusermount3 here (scripts/setup installs fuse3)"
        exit 77
    fi
    first_display=$((100 + RANDOM % 800))
    exec xvfb-run -a -n "$first_display" -s "-screen 0 1280x1024x24 -noreset" \
        bash "$0" "$program" "$slow_disk" "$ping_window" --inside-x11
fi

# --- From here on, inside the X server that xvfb-run started. ---

SIZE=$((200 * 1000 * 1000))

work="$(mktemp -d "${TMPDIR:-/tmp}/tessary-slow-disk.XXXXXX")"
backing="$work/backing"
mount="$work/mount"
mkdir "$backing" "$mount"
pid=""
disk_pid=""
WAIT_STEP=0.05
# shellcheck source=session_steps.sh
source "$(dirname "$0")/session_steps.sh"

cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    if [ -n "$disk_pid" ]; then
        fusermount3 -u "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true
        wait "$disk_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# The slow disk; where FUSE cannot mount (no permission in a container), the test skips.
"$slow_disk" "$backing" "$mount" >"$work/disk.log" 2>&1 &
disk_pid=$!
mounted() { mountpoint -q "$mount"; }
if ! wait_until mounted; then
    echo "SKIP: the FUSE file system could not mount here: $(cat "$work/disk.log")"
    disk_pid=""
    exit 77
fi

head -c 1000 /dev/urandom >"$backing/previous.bin"
head -c "$SIZE" /dev/urandom >"$backing/large.bin"
head -c "$SIZE" /dev/zero | tr '\0' 'o' >"$backing/target.bin"
target_sum="$(sha1sum <"$backing/target.bin")"

export QT_QPA_PLATFORM=xcb
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
wait_for_display

"$program" "$mount/previous.bin" >"$work/program.log" 2>&1 &
pid=$!

wait_for_window
xdotool mousemove --sync 5 5 # out of the window, so that no hover colours a screenshot
sleep 0.5
import -window "$window" "$work/before.png"

# The requester's window, the progress window ("Tessary" alone) and any other window besides
# the main one.
requester() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
requester_open() { [ -n "$(requester "$1")" ]; }
progress_window() { xdotool search --onlyvisible --name '^Tessary$' 2>/dev/null | head -n1; }
progress_open() { [ -n "$(progress_window)" ]; }
progress_closed() { program_running && [ -z "$(progress_window)" ]; }
other_windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -vx "$window" || true; }

# Asks for a file with a menu shortcut and types its name into the requester.
choose_file() {
    local keys="$1" title="$2" path="$3"
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key --clearmodifiers "$keys"
    wait_until requester_open "$title" || fail "the requester \"$title\" did not open"
    # Keys typed before the requester has the focus would go to the main window.
    xdotool windowfocus --sync "$(requester "$title")" 2>/dev/null || true
    sleep 0.3
    xdotool type --delay 5 "$path"
    xdotool key Return
    requester_closed() { ! requester_open "$title"; }
    wait_until requester_closed || fail "the requester \"$title\" stayed open"
}

# Starts the work and, at once, while it runs, clicks the right arrow of the pointer's scroll bar,
# which would move the pointer from 1 to 2.
start_work() {
    choose_file "$@"
    sleep 0.1
    xdotool mousemove --sync --window "$window" 637 288 click 1
    xdotool mousemove --sync 5 5
}

# The window answers the ping while the work still runs: the progress window shows after it.
check_work() {
    local what="$1" answered_ms
    answered_ms="$("$ping_window" "$window" 10000)" || fail "the window did not answer a ping during the $what"
    wait_until progress_open || fail "no progress window appeared during the $what"
    echo "the window answered a ping during the $what in ${answered_ms} ms"
    [ -z "$(other_windows | grep -vx "$(progress_window)")" ] ||
        fail "a click on the main window during the $what opened a window"
    local progress
    progress="$(progress_window)"
    local width height
    eval "$(xdotool getwindowgeometry --shell "$progress" | grep -E '^(WIDTH|HEIGHT)=')"
    xdotool mousemove --sync --window "$progress" $((WIDTH / 2)) $((HEIGHT - 22)) click 1
    xdotool mousemove --sync 5 5
    wait_until progress_closed || fail "Cancel did not end the $what"
    sleep 0.5
    [ -z "$(other_windows)" ] || fail "a window opened after the $what was cancelled"
}

start_work ctrl+o "Load File" "$mount/large.bin"
check_work load
# From "File Settings" down: the file's name, the pointer and the preview, where no caret blinks.
unchanged_since() {
    import -window "$window" "$work/after.png"
    convert "$1" -crop 700x260+0+230 +repage "$work/before-part.png"
    convert "$work/after.png" -crop 700x260+0+230 +repage "$work/after-part.png"
    changed="$(compare -metric AE "$work/before-part.png" "$work/after-part.png" null: 2>&1 || true)"
    [ "$changed" = "0" ] || fail "the window changed after the $2 was cancelled ($changed pixels)"
}
unchanged_since "$work/before.png" load

# The save needs a large file in memory: loaded from the fast disk underneath, without progress.
choose_file ctrl+o "Load File" "$backing/large.bin"
sleep 2
[ -z "$(other_windows)" ] || fail "a window stayed open after the load from the fast disk"
import -window "$window" "$work/before-save.png"
start_work ctrl+shift+s "Save As" "$mount/target.bin"
check_work save
unchanged_since "$work/before-save.png" save
[ "$(sha1sum <"$backing/target.bin")" = "$target_sum" ] || fail "the cancelled save changed the target"
left="$(ls -A "$backing" | tr '\n' ' ')"
[ "$left" = "large.bin previous.bin target.bin " ] || fail "the cancelled save left files: $left"

echo "PASS: a load and a save on a 50 MB/s disk answered, showed progress and were cancelled"

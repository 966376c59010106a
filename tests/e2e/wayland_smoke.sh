#!/usr/bin/env bash
# Runs the program natively on Wayland, under a real Weston with its headless backend, with a
# file to load. First with WAYLAND_DEBUG=1, to see on the wire that its toplevel carries the
# desktop's application id and that it maps its window (a buffer attached to the toplevel's
# surface after the compositor's configure was acknowledged); then without, where it must
# print nothing at all while it runs for at least twice the time it took to map.
#
# The window has no close request that a test can send through Weston, so each run ends with
# SIGTERM: the program must still be running then, and end from that signal (status 143) and
# from nothing else. Skipped (77) where Weston is missing or cannot start.
#
# Usage: wayland_smoke.sh PROGRAM
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 PROGRAM" >&2
    exit 2
fi
program="$1"
app_id="io.github.tessary.Tessary"
if ! command -v weston >/dev/null; then
    echo "SKIP: weston is not installed"
    exit 77
fi

work="$(mktemp -d)"
weston_pid=""
program_pid=""
cleanup() {
    for pid in "$program_pid" "$weston_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket="tessary-smoke-$$"
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 \
    --log="$work/weston.log" >/dev/null 2>&1 &
weston_pid=$!
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
    kill -0 "$weston_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -S "$XDG_RUNTIME_DIR/$socket" ]; then
    echo "SKIP: weston could not start its headless backend:"
    tail -n 5 "$work/weston.log" 2>/dev/null || true
    exit 77
fi

file="$work/sample.bin"
head -c 4096 /dev/urandom >"$file"
wayland_env=(env -u DISPLAY WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland)

# Ends the running program with SIGTERM and checks that it was running and ends from that.
end_program() {
    local what="$1" status=0
    if ! kill -0 "$program_pid" 2>/dev/null; then
        wait "$program_pid" || status=$?
        fail "$what: the program ended by itself, with status $status"
    else
        kill -TERM "$program_pid"
        wait "$program_pid" || status=$?
        [ "$status" -eq 143 ] || fail "$what: the program ended with status $status, not 143"
    fi
    program_pid=""
}

# The toplevel's surface, and whether a buffer was attached to it after the configure was
# acknowledged.
mapped() {
    awk '
        /-> xdg_wm_base@[0-9]+\.get_xdg_surface\(new id xdg_surface@/ {
            match($0, /xdg_surface@[0-9]+/); xdg = substr($0, RSTART, RLENGTH)
            match($0, /wl_surface@[0-9]+\)/); surface[xdg] = substr($0, RSTART, RLENGTH - 1)
        }
        /-> xdg_surface@[0-9]+\.get_toplevel/ {
            match($0, /xdg_surface@[0-9]+/); toplevel = substr($0, RSTART, RLENGTH)
        }
        toplevel != "" && index($0, "-> " toplevel ".ack_configure(") { acknowledged = 1 }
        acknowledged && index($0, "-> " surface[toplevel] ".attach(wl_buffer@") { found = 1 }
        END { exit found ? 0 : 1 }
    ' "$1"
}

started="$(date +%s%N)"
"${wayland_env[@]}" WAYLAND_DEBUG=1 "$program" "$file" >"$work/debug.out" 2>"$work/debug.err" &
program_pid=$!
took=""
for _ in $(seq 300); do
    if mapped "$work/debug.err"; then
        took=$((($(date +%s%N) - started) / 1000000))
        break
    fi
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
grep -q "set_app_id(\"$app_id\")" "$work/debug.err" ||
    fail "the toplevel's application id is not $app_id: $(grep -o 'set_app_id([^)]*)' "$work/debug.err" || echo none)"
[ -n "$took" ] || fail "the program did not map its window"
end_program "with WAYLAND_DEBUG"

"${wayland_env[@]}" "$program" "$file" >"$work/quiet.out" 2>"$work/quiet.err" &
program_pid=$!
sleep "$(awk -v ms="${took:-1000}" 'BEGIN { printf "%.1f", ms * 2 / 1000 + 1 }')"
end_program "a normal run"
if [ -s "$work/quiet.out" ] || [ -s "$work/quiet.err" ]; then
    cat "$work/quiet.out" "$work/quiet.err" >&2
    fail "the program printed something in a normal run"
fi

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "PASS: on Weston's headless backend the window of $app_id was mapped in ${took} ms;" \
    "a normal run printed nothing"

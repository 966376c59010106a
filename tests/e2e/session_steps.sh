# What the end-to-end scripts that run the program in a session of their own share: the bounded
# wait, the failure that shows the program's output, and the program's stop. Sourced after the
# script has set `work`, its temporary folder, where the program writes program.log.

# Every wait is bounded, so a failure ends the test long before CTest's time limit.
WAIT_SECONDS="${WAIT_SECONDS:-20}"
WAIT_STEP="${WAIT_STEP:-0.1}"

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
        sleep "$WAIT_STEP"
    done
}

# Asks the process to end, and kills it where it hasn't within two seconds.
stop_process() {
    local process="$1"
    if [ -n "$process" ] && kill -0 "$process" 2>/dev/null; then
        kill "$process" 2>/dev/null || true
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$process" 2>/dev/null || break
            sleep 0.2
        done
        kill -9 "$process" 2>/dev/null || true
    fi
}

program_running() { kill -0 "$pid" 2>/dev/null; }

# Waits for the X server on DISPLAY to answer.
wait_for_display() {
    display_answers() { xdotool getdisplaygeometry >/dev/null 2>&1; }
    wait_until display_answers || fail "the X server on $DISPLAY did not answer within ${WAIT_SECONDS} s"
}

# Waits for the program's main window and sets `window` to it.
wait_for_window() {
    window=""
    find_window() {
        program_running || fail "the program ended before its window appeared"
        window="$(xdotool search --onlyvisible --name '^Tessary 1\.20$' 2>/dev/null | head -n1)"
        [ -n "$window" ]
    }
    wait_until find_window || fail "no window titled \"Tessary 1.20\" appeared within ${WAIT_SECONDS} s"
}

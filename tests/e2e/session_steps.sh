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

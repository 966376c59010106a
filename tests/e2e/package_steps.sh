# What the package checks share: the skip where a tool is missing, the failure count, and the
# package that cpack makes of the build. Sourced once `build` names the build folder.

# Skips (77) unless every tool named is installed.
require_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A failed check is counted, so that one run reports every check that failed.
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Makes the package with cpack's GENERATOR and sets `package` to the file named like PATTERN.
make_package() {
    local generator="$1" pattern="$2"
    if ! cpack -G "$generator" --config "$build/CPackConfig.cmake" -B "$work/out" \
        >"$work/cpack.log" 2>&1; then
        cat "$work/cpack.log" >&2
        fail "cpack could not make the package"
        exit 1
    fi
    package="$(find "$work/out" -maxdepth 1 -name "$pattern" | head -n1)"
    [ -n "$package" ] || {
        fail "cpack made no $pattern"
        exit 1
    }
}

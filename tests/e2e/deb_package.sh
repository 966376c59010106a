#!/usr/bin/env bash
# Makes the Debian package of a build with cpack, unpacks it into a scratch root and runs the
# program from there, as an installed package would run it. Qt is a system library, so the
# program must start without a library path of its own. Skipped (77) where dpkg is missing.
#
# Usage: deb_package.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build="$1"
for tool in dpkg dpkg-deb dpkg-shlibdeps cpack; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not make the package"
    exit 1
fi
package="$(find "$work/out" -maxdepth 1 -name 'tessary_*.deb' | head -n1)"
[ -n "$package" ] || {
    fail "cpack made no tessary_*.deb"
    exit 1
}

depends="$(dpkg-deb -f "$package" Depends)"
for library in libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

root="$work/root"
dpkg -x "$package" "$root"
for file in usr/bin/tessary usr/share/man/man1/tessary.1 \
    usr/share/applications/io.github.tessary.Tessary.desktop; do
    [ -f "$root/$file" ] || fail "the package lacks /$file"
done
version="$(dpkg-deb -f "$package" Version)"
answer="$(env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/tessary" --version)" ||
    fail "the unpacked program does not answer --version"
[ "$answer" = "Tessary $version" ] ||
    fail "the unpacked program says \"$answer\", the package's version is $version"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "PASS: $(basename "$package") depends on Qt and its program answers \"$answer\""

#!/usr/bin/env bash
# Makes the Debian package of a build with cpack, unpacks it into a scratch root and runs the
# program from there, as an installed package would run it. Qt is a system library, so the
# program must start without a library path of its own. lintian then reads the package as a
# distribution's packager would: no error and no warning, and in a Release or RelWithDebInfo
# build no information tag either (the hardening ones among them). Skipped (77) where dpkg or
# lintian is missing.
#
# Usage: deb_package.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build="$1"
# shellcheck source=package_steps.sh
source "$(dirname "$0")/package_steps.sh"
require_tools dpkg dpkg-deb dpkg-shlibdeps cpack lintian
make_package DEB 'tessary_*.deb'

depends="$(dpkg-deb -f "$package" Depends)"
for library in libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

root="$work/root"
dpkg -x "$package" "$root"
for file in usr/bin/tessary usr/share/man/man1/tessary.1.gz \
    usr/share/applications/io.github.tessary.Tessary.desktop; do
    [ -f "$root/$file" ] || fail "the package lacks /$file"
done
version="$(dpkg-deb -f "$package" Version)"
answer="$(env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/tessary" --version)" ||
    fail "the unpacked program does not answer --version"
[ "$answer" = "Tessary $version" ] ||
    fail "the unpacked program says \"$answer\", the package's version is $version"

# A Debug build is not optimized, so its calls cannot be fortified: only its errors and
# warnings count.
build_type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")"
if ! report="$(lintian --fail-on none --display-info --no-tag-display-limit "$package" 2>&1)"; then
    echo "$report" >&2
    fail "lintian could not read the package"
fi
tags="$(grep -E '^[EWI]: ' <<<"$report" || true)"
case "$build_type" in
Release | RelWithDebInfo) shown="$tags" ;;
*) shown="$(grep -E '^[EW]: ' <<<"$tags" || true)" ;;
esac
if [ -n "$shown" ]; then
    echo "$shown" >&2
    fail "lintian tags the package of this $build_type build"
fi

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "PASS: $(basename "$package") depends on Qt, its program answers \"$answer\"," \
    "lintian: ${tags:-no tags}"

#!/usr/bin/env bash
# Makes the RPM of a build with cpack, as a Fedora or openSUSE user would get it, unpacks it with
# rpm2cpio into a scratch root and runs the program from there. Checks what rpmbuild found and
# what the package says of itself, then lets rpmlint read it with the project's rpmlintrc: no
# error and no warning. Skipped (77) where rpmbuild, rpm2cpio, cpio or rpmlint is missing.
#
# Usage: rpm_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SOURCE_DIR" >&2
    exit 2
fi
build="$1"
source="$2"
# shellcheck source=package_steps.sh
source "$(dirname "$0")/package_steps.sh"
require_tools rpm rpmbuild rpm2cpio cpio rpmlint cpack
make_package RPM 'tessary-*.rpm'

query() { rpm -qp --nosignature "$@" "$package" 2>/dev/null; }

requires="$(query --requires)"
for library in libQt6Core.so.6 libQt6Gui.so.6 libQt6Widgets.so.6; do
    grep -q "^$library()" <<<"$requires" || fail "Requires lacks $library"
done
recommends="$(query --recommends)"
for plugin in qt6-qtsvg qt6-qtwayland; do
    grep -qx "$plugin" <<<"$recommends" || fail "Recommends lacks $plugin: $recommends"
done
[ -n "$(query --qf '%{PACKAGER}')" ] && [ "$(query --qf '%{PACKAGER}')" != "(none)" ] ||
    fail "the package names no packager"
[ "$(query --qf '%{DESCRIPTION}')" = "$(cat "$source/data/description.txt")" ] ||
    fail "the package's description is not data/description.txt"

# The folders that the file system package owns stay its own.
owned="$(query --qf '[%{FILENAMES}\n]')"
for folder in /usr /usr/bin /usr/share /usr/share/applications /usr/share/icons \
    /usr/share/icons/hicolor /usr/share/icons/hicolor/scalable \
    /usr/share/icons/hicolor/scalable/apps /usr/share/man /usr/share/man/man1 \
    /usr/share/metainfo /usr/share/doc; do
    ! grep -qx "$folder" <<<"$owned" || fail "the package owns the standard folder $folder"
done

root="$work/root"
mkdir -p "$root"
(cd "$root" && rpm2cpio "$package" | cpio -idm --quiet)
for file in usr/bin/tessary usr/share/man/man1/tessary.1.gz \
    usr/share/applications/io.github.tessary.Tessary.desktop usr/share/doc/tessary/copyright; do
    [ -f "$root/$file" ] || fail "the package lacks /$file"
done
version="$(query --qf '%{VERSION}')"
answer="$(env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/tessary" --version)" ||
    fail "the unpacked program does not answer --version"
[ "$answer" = "Tessary $version" ] ||
    fail "the unpacked program says \"$answer\", the package's version is $version"

report="$(rpmlint -c "$source/data/rpmlint.toml" -r "$source/data/tessary.rpmlintrc" "$package" 2>&1)" ||
    true
summary="$(grep -E 'packages and [0-9]+ specfiles checked' <<<"$report" || true)"
if ! grep -q ' 0 errors, 0 warnings' <<<"$summary"; then
    echo "$report" >&2
    fail "rpmlint finds errors or warnings: ${summary:-it did not run}"
fi

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "PASS: $(basename "$package") requires Qt, its program answers \"$answer\"," \
    "rpmlint: $summary"

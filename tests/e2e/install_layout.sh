#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what a desktop needs: the program, its
# manual page, and its desktop entry, icon and AppStream metainfo in the usual places, named
# after one reverse-DNS id and pointing at each other. The entry claims no file type, so that
# installing Tessary makes it the default opener of none.
#
# Usage: install_layout.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >/dev/null

id="io.github.tessary.Tessary"
program="$prefix/bin/tessary"
manual="$prefix/share/man/man1/tessary.1.gz"
entry="$prefix/share/applications/$id.desktop"
icon="$prefix/share/icons/hicolor/scalable/apps/$id.svg"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
for file in "$program" "$manual" "$entry" "$icon" "$metainfo"; do
    [ -f "$file" ] || fail "not installed: ${file#"$prefix"/}"
done
[ "$failures" -eq 0 ] || exit 1
[ -x "$program" ] || fail "the program is not executable"

key() { sed -n "s/^$1=//p" "$entry"; }
[ "$(key Exec)" = "tessary %f" ] || fail "Exec is \"$(key Exec)\", not \"tessary %f\""
[ "$(key Icon)" = "$(basename "$icon" .svg)" ] || fail "Icon does not name the installed icon"
[ "$(key Type)" = "Application" ] || fail "Type is not Application"
[ "$(key Terminal)" = "false" ] || fail "Terminal is not false"
[ "$(key StartupNotify)" = "true" ] || fail "StartupNotify is not true"
! grep -q '^MimeType=' "$entry" || fail "the desktop entry claims file types: $(key MimeType)"
case "$(key Categories)" in
*Utility\;*) ;;
*) fail "Categories lacks Utility" ;;
esac
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "desktop-file-validate rejects the desktop entry"
fi

grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
grep -q "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "$metainfo" ||
    fail "the metainfo does not launch the installed desktop entry"
version="$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version)" ||
    fail "the installed program does not answer --version"
grep -q "<release version=\"${version#Tessary }\"" "$metainfo" ||
    fail "the metainfo has no release for \"$version\""
zcat "$manual" | grep "^\.TH TESSARY 1 .*\"$version\"" >/dev/null ||
    fail "the manual page does not name \"$version\""
if command -v appstreamcli >/dev/null; then
    # Without the network: the screenshot and the home page are not fetched. Pedantic, and
    # still nothing above an information: the id's upper case is pedantic, and 0.16 does not
    # know <developer> yet.
    report="$(appstreamcli validate --pedantic --no-net --no-color "$metainfo" 2>&1)" ||
        fail "appstreamcli rejects the metainfo"
    if grep -E '^(E|W):' <<<"$report" >&2; then
        fail "appstreamcli finds faults or warnings in the metainfo"
    fi
fi

grep -q '<svg' "$icon" || fail "the icon is not an SVG"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "PASS: program, manual page, desktop entry, icon and metainfo installed under a prefix"

#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop and a packager see:
# every file in its place, the desktop entry, the metainfo and the manual page valid, the
# installed binary starting and closing under the Xvfb of tests/with-xvfb.sh with a private
# HOME (its window's class is the entry's StartupWMClass), and the uninstall removing every
# file again.
# Usage: check_install.sh <build dir> <install prefix> <version>
set -u
build=$1 prefix=$2 version=$3
id=io.github.tandrel.Tandrel
dest=$(mktemp -d /tmp/tandrel-install-XXXXXX)
root=$dest$prefix
TANDREL_BIN=$root/bin/tandrel TN_BUILD_DIR=$build
. "$(dirname "$0")/../e2e/lib/common.bash"
trap 'cleanup; rm -rf "$dest"' EXIT

DESTDIR=$dest cmake --install "$build" --component app >"$dest.log" 2>&1 || { cat "$dest.log"; rm -f "$dest.log"; fail "install failed"; }
rm -f "$dest.log"
for f in bin/tandrel share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/48x48/apps/$id.png share/icons/hicolor/128x128/apps/$id.png \
    share/icons/hicolor/scalable/apps/$id.svg share/man/man1/tandrel.1 \
    share/doc/tandrel/README.md share/doc/tandrel/LICENSE share/doc/tandrel/docs/screenshot.png \
    share/doc/tandrel/docs/overview.png; do
    [ -f "$root/$f" ] || fail "not installed: $prefix/$f"
done
[ -x "$root/bin/tandrel" ] || fail "the installed binary is not executable"
for size in 48 128; do
    got=$(identify -format '%wx%h' "$root/share/icons/hicolor/${size}x${size}/apps/$id.png")
    [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
done

entry=$root/share/applications/$id.desktop
out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx 'Exec=tandrel' "$entry" || fail "the entry does not run the installed binary"
grep -qx "Icon=$id" "$entry" || fail "the entry's icon is not $id"
out=$(appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" 2>&1) || fail "appstreamcli: $out"
newest=$(grep -o '<release version="[^"]*"' "$root/share/metainfo/$id.metainfo.xml" | head -1 | cut -d'"' -f2)
[ "$newest" = "$version" ] || fail "the metainfo's newest release is $newest, the program is $version"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo does not launch $id.desktop"
out=$(groff -man -ww -z "$root/share/man/man1/tandrel.1" 2>&1)
[ -z "$out" ] || fail "groff: $out"
grep -q "Tandrel $version" "$root/share/man/man1/tandrel.1" || fail "the manual page does not carry version $version"

# The installed binary: --version, then a start and a close with a private HOME.
out=$("$root/bin/tandrel" --version) || fail "--version failed"
[ "$out" = "Tandrel $version" ] || fail "--version said: $out"
start_and_close_installed "$entry"

# Uninstall from this install's manifest: no file is left.
DESTDIR=$dest cmake -DMANIFEST="$build/install_manifest_app.txt" -DDOC_DIR="$prefix/share/doc/tandrel" \
    -P "$(dirname "$0")/../../data/uninstall.cmake" >/dev/null || fail "uninstall failed"
left=$(find "$root" -type f)
[ -z "$left" ] || fail "left after uninstall: $left"
[ ! -e "$root/share/doc/tandrel" ] || fail "the documentation directory is left after uninstall"
echo "install, validation, start and uninstall: ok"

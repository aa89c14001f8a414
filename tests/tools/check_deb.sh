#!/usr/bin/env bash
# Checks the Debian package that `make deb` left in <deb dir> as a user meets it: lintian
# on the .changes (and so on every package it lists) with no error and no warning; the
# package installed with `apt-get install ./…deb` (as root, or through sudo); the command
# of its installed desktop entry, which must be /usr/bin/tandrel, started and closed under
# the Xvfb of tests/with-xvfb.sh with a private HOME; its manual page opened by man; and
# `apt-get purge` leaving none of its files and no trace in dpkg's database.
# Usage: check_deb.sh <deb dir> <Debian version> <build dir (for tn_wm_close)>
set -u
dir=$(realpath "$1") version=$2
TANDREL_BIN=/usr/bin/tandrel TN_BUILD_DIR=$(realpath "$3")
. "$(dirname "$0")/../e2e/lib/common.bash"
arch=$(dpkg --print-architecture)
deb=$dir/tandrel_${version}_$arch.deb
changes=$dir/tandrel_${version}_$arch.changes
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300)
installed=0
trap 'cleanup; [ $installed -eq 0 ] || $SUDO "${apt[@]}" purge tandrel >/dev/null 2>&1' EXIT

for f in "$deb" "$dir/tandrel-dbgsym_${version}_$arch.deb" "$changes"; do
    [ -f "$f" ] || fail "make deb did not leave $f"
done
lintian --fail-on error,warning "$changes" || fail "lintian reported the above"
echo "lintian: no error, no warning"

status=$(dpkg-query -W -f='${db:Status-Status}' tandrel 2>/dev/null)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "tandrel is $status already; purge it first"
$SUDO "${apt[@]}" install "$deb" >"$E2E_TMP/apt.log" 2>&1 || { cat "$E2E_TMP/apt.log"; fail "apt-get install failed"; }
installed=1
[ "$(dpkg-query -W -f='${Version}' tandrel)" = "$version" ] || fail "the installed version is not $version"
entry=/usr/share/applications/io.github.tandrel.Tandrel.desktop
[ -f "$entry" ] || fail "the package installed no $entry"
command=$(sed -n 's/^Exec=//p' "$entry")
# The system's directories alone: a `make install` into /usr/local does not count.
[ "$(PATH=/usr/bin:/bin command -v "$command")" = "$TANDREL_BIN" ] ||
    fail "the entry's command '$command' is not $TANDREL_BIN"
start_and_close_installed "$entry"

# man finds the page (a `make install` into /usr/local may have one as well) and shows it
# without a warning.
page_file=/usr/share/man/man1/tandrel.1.gz
man -aw tandrel | grep -qx "$page_file" || fail "man does not find $page_file: $(man -aw tandrel)"
page=$(MANWIDTH=80 man --warnings -P cat "$page_file" 2>"$E2E_TMP/man.err") || fail "man failed: $(cat "$E2E_TMP/man.err")"
[ -s "$E2E_TMP/man.err" ] && fail "man warned: $(cat "$E2E_TMP/man.err")"
grep -q "Tandrel ${version%-*}" <<<"$page" || fail "the manual page does not carry version ${version%-*}"

files=$(dpkg-query -L tandrel) || fail "dpkg knows no files of tandrel"
$SUDO "${apt[@]}" purge tandrel >"$E2E_TMP/apt.log" 2>&1 || { cat "$E2E_TMP/apt.log"; fail "apt-get purge failed"; }
installed=0
status=$(dpkg-query -W -f='${db:Status-Status}' tandrel 2>/dev/null)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "after the purge dpkg has tandrel as $status"
left=""
while read -r f; do
    case "$f" in */tandrel* | */io.github.tandrel.Tandrel*) [ -e "$f" ] && left="$left $f" ;; esac
done <<<"$files"
[ -z "$left" ] || fail "left after the purge:$left"
echo "package install, start from the desktop entry, manual page and purge: ok"

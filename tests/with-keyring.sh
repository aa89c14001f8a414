#!/bin/sh
# Runs a command in a D-Bus session of its own with a Secret Service: gnome-keyring-daemon,
# whose login keyring (made afresh in a temporary directory) is unlocked with a known password.
# The bus ends with the command, and the daemon with the bus. No display reaches the session:
# a keyring that wants to ask the user something (a locked one) is told at once that nobody
# can be asked, instead of waiting for an answer on the test's display.
set -u
dir=$(mktemp -d) || exit 1
mkdir -p "$dir/data" "$dir/cache" "$dir/run"
chmod 700 "$dir/run"
env -u DISPLAY TN_KEYRING_DISPLAY="${DISPLAY-}" XDG_DATA_HOME="$dir/data" XDG_CACHE_HOME="$dir/cache" \
  XDG_RUNTIME_DIR="$dir/run" dbus-run-session -- sh -c '
    printf %s tandrel-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 1
    if [ -n "$TN_KEYRING_DISPLAY" ]; then export DISPLAY="$TN_KEYRING_DISPLAY"; fi
    unset TN_KEYRING_DISPLAY
    exec "$@"' sh "$@"
status=$?
rm -rf "$dir"
exit $status

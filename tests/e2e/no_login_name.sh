#!/usr/bin/env bash
# Without a login name in the environment the program says so on standard output and in
# a message box, makes no configuration directory and ends with status 1 once the box
# is closed.
source "$(dirname "$0")/lib/common.bash"

mkdir -p "$E2E_TMP/home"
env -u USER -u LOGNAME -u USERNAME HOME="$E2E_TMP/home" "$TANDREL_BIN" >"$E2E_TMP/stdout.txt" 2>&1 &
APP_PID=$!
E2E_PIDS+=("$APP_PID")

wait_for 100 xdotool search --name '^Tandrel - FLTK$' || fail "no message box titled 'Tandrel - FLTK'"
BOX_WIN=$(xdotool search --name '^Tandrel - FLTK$' | head -1)
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended before the box was closed"
xdotool search --name '^Tandrel$' >/dev/null 2>&1 && fail "the main window was built"

printf 'Tandrel - FLTK: CRITICAL - Could not get user'"'"'s login name from environment\n\nExiting\n' \
    >"$E2E_TMP/expected.txt"
cmp -s "$E2E_TMP/stdout.txt" "$E2E_TMP/expected.txt" || {
    diff "$E2E_TMP/expected.txt" "$E2E_TMP/stdout.txt" >&2
    fail "standard output differs"
}

xdotool mousemove --window "$BOX_WIN" 10 10
xdotool key --window "$BOX_WIN" Return
wait_for_exit "after the box was closed"
[ "$APP_STATUS" -eq 1 ] || fail "exit status $APP_STATUS, expected 1"
[ ! -e "$E2E_TMP/home/.tandrel" ] || fail "a configuration directory was made"
echo "PASS no_login_name"

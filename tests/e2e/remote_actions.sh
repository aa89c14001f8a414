#!/usr/bin/env bash
# F8 in the viewer opens the "Remote host actions" window, centred on a 1024 x 768 main
# window; each action button sends its keys (or one full update request) to the shown
# host and closes the window; Close, Escape and the window manager's close button close
# it without sending anything; a second F8 opens no second window. The test server logs
# every key event and every full update request it receives.
source "$(dirname "$0")/lib/common.bash"

key_log="$E2E_TMP/keys.txt"
update_log="$E2E_TMP/updates.txt"
start_test_server --width 400 --height 300 --key-log "$key_log" \
    --update-log "$update_log" --max-seconds 200
port=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
printf 'logtofile=true\nhostlistwidth=170\nsavedx=0\nsavedy=0\nsavedw=1024\nsavedh=768\n' >"$(config_file)"
printf 'host=remote\nhostaddress=127.0.0.1\nvncport=%s\nscale=s\nf12macro=macro\n' "$port" >>"$(config_file)"

start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Width: 1024'" || fail "saved geometry not applied"
# The saved position is restored 0.7 s after start-up; a click while the window moves
# would land elsewhere.
sleep 1
xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1
wait_for 100 grep -q "Connected to 'remote'" "$(log_file)" || fail "did not connect to the test server"

f8_windows() { xdotool search --name '^Remote host actions$' 2>/dev/null; }
lines_of() { wc -l <"$1"; }

# A click gives the viewer the keyboard (the pointer stays clear of where the window
# opens); F8 is released there.
open_window() {
    xdotool mousemove --window "$APP_WIN" 250 100 click 1 sleep 0.3 key F8
    wait_for 50 sh -c '[ -n "$(xdotool search --name "^Remote host actions\$")" ]' || fail "F8 opened no window"
    F8_WIN=$(f8_windows | head -1)
    wait_for 50 sh -c "xwininfo -id $F8_WIN | grep -q IsViewable" || fail "the window is not viewable"
    sleep 0.3
}
expect_closed() {
    wait_for 50 sh -c '[ -z "$(xdotool search --name "^Remote host actions\$")" ]' || fail "$1: the window stayed open"
}
# Waits for `count` key events in all and compares the whole log.
expect_keys() {
    local what=$1 count=$2 expected
    shift 2
    expected=$(printf '%s\n' "$@")
    wait_for 50 sh -c "[ \$(wc -l <'$key_log') -ge $count ]"
    sleep 0.3
    [ "$(cat "$key_log")" = "$expected" ] || {
        printf 'key events received:\n%s\nexpected:\n%s\n' "$(cat "$key_log")" "$expected" >&2
        fail "$what"
    }
}
# Button centres in the window: the six action buttons are 200 x 35 at x 15 from y 19 on
# in steps of 38; Close is 100 x 35 at 120, 290.
press() {
    xdotool mousemove --window "$F8_WIN" "$1" "$2" click 1
    expect_closed "$3"
}

open_window
geometry=$(xwininfo -id "$F8_WIN")
echo "$geometry" | grep -q 'Absolute upper-left X:  397' && echo "$geometry" | grep -q 'Absolute upper-left Y:  217' &&
    echo "$geometry" | grep -q 'Width: 230' && echo "$geometry" | grep -q 'Height: 335' || {
    echo "$geometry" >&2
    fail "the window is not 230 x 335 at 397, 217"
}
# F8 again, over the viewer beside the open window: still one window, nothing sent.
xdotool mousemove --window "$APP_WIN" 250 100 sleep 0.2 key F8 sleep 0.5
[ "$(f8_windows | wc -l)" -eq 1 ] || fail "a second F8 opened a second window"
press 170 36 "Send Ctrl+Alt+Del"
sent=("down 0xffe3" "down 0xffe9" "down 0xffff" "up 0xffe3" "up 0xffe9" "up 0xffff")
expect_keys "Ctrl+Alt+Del" 6 "${sent[@]}"

open_window
press 115 74 "Send Ctrl+Shift+Esc"
sent+=("down 0xffe3" "down 0xffe1" "down 0xff1b" "up 0xffe3" "up 0xffe1" "up 0xff1b")
expect_keys "Ctrl+Shift+Esc" 12 "${sent[@]}"

for key in "150 ffc5" "188 ffc8" "226 ffc9"; do
    set -- $key
    open_window
    press 115 "$1" "Send key 0x$2"
    sent+=("down 0x$2" "up 0x$2")
    expect_keys "the key 0x$2 (F12 without the host's macro)" ${#sent[@]} "${sent[@]}"
done

open_window
before=$(lines_of "$update_log")
press 115 112 "Send refresh request"
wait_for 30 sh -c "[ \$(wc -l <'$update_log') -gt $before ]" || fail "the refresh sent no full update request"
sleep 0.5
[ "$(lines_of "$update_log")" -eq $((before + 1)) ] || fail "the refresh sent more than one full update request"
expect_keys "keys sent by the refresh" ${#sent[@]} "${sent[@]}"

# Closing without an action: nothing reaches the host.
updates=$(lines_of "$update_log")
open_window
press 170 307 "Close"
open_window
xdotool mousemove --window "$F8_WIN" 115 260 key Escape
expect_closed "Escape"
open_window
"$WM_CLOSE" "$F8_WIN" || fail "could not send the close request"
expect_closed "the window manager's close button"
sleep 0.5
expect_keys "keys sent by closing the window" ${#sent[@]} "${sent[@]}"
[ "$(lines_of "$update_log")" -eq "$updates" ] || fail "closing the window sent an update request"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "PASS remote_actions"

#!/usr/bin/env bash
# The connection options window on the real binary: a host added through the window
# (name, address, port, password typed), saved, connected to the test server with its
# picture on screen, stored with its Base64 password; then edited and cancelled, which
# leaves the file byte for byte as it was.
source "$(dirname "$0")/lib/common.bash"

start_test_server --width 400 --height 300 --password secret12 --max-seconds 200
port=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
printf 'logtofile=true\nsavedx=0\nsavedy=0\nsavedw=800\nsavedh=600\n' >"$(config_file)"
start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Height: 600'" || fail "saved geometry not applied"

# Waits for a window whose title matches; prints its id.
window_named() {
    wait_for 50 xdotool search --name "$1" || return 1
    xdotool search --name "$1" | head -1
}
# Clicks into a field of a window at (x, y), empties it and types `text`.
type_into() {
    local win=$1 x=$2 y=$3 text=$4
    xdotool mousemove --window "$win" "$x" "$y" click 1 sleep 0.2 key End
    for _ in $(seq 1 20); do xdotool key BackSpace; done
    xdotool type --delay 30 "$text"
}

# The first line (the blank host of a first start) is selected, so the new host follows it.
xdotool mousemove --window "$APP_WIN" 40 8 click 1 sleep 0.3
# The add button is the first of the strip at the bottom of the left column.
xdotool mousemove --window "$APP_WIN" 10 589 click 1
edit=$(window_named "^Editing '\\(new connection\\)'$") || fail "the add button opened no options window"
# No window manager: the pointer goes onto the modal window before typing into it. The
# name field has the keyboard with its text selected.
xdotool mousemove --window "$edit" 300 500 sleep 0.3
xdotool type --delay 30 'e2e host'
type_into "$edit" 300 114 127.0.0.1
type_into "$edit" 245 226 "$port"
type_into "$edit" 300 254 secret12
xdotool key Return
wait_for 50 sh -c "! xdotool search --name '^Editing' >/dev/null" || fail "Save did not close the window"
grep -q '^host=e2e host$' "$(config_file)" || fail "Save did not write the new host"

# The new host is line 2; a double click connects it, and its picture shows 1:1 right of
# the 170-pixel list (the test server's pixel (x, y) is R = 4x, G = 4y, B = 128).
xdotool mousemove --window "$APP_WIN" 40 28 click --repeat 2 --delay 80 1
wait_for 100 grep -q "Connected to 'e2e host' - 127.0.0.1" "$(log_file)" || {
    cat "$(log_file)" >&2
    fail "the host added through the window did not connect"
}
sleep 1
read -r wx wy < <(xwininfo -id "$APP_WIN" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
read -r r g b < <(pixel_at $((wx + 173 + 10)) $((wy + 20)))
near() { [ $(($1 > $2 ? $1 - $2 : $2 - $1)) -le 16 ]; }
near "${r:-0}" 40 && near "${g:-0}" 80 && near "${b:-0}" 128 || fail "the remote picture is not shown (pixel $r $g $b)"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
for line in 'host=e2e host' 'hostaddress=127.0.0.1' "vncport=$port" "vncpass=$(printf secret12 | base64)"; do
    grep -qxF "$line" "$(config_file)" || {
        cat "$(config_file)" >&2
        fail "\"$line\" is not in the file"
    }
done

# Edit and cancel: the file stays byte for byte as it was.
start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Height: 600'" || fail "saved geometry not applied"
cp "$(config_file)" "$E2E_TMP/before.conf"
xdotool mousemove --window "$APP_WIN" 40 28 click 3 sleep 0.5 key Down Down Return
edit=$(window_named "^Editing 'e2e host'$") || fail "\"Edit\" in the menu opened no options window"
xdotool mousemove --window "$edit" 300 500 sleep 0.3
xdotool type --delay 30 'renamed'
type_into "$edit" 300 254 other-password
xdotool key Escape
wait_for 50 sh -c "! xdotool search --name '^Editing' >/dev/null" || fail "Escape did not close the window"
cmp -s "$(config_file)" "$E2E_TMP/before.conf" || fail "the file changed after an edit was cancelled"
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
grep -qxF 'host=e2e host' "$(config_file)" || fail "the cancelled name reached the file"
echo "PASS options_window"

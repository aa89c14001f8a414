#!/usr/bin/env bash
# A host deleted from the list stays deleted when the program is killed right after: the
# file is written as soon as the deletion is confirmed, not at the next save or exit.
source "$(dirname "$0")/lib/common.bash"

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<'CONF'
savedx=0
savedy=0
savedw=800
savedh=600
host=alpha
hostaddress=127.0.0.1
vncport=5999
host=beta
hostaddress=127.0.0.1
vncport=5998
CONF

start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Height: 600'" || fail "saved geometry not applied"
# Select beta (the second line), then its menu's "Delete..." (the fourth entry).
xdotool mousemove --window "$APP_WIN" 40 26 click 1
xdotool mousemove --window "$APP_WIN" 40 26 click 3
sleep 0.5
xdotool key Down Down Down Down Return
wait_for 50 xdotool search --name '^Tandrel - Delete Item$' || fail "no question before deleting"
BOX=$(xdotool search --name '^Tandrel - Delete Item$' | head -1)
wait_for 50 sh -c "xwininfo -id $BOX | grep -q IsViewable" || fail "the question box is not viewable"
sleep 0.3
# The box's buttons are [Yes] [No] [Cancel] from the left; Enter would answer No.
eval "$(xdotool getwindowgeometry --shell "$BOX")"
box_width=$WIDTH
box_height=$HEIGHT
xdotool mousemove --window "$BOX" $((box_width - 175)) $((box_height - 22)) click 1
wait_for 50 sh -c "! grep -q 'host=beta' '$(config_file)'" || fail "the deletion was not saved at once: $(cat "$(config_file)")"

kill -KILL "$APP_PID"
wait "$APP_PID" 2>/dev/null
grep -q 'host=alpha' "$(config_file)" || fail "alpha went too: $(cat "$(config_file)")"
grep -q 'host=beta' "$(config_file)" && fail "beta came back"
echo "PASS delete_then_kill"

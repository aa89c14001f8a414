#!/usr/bin/env bash
# Custom commands on the real binary: picked from the menu of a real host line, a command
# creates a file; a command that sleeps leaves the window answering (another host connects
# meanwhile); a failing command shows its box; closing the program while a command runs,
# or while a command that will fail runs, ends it at once with status 0.
source "$(dirname "$0")/lib/common.bash"

start_test_server --width 200 --height 100 --max-seconds 200
port=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<CONF
logtofile=true
savedx=0
savedy=0
savedw=800
savedh=600
host=cmds
hostaddress=127.0.0.1
vncport=$port
f12macro=x
customcommand1enabled=true
customcommand1label=Make file
customcommand1=touch '$E2E_TMP/made'
customcommand2enabled=true
customcommand2label=Sleep
customcommand2=sleep 8; touch '$E2E_TMP/slept'
customcommand3enabled=true
customcommand3label=Fail & tell
customcommand3=sleep 1; exit 3
host=other
hostaddress=127.0.0.1
vncport=$port
CONF

# Right-clicks the first line and picks the n-th entry of its menu ("Connect", "Edit",
# "Copy F12 macro", "Delete...", then the three commands).
pick() {
    xdotool mousemove --window "$APP_WIN" 40 8 click 3 sleep 0.5
    for _ in $(seq 1 "$1"); do xdotool key Down; done
    xdotool key Return
}

start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Height: 600'" || fail "saved geometry not applied"

pick 5
wait_for 50 test -e "$E2E_TMP/made" || fail "the command did not create its file"

# While "Sleep" runs, the second host connects: the window answers.
pick 6
xdotool mousemove --window "$APP_WIN" 40 28 click --repeat 2 --delay 80 1
wait_for 60 grep -q "Connected to 'other' - 127.0.0.1" "$(log_file)" || fail "the window did not answer while a command ran"
[ -e "$E2E_TMP/slept" ] && fail "the sleeping command had already ended: nothing was shown"
wait_for 150 test -e "$E2E_TMP/slept" || fail "the sleeping command did not finish"

# A failure is told in a box, which Return closes.
pick 7
wait_for 50 xdotool search --name '^Tandrel - Custom command$' || fail "no box for the failed command"
box=$(xdotool search --name '^Tandrel - Custom command$' | head -1)
xdotool mousemove --window "$box" 20 20 sleep 0.3 key Return
wait_for 50 sh -c "! xdotool search --name '^Tandrel - Custom command\$' >/dev/null" || fail "the box did not close"
kill -0 "$APP_PID" || fail "the program ended"

# Closing while a command runs: the program ends at once, with status 0.
rm -f "$E2E_TMP/slept"
pick 6
sleep 0.5
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS after closing while a command ran"
[ -e "$E2E_TMP/slept" ] && fail "the program waited for the command"

# Closing while a command that will fail runs: no box keeps the program alive.
start_app
pick 7
sleep 0.3
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS after closing while a failing command ran"
sleep 1.5
xdotool search --name '^Tandrel - Custom command$' >/dev/null 2>&1 && fail "a box appeared after the program ended"
echo "PASS custom_commands"

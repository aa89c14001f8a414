#!/usr/bin/env bash
# Scan mode in the real program: with hosts connected on lines 2 and 5 (lines 1, 3 and 6
# are group separators, line 4 a host that is not connected) and line 3 selected, the
# scan button shows 5, 2, 5, 2, ... a second each under the title "Tandrel [Scanning]";
# a click in the viewer ends the scan at the next step, the button ends it at once, and
# when the last host disconnects the scan stops with its message. Each test server logs
# the full update requests it receives (one per time its host is shown).
source "$(dirname "$0")/lib/common.bash"

start_server() {
    start_test_server --width 400 --height 300 --update-log "$E2E_TMP/$1.updates" --max-seconds 200
}
start_server alpha
alpha_port=$TEST_SERVER_PORT
start_server beta
beta_port=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<CONF
logtofile=true
hostlistwidth=170
scantimeout=1
savedx=0
savedy=0
savedw=1024
savedh=768
host=alpha
hostaddress=127.0.0.1
vncport=$alpha_port
scale=s
group=first
host=offline
hostaddress=127.0.0.1
vncport=1
group=second
host=beta
hostaddress=127.0.0.1
vncport=$beta_port
scale=s
group=second
CONF

start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Width: 1024'" || fail "saved geometry not applied"
# The saved position is restored 0.7 s after start-up; a click while the window moves
# would land on another line.
sleep 1
# Line centres in the list (host lines are taller than separators).
alpha_y=22 separator_y=38 beta_y=71
scan_x=81 scan_y=757   # the fifth 18-pixel button of the strip at the window's bottom
viewer_x=300 viewer_y=100

title() { xdotool getwindowname "$APP_WIN"; }
expect_title() {
    wait_for "$2" sh -c "[ \"\$(xdotool getwindowname $APP_WIN)\" = '$1' ]" || fail "$3: title \"$(title)\""
}
message_box() { xdotool search --name '^Tandrel - Scan mode$' 2>/dev/null | head -1; }
updates() { wc -l <"$E2E_TMP/$1.updates"; }
click_scan() { xdotool mousemove --window "$APP_WIN" "$scan_x" "$scan_y" click 1; }

for host in "alpha $alpha_y" "beta $beta_y"; do
    set -- $host
    xdotool mousemove --window "$APP_WIN" 60 "$2" click --repeat 2 --delay 80 1
    wait_for 100 grep -q "Connected to '$1'" "$(log_file)" || fail "did not connect to $1"
done
sleep 1

# Line 3 selected; then the order in which the hosts are shown, read from the servers'
# full update requests (polled every 50 ms for 4.5 s: five steps a second apart).
xdotool mousemove --window "$APP_WIN" 60 "$separator_y" click 1 sleep 0.3
alpha_seen=$(updates alpha) beta_seen=$(updates beta)
click_scan
expect_title "Tandrel [Scanning]" 10 "scan started"
order=()
for _ in $(seq 1 90); do
    now=$(updates beta)
    [ "$now" -gt "$beta_seen" ] && order+=(5) && beta_seen=$now
    now=$(updates alpha)
    [ "$now" -gt "$alpha_seen" ] && order+=(2) && alpha_seen=$now
    sleep 0.05
done
[ "${order[*]:0:4}" = "5 2 5 2" ] || fail "scan order ${order[*]}, expected 5 2 5 2 ..."
[ "$(title)" = "Tandrel [Scanning]" ] || fail "title while scanning: $(title)"

# A click in the viewer ends the scan at the next step, without a message.
xdotool mousemove --window "$APP_WIN" "$viewer_x" "$viewer_y" click 1
expect_title "Tandrel" 30 "after a click in the viewer"
sleep 1.5
[ -z "$(message_box)" ] || fail "a message box opened although hosts are connected"
[ "$(title)" = "Tandrel" ] || fail "the scan went on after the click"

# The button stops at once.
click_scan
expect_title "Tandrel [Scanning]" 10 "scan started again"
click_scan
expect_title "Tandrel" 5 "after the button"

# Scanning while both hosts are disconnected (a right-click on a connected line): the
# next step stops with the message.
click_scan
expect_title "Tandrel [Scanning]" 10 "third scan"
for host in "alpha $alpha_y" "beta $beta_y"; do
    set -- $host
    xdotool mousemove --window "$APP_WIN" 60 "$2" click 3 sleep 0.2
done
wait_for 50 sh -c '[ -n "$(xdotool search --name "^Tandrel - Scan mode\$")" ]' || fail "no message when the last host went"
expect_title "Tandrel" 10 "after the last host went"
box=$(message_box)
xdotool mousemove --window "$box" 20 20 sleep 0.2 key Return
wait_for 50 sh -c '[ -z "$(xdotool search --name "^Tandrel - Scan mode\$")" ]' || fail "the message box did not close"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "PASS scan_mode"

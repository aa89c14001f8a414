#!/usr/bin/env bash
# A host of type 's' through a real OpenSSH server on loopback (tests/tools/tn_test_sshd.sh)
# to the test server: its picture through the tunnel, the log lines, the window answering
# events during the tunnel wait, no ssh and no local port left after the disconnect, and none
# either after the program is closed during a tunnel wait. Prints the time from the
# double-click to the connection (a figure, not a check).
source "$(dirname "$0")/lib/common.bash"
source "$(dirname "$0")/lib/sshd.bash"
connected_times() { [ "$(log_count "Connected to 'tunnel' - 127.0.0.1")" -ge "$1" ]; }

start_test_server --width 400 --height 300 --max-seconds 250
vnc_port=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<CONF
$(ssh_options_config 4700)
$(ssh_host_config tunnel "$vnc_port")
scale=s
CONF

start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Height: 768'" || fail "saved geometry not applied"
double_click_host() { xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1; }
right_click_host() { xdotool mousemove --window "$APP_WIN" 40 8 click 3; }

# 1. Connect, timed from the double-click to the "Connected" line.
start=$(date +%s.%N)
double_click_host
for _ in $(seq 1 500); do
    [ "$(log_count "Connected to 'tunnel' - 127.0.0.1")" -ge 1 ] && break
    sleep 0.02
done
connected=$(date +%s.%N)
[ "$(log_count "Connected to 'tunnel' - 127.0.0.1")" -eq 1 ] || {
    cat "$(log_file)" "$E2E_TMP/stdout.txt" >&2
    fail "did not connect through the tunnel"
}
printf 'ssh tunnel: double-click to connected %.3f s\n' "$(echo "$connected - $start" | bc)"
[ "$(log_count "Attempting to connect to 'tunnel' - 127.0.0.1")" -eq 1 ] || fail "no attempt line"
[ "$(log_count "check command is: which '$TUNNEL/ssh' > /dev/null")" -eq 1 ] || fail "no check line"
grep -q "ExitOnForwardFailure" "$(log_file)" && fail "the ssh command line is in the log"

local_port=$(tunnel_port)
[ -n "$local_port" ] || fail "no running ssh with a forward"
[ "$local_port" -ge 4700 ] && [ "$local_port" -lt 4799 ] || fail "local port $local_port outside 4700-4798"
port_listening "$local_port" || fail "nothing listens on the tunnel's port $local_port"

# The test server's pattern (R = 4x, G = 4y, B = 128) through the tunnel, 1:1 in the viewer,
# which starts 3 pixels right of the 170-pixel host list.
read -r wx wy < <(xwininfo -id "$APP_WIN" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
pattern_shown() {
    local r g b
    read -r r g b < <(pixel_at $((wx + 173 + 10)) $((wy + 20)))
    [ -n "${b:-}" ] && [ $((r - 40)) -le 16 ] && [ $((40 - r)) -le 16 ] && [ $((g - 80)) -le 16 ] &&
        [ $((80 - g)) -le 16 ] && [ $((b - 128)) -le 16 ] && [ $((128 - b)) -le 16 ]
}
wait_for 50 pattern_shown || {
    import -window root "$E2E_TMP/shot.png"
    fail "the viewer does not show the test server's picture (pixel: $(pixel_at $((wx + 183)) $((wy + 20))))"
}

# 2. Disconnect: ssh ends and its port closes.
right_click_host
wait_for 50 grep -q "Manually disconnected from 'tunnel' - 127.0.0.1" "$(log_file)" || fail "no disconnect line"
wait_for 60 no_ssh_clients || fail "ssh still runs after the disconnect ($(ssh_clients))"
wait_for 20 port_closed "$local_port" || fail "the tunnel's port $local_port still listens"

# 3. A slow tunnel (the wrapper sleeps 2 s before ssh starts): the window answers meanwhile.
echo 2 >"$TUNNEL/delay"
double_click_host
sleep 0.3   # keeps the double-click apart from the next click
xdotool mousemove --window "$APP_WIN" 117 756 click 1   # the Help button (the seventh) of the strip
wait_for 15 xdotool search --name '^About Tandrel-FLTK / Help$' || fail "the window did not answer during the tunnel wait"
[ "$(log_count "Connected to 'tunnel' - 127.0.0.1")" -eq 1 ] || fail "the About window came only after the connection"
ABOUT=$(xdotool search --name '^About Tandrel-FLTK / Help$' | head -1)
"$WM_CLOSE" "$ABOUT" || fail "could not close the About window"
wait_for 100 connected_times 2 || fail "the slow tunnel did not connect"

# 4. Closing the program during a tunnel wait leaves no ssh behind.
right_click_host
wait_for 60 no_ssh_clients || fail "ssh still runs after the second disconnect"
echo 3 >"$TUNNEL/delay"
double_click_host
for _ in $(seq 1 20); do
    [ "$(ssh_clients)" -ge 1 ] && break
    sleep 0.1
done
[ "$(ssh_clients)" -ge 1 ] || fail "the third attempt started no ssh"
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
left=$(ssh_clients)
echo "ssh tunnel: ssh processes left right after closing during a tunnel wait: $left"
[ "$left" -eq 0 ] || fail "$left ssh processes outlive the program"
grep -q "Automatically disconnecting.  Program is shutting down 'tunnel' - 127.0.0.1" "$(log_file)" ||
    fail "no automatic-disconnect line"
[ "$(log_count "Connected to 'tunnel' - 127.0.0.1")" -eq 2 ] || {
    cat "$(log_file)" >&2
    fail "the abandoned attempt was shown as connected"
}
echo "PASS ssh_tunnel"

#!/usr/bin/env bash
# A host of type 's' through a real OpenSSH server on loopback (tests/tools/tn_test_sshd.sh)
# to the test server: its picture through the tunnel, the log lines, the window answering
# events during the tunnel wait, no ssh and no local port left after the disconnect, and none
# either after the program is closed during a tunnel wait. Prints the time from the
# double-click to the connection (a figure, not a check).
source "$(dirname "$0")/lib/common.bash"
: "${TN_SOURCE_DIR:?TN_SOURCE_DIR must name the source directory}"

TUNNEL="$E2E_TMP/tunnel"
mkdir -p "$TUNNEL"
bash "$TN_SOURCE_DIR/tests/tools/tn_test_sshd.sh" "$TUNNEL" >"$E2E_TMP/sshd-script.log" 2>&1 &
SSHD_PID=$!
E2E_PIDS+=("$SSHD_PID")

# True when something listens on TCP port $1 (IPv4 or IPv6), read from the kernel's tables.
port_listening() {
    awk -v p="$(printf ':%04X' "$1")" '$4 == "0A" && substr($2, length($2) - 4) == p { found = 1 }
        END { exit !found }' /proc/net/tcp /proc/net/tcp6
}
# The ssh clients of this test that run now (the shell that starts one, the wrapper, ssh):
# neither the test's sshd (its sshd_config) nor the short check of the ssh command (which
# '.../ssh') matches. Read-only: pgrep signals nothing.
ssh_clients() { pgrep -c -f -- "$TUNNEL/ssh( |_config)" || true; }
no_ssh_clients() { [ "$(ssh_clients)" -eq 0 ]; }
port_closed() { ! port_listening "$1"; }
# The local port of the running tunnel, from its ssh's command line.
tunnel_port() { pgrep -a -f -- "$TUNNEL/ssh_config" | sed -n 's/.* -L \([0-9]*\):.*/\1/p' | head -1; }
log_count() {
    local n
    n=$(grep -cF "$1" "$(log_file)" 2>/dev/null)
    echo "${n:-0}"
}
connected_times() { [ "$(log_count "Connected to 'tunnel' - 127.0.0.1")" -ge "$1" ]; }

for _ in $(seq 1 150); do
    kill -0 "$SSHD_PID" 2>/dev/null || break
    [ -s "$TUNNEL/port" ] && port_listening "$(cat "$TUNNEL/port")" && break
    sleep 0.1
done
if ! kill -0 "$SSHD_PID" 2>/dev/null; then
    wait "$SSHD_PID"
    status=$?
    cat "$E2E_TMP/sshd-script.log" "$TUNNEL/sshd.log" >&2 2>/dev/null
    [ "$status" -eq 77 ] && { echo "SKIP ssh_tunnel: sshd cannot run here"; exit 77; }
    fail "sshd did not start (status $status)"
fi
port_listening "$(cat "$TUNNEL/port")" || fail "sshd does not listen"
SSH_PORT=$(cat "$TUNNEL/port")

start_test_server --width 400 --height 300 --max-seconds 250
vnc_port=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<CONF
logtofile=true
hostlistwidth=170
savedx=0
savedy=0
savedw=1024
savedh=768
sshcommand=$TUNNEL/ssh
startinglocalport=4700
host=tunnel
type=s
hostaddress=127.0.0.1
vncport=$vnc_port
sshport=$SSH_PORT
sshuser=$(id -un)
sshkeyprivate=$TUNNEL/client_key
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
xdotool mousemove --window "$APP_WIN" 130 756 click 1   # the Help button of the strip
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

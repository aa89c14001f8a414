#!/usr/bin/env bash
# An SSH host whose sshd restarts: the tunnel ends with it, the host reconnects by itself
# through a new tunnel once sshd is back, and nothing of the old tunnel is left.
source "$(dirname "$0")/lib/common.bash"
source "$(dirname "$0")/lib/sshd.bash"
connected_times() { [ "$(log_count "Connected to 'tunnel' - 127.0.0.1")" -ge "$1" ]; }

start_test_server --width 400 --height 300 --max-seconds 120
mkdir -p "$(config_dir)"
cat >"$(config_file)" <<CONF
$(ssh_options_config 4800)
$(ssh_host_config tunnel "$TEST_SERVER_PORT")
CONF

start_app
xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1
wait_for 100 connected_times 1 || {
    cat "$(log_file)" >&2
    fail "did not connect through the tunnel"
}
first_port=$(tunnel_port)
[ -n "$first_port" ] || fail "no tunnel"

restart_sshd 3
wait_for 50 grep -q "'tunnel' - 127.0.0.1 - connection lost: .*; reconnecting$" "$(log_file)" || {
    cat "$(log_file)" >&2
    fail "no connection-lost line"
}
wait_for 300 connected_times 2 || {
    cat "$(log_file)" >&2
    fail "did not reconnect through a new tunnel"
}
[ "$(pgrep -c -f -- "$TUNNEL/ssh_config")" -eq 1 ] || fail "not exactly one tunnel after the reconnect"
port=$(tunnel_port)
port_listening "$port" || fail "nothing listens on the new tunnel's port $port"
echo "ssh reconnect: tunnel port $first_port, then $port"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
wait_for 30 no_ssh_clients || fail "ssh outlives the program"
echo "PASS ssh_reconnect"

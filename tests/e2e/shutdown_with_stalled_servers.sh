#!/usr/bin/env bash
# Closing the program while one server has stalled in the middle of an update and another
# keeps sending: it ends at once with status 0, after the log lines of both connections'
# ends and of the shut-down.
source "$(dirname "$0")/lib/common.bash"

start_test_server --max-seconds 60 --stall
STALLED_PORT=$TEST_SERVER_PORT
start_test_server --max-seconds 60 --animate
BUSY_PORT=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<CONF
logtofile=true
host=stalled
hostaddress=127.0.0.1
vncport=$STALLED_PORT
scale=s
host=busy
hostaddress=127.0.0.1
vncport=$BUSY_PORT
scale=z
CONF

start_app
# Each line double-clicked: the first connection stalls at its first update, the second
# is shown and keeps changing.
for line in 0 1; do
    xdotool mousemove --window "$APP_WIN" 40 $((8 + line * 18)) click --repeat 2 --delay 80 1
    sleep 0.5
done
wait_for 100 grep -q "Connected to 'stalled'" "$(log_file)" || fail "did not connect to the stalled server"
wait_for 100 grep -q "Connected to 'busy'" "$(log_file)" || fail "did not connect to the busy server"
sleep 1

start=$(date +%s.%N)
close_app
elapsed=$(echo "$(date +%s.%N) - $start" | bc)
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "closed in $elapsed s"
[ "$(echo "$elapsed < 3" | bc)" -eq 1 ] || fail "closing took $elapsed s"
log=$(cat "$(log_file)")
for line in "Automatically disconnecting.  Program is shutting down 'stalled' - 127.0.0.1" \
    "Automatically disconnecting.  Program is shutting down 'busy' - 127.0.0.1" \
    "--- Program shutting down ---"; do
    grep -qF -- "$line" <<<"$log" || fail "no log line: $line"
done
# The connections' lines come before the shut-down's.
[ "$(grep -nF -- '--- Program shutting down ---' <<<"$log" | cut -d: -f1)" -gt \
    "$(grep -nF "shutting down 'busy'" <<<"$log" | cut -d: -f1)" ] || fail "log lines out of order"
echo "PASS"

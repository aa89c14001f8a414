#!/usr/bin/env bash
# A shown Xvnc that goes away and comes back on the same port: the host reconnects by itself
# after the back-off and shows the new screen without a click; the log tells the drop, the
# tries that found nothing and the return.
source "$(dirname "$0")/lib/common.bash"

start_xvnc
DISPLAY="$XVNC_DISPLAY" xsetroot -solid '#ff8000' || fail "xsetroot failed"
write_xvnc_config
start_app
connect_first_host

stop_xvnc
wait_for 50 grep -q "^.*'xvnc' - 127.0.0.1 - connection lost: .*; reconnecting$" "$(log_file)" || {
    cat "$(log_file)" >&2
    fail "no connection-lost line"
}
sleep 3
run_xvnc
DISPLAY="$XVNC_DISPLAY" xsetroot -solid '#0080ff' || fail "xsetroot failed"
wait_for 200 sh -c "[ \$(grep -c \"Connected to 'xvnc' - 127.0.0.1\" '$(log_file)') -eq 2 ]" || {
    cat "$(log_file)" >&2
    fail "did not reconnect to the restarted Xvnc"
}
grep -q "'xvnc' - 127.0.0.1 - reconnect attempt 1 failed: " "$(log_file)" || fail "no line for the failed try"
grep -q "Unexpectedly disconnected" "$(log_file)" && fail "the drop was logged as the end of the connection"

# Shown again, with the restarted server's blue screen.
read -r wx wy < <(xwininfo -id "$APP_WIN" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
probe() { pixel_at $((wx + 173 + 100)) $((wy + 100)); }
blue() {
    read -r r g b < <(probe)
    [ "${r:-255}" -le 40 ] && [ "${g:-0}" -ge 100 ] && [ "${g:-0}" -le 156 ] && [ "${b:-0}" -ge 230 ]
}
wait_for 50 blue || fail "the viewer does not show the restarted Xvnc's screen (pixel: $(probe))"

# Closed during a back-off: the program ends at once, with no attempt after the close.
stop_xvnc
wait_for 50 sh -c "[ \$(grep -c 'connection lost: ' '$(log_file)') -eq 2 ]" || fail "the second drop was not noticed"
attempts=$(grep -c "Attempting to connect to 'xvnc'" "$(log_file)")
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
[ "$(grep -c "Attempting to connect to 'xvnc'" "$(log_file)")" -eq "$attempts" ] || fail "an attempt started after the close"
grep -q "Automatically disconnecting.  Program is shutting down 'xvnc' - 127.0.0.1" "$(log_file)" ||
    fail "no automatic-disconnect line for the reconnecting host"
echo "PASS xvnc_reconnect"

#!/usr/bin/env bash
# The real binary connects to TigerVNC's Xvnc on loopback with a VNC password and shows
# its screen; closing the window ends the connection with the shut-down log line.
source "$(dirname "$0")/lib/common.bash"

start_xvnc
DISPLAY="$XVNC_DISPLAY" xsetroot -solid '#ff8000' || fail "xsetroot failed"
write_xvnc_config
start_app
sleep 1
connect_first_host

# The viewer starts 3 pixels right of the 170-pixel host list.
read -r wx wy < <(xwininfo -id "$APP_WIN" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}')
probe() { pixel_at $((wx + 173 + 100)) $((wy + 100)); }
close_to_orange() {
    read -r r g b < <(probe)
    [ "${r:-0}" -ge 230 ] && [ "${g:-0}" -ge 100 ] && [ "${g:-0}" -le 156 ] && [ "${b:-255}" -le 40 ]
}
wait_for 50 close_to_orange || {
    import -window root "$E2E_TMP/shot.png"
    fail "the viewer does not show Xvnc's orange screen (pixel: $(probe))"
}
# Beyond the 320x200 remote screen, the viewer area stays empty.
read -r r g b < <(pixel_at $((wx + 173 + 400)) $((wy + 100)))
[ "$r $g $b" != "255 128 0" ] || fail "remote screen drawn beyond its size"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
grep -q "Automatically disconnecting.  Program is shutting down 'xvnc' - 127.0.0.1" "$(log_file)" ||
    fail "no automatic-disconnect line"
echo "PASS xvnc_view"

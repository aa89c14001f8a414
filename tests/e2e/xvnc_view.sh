#!/usr/bin/env bash
# The real binary connects to TigerVNC's Xvnc on loopback with a VNC password and shows
# its screen; closing the window ends the connection with the shut-down log line.
source "$(dirname "$0")/lib/common.bash"

# A free TCP port above 5900 (the library reads lower numbers as display numbers).
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
display=""
for n in $(seq 70 99); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=$n; break; }
done
[ -n "$display" ] || fail "no free display number for Xvnc"

echo secret12 | vncpasswd -f >"$E2E_TMP/vncpw"
Xvnc ":$display" -interface 127.0.0.1 -localhost -rfbport "$port" -geometry 320x200 -depth 24 \
    -SecurityTypes VncAuth -PasswordFile "$E2E_TMP/vncpw" -nolisten tcp >"$E2E_TMP/xvnc.log" 2>&1 &
E2E_PIDS+=($!)
wait_for 100 env DISPLAY=":$display" xdpyinfo || fail "Xvnc did not start"
DISPLAY=":$display" xsetroot -solid '#ff8000' || fail "xsetroot failed"

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<CONF
logtofile=true
host=xvnc
hostaddress=127.0.0.1
vncport=$port
vncpass=$(printf secret12 | base64)
scale=s
CONF

start_app
sleep 1
# Double-click the first host line.
xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1
wait_for 100 grep -q "Connected to 'xvnc' - 127.0.0.1" "$(log_file)" || {
    cat "$(log_file)" >&2
    fail "did not connect to Xvnc"
}

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

#!/usr/bin/env bash
# The clipboard between this desktop and TigerVNC's Xvnc, with text outside ASCII, read
# with xclip on both X displays: a local copy made before the host is shown reaches it
# only when the user clicks into the viewer, a later local copy at once, and a copy on
# the host comes back as the same characters.
source "$(dirname "$0")/lib/common.bash"

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

# Copies text to the clipboard of an X display (the xclip serving it is ended with the test).
copy_on() {
    printf '%s' "$2" | DISPLAY="$1" timeout 60 xclip -quiet -selection clipboard >/dev/null 2>&1 &
    E2E_PIDS+=($!)
}
clipboard_of() { DISPLAY="$1" timeout 5 xclip -o -selection clipboard 2>/dev/null; }
clipboard_is() { [ "$(clipboard_of "$1")" = "$2" ]; }

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<CONF
logtofile=true
host=xvnc
hostaddress=127.0.0.1
vncport=$port
vncpass=$(printf secret12 | base64)
scale=s
CONF

copy_on "$DISPLAY" "Grüße vor 5 €"
start_app
sleep 1
xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1
wait_for 100 grep -q "Connected to 'xvnc' - 127.0.0.1" "$(log_file)" || {
    cat "$(log_file)" >&2
    fail "did not connect to Xvnc"
}

# Shown, but the user has not turned to it: the host's clipboard stays as it was.
sleep 1
[ -z "$(clipboard_of ":$display")" ] || fail "clipboard sent merely by showing the host: '$(clipboard_of ":$display")'"

# A click into the viewer (right of the 170-pixel host list) hands it over; "€" is not Latin-1.
xdotool mousemove --window "$APP_WIN" 250 100 click 1
wait_for 50 clipboard_is ":$display" "Grüße vor 5 ?" || fail "host clipboard after the click: '$(clipboard_of ":$display")'"

# A local copy while the host is shown goes over at once.
copy_on "$DISPLAY" "café crème"
wait_for 50 clipboard_is ":$display" "café crème" || fail "host clipboard after a local copy: '$(clipboard_of ":$display")'"

# A copy on the host arrives here as UTF-8.
copy_on ":$display" "Ärger ½ Maß"
wait_for 50 clipboard_is "$DISPLAY" "Ärger ½ Maß" || fail "local clipboard after a host copy: '$(clipboard_of "$DISPLAY")'"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "PASS xvnc_clipboard"

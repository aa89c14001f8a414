#!/usr/bin/env bash
# The real binary meets Xvnc with a self-signed certificate: the window asks, the user
# chooses "Always trust this certificate for this host" with the keyboard, the connection
# is made and the certificate stored (mode 0600); after a restart it connects silently.
source "$(dirname "$0")/lib/common.bash"

certs="$E2E_TMP/certs"
mkdir -p "$certs"
bash "$TN_SOURCE_DIR/tests/tools/tn_make_certificates.sh" "$certs" || fail "could not make the certificates"
start_xvnc -SecurityTypes X509Vnc,X509None,TLSVnc,VncAuth -X509Cert "$certs/self.pem" -X509Key "$certs/self.key"
write_xvnc_config
start_app
sleep 1

title='^Tandrel - Unknown certificate$'
xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1
wait_for 200 xdotool search --name "$title" || {
    cat "$(log_file)" >&2
    fail "no certificate window"
}
question=$(xdotool search --name "$title" | head -1)
wait_for 50 sh -c "xwininfo -id $question | grep -q IsViewable" || fail "certificate window not viewable"
# Focus follows the pointer. "Cancel" has the focus; Tab twice reaches "Always trust…".
xdotool mousemove --window "$question" 20 20
sleep 0.3
xdotool key Tab Tab space
wait_for 200 grep -q "Connected to 'xvnc' - 127.0.0.1" "$(log_file)" || {
    cat "$(log_file)" >&2
    fail "did not connect after the answer"
}
xdotool search --name "$title" >/dev/null && fail "the certificate window is still open"

store="$(config_dir)/tandrel-fltk.certificates"
fingerprint=$(openssl x509 -noout -fingerprint -sha256 -in "$certs/self.pem" | cut -d= -f2)
[ "$(cat "$store")" = "127.0.0.1 $XVNC_PORT $fingerprint" ] || fail "stored: $(cat "$store"), expected $fingerprint"
[ "$(stat -c %a "$store")" = 600 ] || fail "mode $(stat -c %a "$store")"
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"

# Trusted now: no window.
start_app
sleep 1
xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1
wait_for 200 sh -c "[ \$(grep -c \"Connected to 'xvnc' - 127.0.0.1\" '$(log_file)') -eq 2 ]" || {
    cat "$(log_file)" >&2
    fail "did not connect again"
}
xdotool search --name "$title" >/dev/null && fail "asked again about a trusted certificate"
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "PASS xvnc_certificate"

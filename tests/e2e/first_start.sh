#!/usr/bin/env bash
# A first start without any configuration: the directory is made (0700), the window
# moves to the default geometry, and closing writes a file with the blank host.
source "$(dirname "$0")/lib/common.bash"

mkdir -p "$E2E_TMP/home"
start_app
grep -q 'Tandrel - Could not open config file.  Using defaults' "$E2E_TMP/stdout.txt" ||
    fail "missing-file message not printed"
[ "$(stat -c %a "$(config_dir)")" = 700 ] || fail "configuration directory mode is not 0700"
wait_for 30 sh -c "xwininfo -id $APP_WIN | grep -q 'Width: 800'" || fail "default width not applied"
geometry=$(xwininfo -id "$APP_WIN")
for line in 'Height: 600' 'Absolute upper-left X:  64' 'Absolute upper-left Y:  64'; do
    grep -q "$line" <<<"$geometry" || fail "default geometry: no '$line'"
done
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
grep -qx 'host=(new connection)' "$(config_file)" || fail "blank host not written"
grep -qx 'hostaddress=192.168.0.1' "$(config_file)" || fail "blank host address not written"
[ ! -e "$(log_file)" ] || fail "a log file was made with logging off"
echo "PASS first_start"

#!/usr/bin/env bash
# The button strip under the host list looks the same at the smallest window size
# (800 x 600) as at 1024 x 768: 20 pixels high at the window's bottom, images whole.
source "$(dirname "$0")/lib/common.bash"

mkdir -p "$(config_dir)"
cat >"$(config_file)" <<'CONF'
hostlistwidth=170
savedx=0
savedy=0
savedw=800
savedh=600
host=alpha
hostaddress=127.0.0.1
vncport=5999
CONF

start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Height: 600'" || fail "saved geometry not applied"
# Keep the pointer off the window, so that no tooltip or hover shows in the pictures.
xdotool mousemove 1270 1020

# The strip with the 3-pixel gap above it and the 1-pixel margin below: 162 x 24.
strip_at() {
    local bottom=$1 file=$2
    sleep 0.5
    import -window "$APP_WIN" -crop "162x24+0+$((bottom - 24))" +repage "$file" || fail "no screenshot"
}
strip_at 600 "$E2E_TMP/small.png"
xdotool windowsize "$APP_WIN" 1024 768
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Height: 768'" || fail "window not resized"
strip_at 768 "$E2E_TMP/large.png"

# Not a picture of empty background: the button images are dark grey (#404040).
darkest=$(convert "$E2E_TMP/large.png" -colorspace Gray -format '%[fx:int(255*minima)]' info:)
[ "$darkest" -le 80 ] || fail "no button images in the strip (darkest grey $darkest)"
differing=$(compare -metric AE "$E2E_TMP/small.png" "$E2E_TMP/large.png" null: 2>&1)
[ "$differing" = 0 ] || fail "the strip at 800 x 600 differs from 1024 x 768 in $differing pixels"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "PASS button_strip"

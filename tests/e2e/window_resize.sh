#!/usr/bin/env bash
# The shown picture follows the window: a scaled host is drawn whole after the window
# shrinks and fills the area after it grows; a 1:1 host that was scrolled to its far corner
# in a small window loses its scroll offset and scrollbars once the window is large enough.
source "$(dirname "$0")/lib/common.bash"

# A 1000 x 800 test screen: pixel x, y has red (4x) mod 256, green (4y) mod 256, blue 128.
start_test_server --width 1000 --height 800 --max-seconds 200
port=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
host() {
    printf 'host=%s\nhostaddress=127.0.0.1\nvncport=%s\nscale=%s\nshowremotecursor=true\n' "$1" "$port" "$2"
}
{
    printf 'logtofile=true\nhostlistwidth=170\nsavedx=0\nsavedy=0\nsavedw=1024\nsavedh=768\n'
    host scaled z
    host onetoone s
} >"$(config_file)"

start_app
xwininfo -id "$APP_WIN" | grep -q 'Width: 1024' || fail "saved geometry not applied"
# Shown at 0,0 the toolkit keeps a title bar's room (1,20); the largest size below needs 0,0.
xdotool windowmove "$APP_WIN" 0 0

# The viewer area starts 3 pixels right of the 170-pixel host list.
area_x=173
shot() { import -window "$APP_WIN" "$E2E_TMP/shot.png"; }
# "R G B" of a pixel of the last shot, in window coordinates.
shot_pixel() {
    convert "$E2E_TMP/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n '2s/.*(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3/p'
}
# Whether window pixel wx, wy shows remote pixel rx, ry (lossy encoding and scaling: +-24).
shows() {
    local r g b
    read -r r g b < <(shot_pixel "$1" "$2")
    local want_r=$((($3 * 4) % 256)) want_g=$((($4 * 4) % 256))
    [ -n "$b" ] && [ $((r - want_r)) -le 24 ] && [ $((want_r - r)) -le 24 ] &&
        [ $((g - want_g)) -le 24 ] && [ $((want_g - g)) -le 24 ] && [ $((b - 128)) -le 24 ] && [ $((128 - b)) -le 24 ]
}
# Waits (bounded) until every "wx wy rx ry" group holds on a fresh shot.
expect_shown() {
    local what=$1
    shift
    local args=("$@") bad
    for _ in $(seq 1 50); do
        shot
        bad=""
        for ((i = 0; i < ${#args[@]}; i += 4)); do
            local wx=${args[i]} wy=${args[i + 1]} rx=${args[i + 2]} ry=${args[i + 3]}
            shows "$wx" "$wy" "$rx" "$ry" || bad="window pixel $wx,$wy: $(shot_pixel "$wx" "$wy"), want remote $rx,$ry"
        done
        [ -z "$bad" ] && return 0
        sleep 0.1
    done
    cp "$E2E_TMP/shot.png" "${TN_BUILD_DIR}/window_resize_failed.png" 2>/dev/null
    fail "$what ($bad)"
}
resize_window() {
    xdotool windowsize "$APP_WIN" "$1" "$2"
    wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Width: $1' && xwininfo -id $APP_WIN | grep -q 'Height: $2'" ||
        fail "window not resized to $1 x $2"
}
connect_line() {
    # Lines are 18 pixels apart with this font; a double click connects and shows the host.
    xdotool mousemove --window "$APP_WIN" 40 $((18 * $1 - 10)) click --repeat 2 --delay 80 1
    wait_for 100 grep -q "Connected to '$2'" "$(log_file)" || fail "did not connect to $2"
    park_pointer
}
# Off the window (at any of its sizes here), so that no pointer or tooltip shows in the shots.
park_pointer() { xdotool mousemove 1279 1023; }

# Scaled: the far corner of the remote screen is at the far corner of the fitted picture.
connect_line 1 scaled
expect_shown "scaled at 1024 x 768" $((area_x + 850)) 679 999 799 $area_x 0 0 0
resize_window 800 600
expect_shown "scaled, shrunk to 800 x 600" $((area_x + 626)) 500 999 799 $area_x 0 0 0
resize_window 1280 1000
expect_shown "scaled, grown to 1280 x 1000" $((area_x + 1106)) 884 999 799 $area_x 0 0 0

# 1:1, in a window too small for it: scrolled to the far corner with both scrollbars.
connect_line 2 onetoone
resize_window 800 600
expect_shown "1:1 at 800 x 600" $area_x 0 0 0 $((area_x + 600)) 560 600 560
# Drag both scrollbars' thumbs to their far ends.
drag() {
    xdotool mousemove --window "$APP_WIN" "$1" "$2" sleep 0.2 mousedown 1 sleep 0.2 \
        mousemove --window "$APP_WIN" "$3" "$4" sleep 0.2 mouseup 1 sleep 0.2
}
drag $((area_x + 40)) 592 795 592
drag $((area_x + 619)) 40 $((area_x + 619)) 595
park_pointer
expect_shown "1:1 scrolled to its far corner" $((area_x + 610)) 583 999 799
# Grown until it fits: the whole picture from the area's corner, no scrollbars.
resize_window 1280 1000
expect_shown "1:1 grown to 1280 x 1000" $area_x 0 0 0 $((area_x + 999)) 799 999 799
background=$(shot_pixel $((area_x + 1050)) 500)
[ "$(shot_pixel $((area_x + 1100)) 500)" = "$background" ] || fail "a vertical scrollbar is left"
[ "$(shot_pixel $((area_x + 500)) 995)" = "$background" ] || fail "a horizontal scrollbar is left"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "PASS window_resize"

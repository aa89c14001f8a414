#!/usr/bin/env bash
# The overview in the real program: six hosts connected (400 x 300 screens, the fifth one
# changing all the time); F9 over the viewer opens the overview, each tile shows its
# server's screen, only the changing server's tile changes; a click on the third tile
# shows that host (its server is asked for a full picture) and closes the overview; F9
# opens and closes it again; the same after the window is resized. F9 never reaches a host.
source "$(dirname "$0")/lib/common.bash"

ports=()
for n in 1 2 3 4 5 6; do
    extra=()
    [ "$n" = 5 ] && extra=(--animate)
    start_test_server --width 400 --height 300 --max-seconds 120 --update-log "$E2E_TMP/$n.updates" \
        --key-log "$E2E_TMP/$n.keys" "${extra[@]}"
    ports+=("$TEST_SERVER_PORT")
done

mkdir -p "$(config_dir)"
{
    printf 'logtofile=true\noverviewrefresh=4\nsavedx=0\nsavedy=0\nsavedw=1024\nsavedh=768\n'
    for n in 1 2 3 4 5 6; do
        printf 'host=host%s\nhostaddress=127.0.0.1\nvncport=%s\nscale=s\n' "$n" "${ports[$((n - 1))]}"
    done
} >"$(config_file)"

start_app
xwininfo -id "$APP_WIN" | grep -q 'Width: 1024' || fail "saved geometry not applied"
# Shown at 0,0 the toolkit keeps a title bar's room (1,20); the tile positions below are at 0,0.
xdotool windowmove "$APP_WIN" 0 0
sleep 1
for line in 0 1 2 3 4 5; do
    xdotool mousemove --window "$APP_WIN" 40 $((8 + line * 18)) click --repeat 2 --delay 80 1
    sleep 0.3
done
for n in 1 2 3 4 5 6; do
    wait_for 100 grep -q "Connected to 'host$n'" "$(log_file)" || fail "did not connect to host$n"
done

# Six 4:3 tiles in the 851 x 768 viewer area (x from 173): two columns of 289-pixel cells
# from x 136 of the area, three rows of 256 pixels, pictures 277 x 208 six pixels in.
tile_x() { echo $((173 + 136 + ($1 % 2) * 289 + 144)); }
tile_y() { echo $(($1 / 2 * 256 + 6 + 104)); }
# The middle of each picture is the server's pixel (200, 150): 32, 88, 128.
near() {
    local r g b
    read -r r g b <<<"$1"
    [ -n "$b" ] && [ $((r > $2 ? r - $2 : $2 - r)) -le 24 ] && [ $((g > $3 ? g - $3 : $3 - g)) -le 24 ] &&
        [ $((b > $4 ? b - $4 : $4 - b)) -le 24 ]
}
tile_shows_pattern() { near "$(pixel_at "$(tile_x "$1")" "$(tile_y "$1")")" 32 88 128; }
tile_picture() {
    import -window root -crop "277x208+$(($(tile_x "$1") - 138))+$(($(tile_y "$1") - 104))" +repage "$2"
}

# Over the shown picture (400 x 300 at the area's top left): the viewer has the keyboard.
xdotool mousemove --window "$APP_WIN" 300 100 sleep 0.3 key F9
for tile in 0 1 2 3 5; do
    wait_for 50 tile_shows_pattern "$tile" ||
        fail "tile $tile does not show its server: $(pixel_at "$(tile_x "$tile")" "$(tile_y "$tile")")"
done
for tile in 0 1 2 3 4 5; do
    tile_picture "$tile" "$E2E_TMP/before$tile.png"
done
sleep 1.5
for tile in 0 1 2 3 4 5; do
    tile_picture "$tile" "$E2E_TMP/after$tile.png"
    differing=$(compare -metric AE "$E2E_TMP/before$tile.png" "$E2E_TMP/after$tile.png" null: 2>&1)
    if [ "$tile" = 4 ]; then
        [ "$differing" != 0 ] || fail "the changing server's tile stayed the same"
    else
        [ "$differing" = 0 ] || fail "tile $tile changed in $differing pixels without a change of its server"
    fi
done

# The third tile: its host is shown (a full picture asked for), the overview closes.
fulls_before=$(wc -l <"$E2E_TMP/3.updates")
xdotool mousemove --window "$APP_WIN" "$(tile_x 2)" "$(tile_y 2)" click 1
wait_for 50 sh -c "[ \$(wc -l <'$E2E_TMP/3.updates') -gt $fulls_before ]" || fail "the third host was not shown"
# 1:1 in the viewer: its pixel (10, 10) at the area's top left.
viewer_shows_host() { near "$(pixel_at $((173 + 10)) 10)" 40 40 128; }
wait_for 30 viewer_shows_host || fail "the viewer does not show the host: $(pixel_at $((173 + 10)) 10)"

# F9 opens and closes again; the shown host is shown after it.
xdotool mousemove --window "$APP_WIN" 300 100 sleep 0.3 key F9
wait_for 50 tile_shows_pattern 0 || fail "F9 did not open the overview again"
xdotool mousemove --window "$APP_WIN" 600 450 sleep 0.3 key F9
wait_for 50 viewer_shows_host || fail "F9 did not close the overview"

# The window resized to 1200 x 600: the 1027 x 600 area takes three columns of 342 x 295
# cells (pictures 330 x 247) from y 5. Each tile shows its server; a click on the sixth
# shows that host.
xdotool windowsize "$APP_WIN" 1200 600
sleep 0.5
tile_x() { echo $((173 + ($1 % 3) * 342 + 6 + 165)); }
tile_y() { echo $((5 + $1 / 3 * 295 + 6 + 123)); }
xdotool mousemove --window "$APP_WIN" 300 100 sleep 0.3 key F9
for tile in 0 1 2 3 5; do
    wait_for 50 tile_shows_pattern "$tile" ||
        fail "resized: tile $tile does not show its server: $(pixel_at "$(tile_x "$tile")" "$(tile_y "$tile")")"
done
# Opening asked every host for a full picture; the click's request comes after it.
sleep 1
fulls_before=$(wc -l <"$E2E_TMP/6.updates")
xdotool mousemove --window "$APP_WIN" "$(tile_x 5)" "$(tile_y 5)" click 1
wait_for 50 sh -c "[ \$(wc -l <'$E2E_TMP/6.updates') -gt $fulls_before ]" || fail "resized: the sixth host was not shown"
wait_for 30 viewer_shows_host || fail "resized: the viewer does not show the host: $(pixel_at $((173 + 10)) 10)"
sleep 0.5
for n in 1 2 3 4 5 6; do
    ! grep -qi "0xffc6" "$E2E_TMP/$n.keys" || fail "F9 reached host$n"
done

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
echo "PASS overview"

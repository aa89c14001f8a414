#!/usr/bin/env bash
# Keys and the shown host: a quick note typed (with Shift and Return) while the pointer
# rests over the viewer sends no key to the host and is saved; characters that xdotool
# types through a spare key code are each released on the host; Shift+ж on a Russian
# layout sends the capital Ж. The test server writes every key event it receives to a file.
source "$(dirname "$0")/lib/common.bash"

restore_layout_and_clean_up() {
    setxkbmap us 2>/dev/null
    cleanup
}
trap restore_layout_and_clean_up EXIT

key_log="$E2E_TMP/keys.txt"
start_test_server --width 400 --height 300 --key-log "$key_log" --max-seconds 200
port=$TEST_SERVER_PORT

mkdir -p "$(config_dir)"
printf 'logtofile=true\nhostlistwidth=170\nsavedx=0\nsavedy=0\nsavedw=1024\nsavedh=768\n' >"$(config_file)"
printf 'host=keys\nhostaddress=127.0.0.1\nvncport=%s\nscale=s\nshowremotecursor=true\n' "$port" >>"$(config_file)"

start_app
wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Width: 1024'" || fail "saved geometry not applied"
win_h=$(xwininfo -id "$APP_WIN" | awk '/Height:/{print $2}')

# Double-clicking the host line connects and shows it and selects it for the quick-info panel.
xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1
wait_for 100 grep -q "Connected to 'keys'" "$(log_file)" || fail "did not connect to the test server"

# The viewer area starts 3 pixels right of the 170-pixel host list. From the bottom of the
# left column up: a 1-pixel margin, the 20-pixel button strip, a 3-pixel gap and the
# 193-pixel quick-info panel, whose last part is the note box (clicked 20 pixels above the
# panel's bottom).
viewer_x=$((173 + 100)) viewer_y=100
note_x=40 note_y=$((win_h - 1 - 20 - 3 - 20))
# Two moves, so that the pointer really moves; then time for the program to see it.
pointer_over_viewer() {
    xdotool mousemove --window "$APP_WIN" "$viewer_x" "$viewer_y" mousemove --window "$APP_WIN" \
        $((viewer_x + 2)) $((viewer_y + 2)) sleep 0.5
}

# Bounded wait until the server has logged `count` key events, then the whole log against
# the expected lines.
expect_keys() {
    local what=$1 count=$2 expected
    shift 2
    expected=$(printf '%s\n' "$@")
    wait_for 50 sh -c "[ \$(wc -l <'$key_log') -ge $count ]"
    sleep 0.3 # anything that came right behind
    [ "$(cat "$key_log")" = "$expected" ] || {
        printf 'key events received:\n%s\nexpected:\n%s\n' "$(cat "$key_log")" "$expected" >&2
        fail "$what"
    }
}

# The quick note, opened after the viewer had the keyboard and typed while the pointer
# rests over the viewer (where the toolkit offers keys that the note does not use): no key
# event may reach the host, before or after.
pointer_over_viewer
xdotool mousemove --window "$APP_WIN" "$note_x" "$note_y" click 1 sleep 0.5
pointer_over_viewer
xdotool type --delay 50 'Hello Admin' || fail "xdotool type failed"
xdotool key Return sleep 0.5 || fail "xdotool key failed"
[ -s "$key_log" ] && fail "keys typed into the quick note reached the host: $(tr '\n' ' ' <"$key_log")"

# A click gives the viewer the keyboard. ü, Ж and € are missing from the layout: xdotool
# binds each to a spare key code for its press and undoes that before the release.
xdotool mousemove --window "$APP_WIN" "$viewer_x" "$viewer_y" click 1 sleep 0.5
xdotool type --delay 200 'üЖ€' || fail "xdotool type failed"
typed=("down 0xfc" "up 0xfc" "down 0x1000416" "up 0x1000416" "down 0x10020ac" "up 0x10020ac")
expect_keys "üЖ€ typed into the viewer: not each pressed and released" 6 "${typed[@]}"

# Russian layout: Shift and the ж key give Ж, sent as its Unicode symbol (not Cyrillic_zhe).
# xdotool lets Shift up first; the key's release still sends what its press sent.
setxkbmap ru || fail "setxkbmap ru failed"
xdotool key shift+Cyrillic_zhe
typed+=("down 0xffe1" "down 0x1000416" "up 0xffe1" "up 0x1000416")
expect_keys "Shift+ж on the Russian layout" 10 "${typed[@]}"
setxkbmap us || fail "setxkbmap us failed"

close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS"
grep -qx 'quicknote=SGVsbG8gQWRtaW4=' "$(config_file)" || {
    cat "$(config_file)" >&2
    fail "the quick note \"Hello Admin\" is not in the configuration file"
}
# Nothing was left held, so closing the program sent no further key event.
expect_keys "key events at shut-down" 10 "${typed[@]}"
echo "PASS keys_and_note"

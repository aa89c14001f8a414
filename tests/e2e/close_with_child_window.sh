#!/usr/bin/env bash
# The window manager's close of the main window ends the program at the first request even
# while a child window is open: the child window is closed as its Cancel would close it
# (nothing of its edits is stored), then the program shuts down as usual.
source "$(dirname "$0")/lib/common.bash"

# Waits for a window whose title matches; prints its id.
window_named() {
    wait_for 50 xdotool search --name "$1" || return 1
    xdotool search --name "$1" | head -1
}

# The application options (the eighth button of the strip) and a new host's options (the
# first button), each open when the close request comes.
for case in "135 ^Application Options$" "10 ^Editing '"; do
    button_x=${case%% *}
    title=${case#* }
    rm -rf "$(config_dir)"
    mkdir -p "$(config_dir)"
    printf 'logtofile=true\nsavedx=0\nsavedy=0\nsavedw=800\nsavedh=600\nhost=alpha\nhostaddress=127.0.0.1\n' \
        >"$(config_file)"
    start_app
    wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q 'Height: 600'" || fail "saved geometry not applied"
    xdotool mousemove --window "$APP_WIN" 40 8 click 1 sleep 0.3
    xdotool mousemove --window "$APP_WIN" "$button_x" 589 click 1
    child=$(window_named "$title") || fail "no window '$title'"
    wait_for 50 sh -c "xwininfo -id $child | grep -q IsViewable" || fail "'$title' is not viewable"
    # An edit that only Save would store.
    xdotool mousemove --window "$child" 300 500 sleep 0.3
    xdotool type --delay 30 'zzunsaved'

    "$WM_CLOSE" "$APP_WIN" || fail "could not send the close request"
    wait_for_exit "after one close request with '$title' open"
    [ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS with '$title' open"
    grep -q -- '- --- Program shutting down ---$' "$(log_file)" || fail "no shut-down line with '$title' open"
    grep -q 'zzunsaved' "$(config_file)" && fail "the child window's edit was stored: $(cat "$(config_file)")"
    grep -qx 'host=alpha' "$(config_file)" || fail "the file lost its host: $(cat "$(config_file)")"
done
echo "PASS close_with_child_window"

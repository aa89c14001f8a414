#!/usr/bin/env bash
# Configuration files the program cannot use as they are: a host name of 300,000 characters,
# a FIFO or a directory in place of the file, a file it may not read or may not write. The
# program starts (a box says why the file is not used), leaves the file as it was, and a
# failed save at shut-down is told in a box that the test answers.
source "$(dirname "$0")/lib/common.bash"

BOX_TITLE='^Tandrel - FLTK$'
NOBODY=65534

# Starts the program without waiting for its window (a box may come first); sets APP_PID.
# With "nobody" it runs as that user, so that file modes apply to it even when the tests run as root.
launch_app() {
    local as=$1
    if [ "$as" = nobody ] && [ "$(id -u)" -eq 0 ]; then
        chmod 0755 "$E2E_TMP"
        chown -R "$NOBODY:$NOBODY" "$E2E_TMP/home"
        HOME="$E2E_TMP/home" setpriv --reuid=$NOBODY --regid=$NOBODY --clear-groups \
            "$TANDREL_BIN" >"$E2E_TMP/stdout.txt" 2>&1 &
    else
        HOME="$E2E_TMP/home" "$TANDREL_BIN" >"$E2E_TMP/stdout.txt" 2>&1 &
    fi
    APP_PID=$!
    E2E_PIDS+=("$APP_PID")
}

# Waits for the main window; sets APP_WIN.
wait_for_main_window() {
    wait_for 100 xdotool search --onlyvisible --name '^Tandrel$' || fail "main window did not appear ($1)"
    APP_WIN=$(xdotool search --onlyvisible --name '^Tandrel$' | head -1)
}

# Waits for the program's message box and closes it with Return (again while it is still
# there: a key sent while the box is being mapped can be lost). The key goes through the
# keyboard to the focused box, not to a window by id: when the box closed on the press, a
# release sent to its window was lost and the server repeated Return into every later box.
answer_box() {
    wait_for 100 xdotool search --onlyvisible --name "$BOX_TITLE" ||
        fail "no message box ($1)"
    local box
    for _ in 1 2 3 4 5; do
        box=$(xdotool search --onlyvisible --name "$BOX_TITLE" | head -1)
        [ -n "$box" ] || return 0
        xdotool windowfocus --sync "$box" 2>/dev/null
        xdotool key Return
        wait_for 20 sh -c "! xdotool search --onlyvisible --name '$BOX_TITLE'" && return 0
    done
    fail "the box did not close ($1)"
}

no_box_for() {
    sleep "$1"
    if xdotool search --onlyvisible --name "$BOX_TITLE" >/dev/null 2>&1; then
        fail "an unexpected message box ($2)"
    fi
}

fresh_home() {
    rm -rf "$E2E_TMP/home"
    mkdir -p "$(config_dir)"
}

host_block() {
    printf 'host=%s\nhostaddress=127.0.0.1\nvncport=5999\n' "$1"
}

# 1. A host name of 300,000 characters: the program starts and draws it, and writes it back whole.
fresh_home
long_name=$(head -c 300000 /dev/zero | tr '\0' 'n')
{
    host_block "$long_name"
    host_block "@home"
} >"$(config_file)"
launch_app self
wait_for_main_window "long name"
xdotool mousemove --window "$APP_WIN" 60 40 click 1
sleep 1
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while drawing a long name"
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS with a long name"
printf 'host=%s\n' "$long_name" >"$E2E_TMP/long.line"
grep -qxFf "$E2E_TMP/long.line" "$(config_file)" || fail "the long name was not written back whole"
grep -qx "host=@home" "$(config_file)" || fail "the name @home was not written back as it was"

# 2. A FIFO and 3. a directory in place of the file: told at start, never replaced.
for kind in fifo directory; do
    fresh_home
    if [ "$kind" = fifo ]; then mkfifo "$(config_file)"; else mkdir "$(config_file)"; fi
    launch_app self
    answer_box "$kind at start"
    wait_for_main_window "$kind"
    close_app
    [ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS with a $kind"
    if [ "$kind" = fifo ]; then
        [ -p "$(config_file)" ] || fail "the FIFO was replaced"
    else
        [ -d "$(config_file)" ] && [ -z "$(ls -A "$(config_file)")" ] || fail "the directory was changed"
    fi
    [ "$(ls -A "$(config_dir)")" = tandrel-fltk.conf ] || fail "files were left beside the $kind"
    grep -q "Could not read config file" "$E2E_TMP/stdout.txt" || fail "no read failure on standard output ($kind)"
done

# 4. A file the program may not read: told at start, left as it was.
fresh_home
host_block secret >"$(config_file)"
cp "$(config_file)" "$E2E_TMP/original.conf"
chmod 0200 "$(config_file)"
launch_app nobody
answer_box "unreadable file at start"
wait_for_main_window "unreadable file"
close_app
no_box_for 0.5 "unreadable file at shut-down"
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS with an unreadable file"
cmp -s "$(config_file)" "$E2E_TMP/original.conf" || fail "the unreadable file was changed"
[ "$(stat -c %a "$(config_file)")" = 200 ] || fail "the unreadable file's mode was changed"

# 5. A file the program may not write: it starts with its hosts; the save at shut-down fails,
#    a box says so before the program ends, and the file stays as it was.
fresh_home
host_block kept >"$(config_file)"
cp "$(config_file)" "$E2E_TMP/original.conf"
chmod 0400 "$(config_file)"
launch_app nobody
wait_for_main_window "unwritable file"
no_box_for 0.5 "unwritable file at start"
"$WM_CLOSE" "$APP_WIN" || fail "could not send the close request"
answer_box "failed save at shut-down"
wait_for_exit "after the failed save was told"
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS after a failed save"
cmp -s "$(config_file)" "$E2E_TMP/original.conf" || fail "the unwritable file was changed"
grep -q "Could not open config file for writing" "$E2E_TMP/stdout.txt" || fail "no save failure on standard output"

echo "PASS config_file_faults"

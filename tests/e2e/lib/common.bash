# Shared pieces of the end-to-end tests: the real binary under the Xvfb that
# tests/with-xvfb.sh started (DISPLAY is set), driven by xdotool.
set -u

: "${TANDREL_BIN:?TANDREL_BIN must name the built binary}"
: "${TN_BUILD_DIR:?TN_BUILD_DIR must name the build directory}"
WM_CLOSE="$TN_BUILD_DIR/tests/tn_wm_close"
export USER="${USER:-$(id -un)}"

E2E_TMP=$(mktemp -d /tmp/tandrel-e2e-XXXXXX)
E2E_PIDS=()
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
cleanup() {
    for pid in "${E2E_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${E2E_PIDS[@]}"; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$E2E_TMP"
}
trap cleanup EXIT

# Waits (bounded, in tenths of a second) until a command succeeds.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq 1 "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# Starts the test RFB server (tests/tools/tn_test_server) with the given options in the
# background, ended with the script; waits (bounded) until it listens and sets
# TEST_SERVER_PORT.
start_test_server() {
    local out
    out=$(mktemp "$E2E_TMP/server-XXXXXX")
    "$TN_BUILD_DIR/tests/tn_test_server" "$@" >"$out" 2>&1 </dev/null &
    E2E_PIDS+=($!)
    wait_for 100 grep -q '^READY' "$out" || fail "test server did not start: $(cat "$out")"
    TEST_SERVER_PORT=$(awk '/^READY/{print $2; exit}' "$out")
}

# Starts the program with HOME in the test's directory; sets APP_PID and APP_WIN.
start_app() {
    HOME="$E2E_TMP/home" "$TANDREL_BIN" >"$E2E_TMP/stdout.txt" 2>&1 &
    APP_PID=$!
    E2E_PIDS+=("$APP_PID")
    wait_for 100 xdotool search --name '^Tandrel$' || fail "main window did not appear"
    APP_WIN=$(xdotool search --name '^Tandrel$' | head -1)
    wait_for 50 sh -c "xwininfo -id $APP_WIN | grep -q IsViewable" || fail "main window not viewable"
}

config_dir() { echo "$E2E_TMP/home/.tandrel"; }
config_file() { echo "$E2E_TMP/home/.tandrel/tandrel-fltk.conf"; }
log_file() { echo "$E2E_TMP/home/.tandrel/tandrel-fltk.log"; }

# Sends a window manager's close request and waits (bounded) for the program to exit;
# sets APP_STATUS.
close_app() {
    "$WM_CLOSE" "$APP_WIN" || fail "could not send the close request"
    wait_for_exit "after the close request"
}

# Waits (bounded, 10 s) for the program to end; sets APP_STATUS.
wait_for_exit() {
    for _ in $(seq 1 100); do
        kill -0 "$APP_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$APP_PID" 2>/dev/null && fail "the program still runs $1"
    wait "$APP_PID"
    APP_STATUS=$?
}

# The installed program started and closed as from a desktop (the install checks): its
# window's class is the desktop entry's StartupWMClass, a window manager's close ends it
# with status 0, and its configuration file is left at mode 0600.
start_and_close_installed() {
    local class
    class=$(sed -n 's/^StartupWMClass=//p' "$1")
    mkdir -p "$E2E_TMP/home"
    start_app
    xprop -id "$APP_WIN" WM_CLASS | grep -q "\"$class\"" ||
        fail "the window's class is not $class: $(xprop -id "$APP_WIN" WM_CLASS)"
    close_app
    [ "$APP_STATUS" -eq 0 ] || fail "the installed binary exited with $APP_STATUS"
    [ "$(stat -c %a "$(config_file)")" = 600 ] || fail "the configuration file is not mode 0600"
}

# Prints "R G B" of one screen pixel (root window coordinates).
pixel_at() {
    import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n '2s/.*(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3/p' | cut -d' ' -f1-3
}

# Starts TigerVNC's Xvnc on loopback (320x200, VNC password "secret12") on a free display
# number and port; sets XVNC_DISPLAY (":N") and XVNC_PORT. Arguments go to Xvnc after its
# own (a later -SecurityTypes replaces the first).
start_xvnc() {
    XVNC_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    XVNC_DISPLAY=""
    local n
    for n in $(seq 70 99); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { XVNC_DISPLAY=":$n"; break; }
    done
    [ -n "$XVNC_DISPLAY" ] || fail "no free display number for Xvnc"
    echo secret12 | vncpasswd -f >"$E2E_TMP/vncpw"
    XVNC_ARGS=("$@")
    run_xvnc
}

# Starts Xvnc on XVNC_DISPLAY and XVNC_PORT with the arguments start_xvnc had; sets XVNC_PID.
run_xvnc() {
    Xvnc "$XVNC_DISPLAY" -interface 127.0.0.1 -localhost -rfbport "$XVNC_PORT" -geometry 320x200 -depth 24 \
        -SecurityTypes VncAuth -PasswordFile "$E2E_TMP/vncpw" -nolisten tcp "${XVNC_ARGS[@]}" >>"$E2E_TMP/xvnc.log" 2>&1 &
    XVNC_PID=$!
    E2E_PIDS+=("$XVNC_PID")
    wait_for 100 env DISPLAY="$XVNC_DISPLAY" xdpyinfo || fail "Xvnc did not start"
}

# Ends the Xvnc of start_xvnc (its display and port are free again once this returns).
stop_xvnc() {
    kill "$XVNC_PID" 2>/dev/null
    wait "$XVNC_PID" 2>/dev/null
}

# Writes a configuration whose one host, "xvnc", is the Xvnc of start_xvnc (scaling 's').
write_xvnc_config() {
    mkdir -p "$(config_dir)"
    cat >"$(config_file)" <<CONF
logtofile=true
host=xvnc
hostaddress=127.0.0.1
vncport=$XVNC_PORT
vncpass=$(printf secret12 | base64)
scale=s
CONF
}

# Double-clicks the first host line and waits until it is connected.
connect_first_host() {
    xdotool mousemove --window "$APP_WIN" 40 8 click --repeat 2 --delay 80 1
    wait_for 100 grep -q "Connected to 'xvnc' - 127.0.0.1" "$(log_file)" || {
        cat "$(log_file)" >&2
        fail "did not connect to Xvnc"
    }
}

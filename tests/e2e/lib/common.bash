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

# Prints "R G B" of one screen pixel (root window coordinates).
pixel_at() {
    import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
        sed -n '2s/.*(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3/p' | cut -d' ' -f1-3
}

#!/usr/bin/env bash
# The command line: --help and --version answer and exit 0 without a window; an unknown
# option, an option without its value and a stray argument are refused with status 1 and
# the usage on standard error before anything is shown or made; the toolkit's options
# apply (-display opens the named display even without DISPLAY, -title names the window).
source "$(dirname "$0")/lib/common.bash"

mkdir -p "$E2E_TMP/home"
run() {
    HOME="$E2E_TMP/home" timeout 10 "$TANDREL_BIN" "$@" >"$E2E_TMP/out.txt" 2>"$E2E_TMP/err.txt"
}

run --version || fail "--version: status $?"
[ "$(cat "$E2E_TMP/out.txt")" = "Tandrel $TN_VERSION" ] || fail "--version printed: $(cat "$E2E_TMP/out.txt")"
for help in --help -h; do
    run "$help" || fail "$help: status $?"
    grep -q -- '-di\[splay\] host:n.n' "$E2E_TMP/out.txt" || fail "$help lists no toolkit option: $(cat "$E2E_TMP/out.txt")"
    # The heading stands alone; each toolkit option has a line of its own.
    grep -qx "The toolkit's standard options (see tandrel(1)):" "$E2E_TMP/out.txt" ||
        fail "$help: the toolkit options' heading shares its line: $(cat "$E2E_TMP/out.txt")"
    grep -A1 -x "The toolkit's standard options (see tandrel(1)):" "$E2E_TMP/out.txt" | tail -1 | grep -q '^ *-' ||
        fail "$help: no option right below the heading"
done

for bad in "-nosuchoption" "--nosuchoption" "extra-argument" "-scheme"; do
    run $bad
    status=$?
    [ "$status" -eq 1 ] || fail "'$bad': status $status, expected 1"
    grep -q "^Usage: tandrel" "$E2E_TMP/err.txt" || fail "'$bad': no usage on standard error"
done
[ ! -e "$E2E_TMP/home/.tandrel" ] || fail "a refused command line made the configuration directory"
xdotool search --name 'Tandrel' >/dev/null 2>&1 && fail "a refused command line showed a window"

# Toolkit options reach the toolkit before it opens the display.
display=$DISPLAY
HOME="$E2E_TMP/home" env -u DISPLAY "$TANDREL_BIN" -display "$display" -title "Tandrel (office)" \
    >"$E2E_TMP/stdout.txt" 2>&1 &
APP_PID=$!
E2E_PIDS+=("$APP_PID")
wait_for 100 xdotool search --name '^Tandrel \(office\)$' || fail "no window titled by -title on the -display"
APP_WIN=$(xdotool search --name '^Tandrel \(office\)$' | head -1)
close_app
[ "$APP_STATUS" -eq 0 ] || fail "exit status $APP_STATUS after the close request"
echo "PASS command_line"

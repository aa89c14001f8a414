#!/usr/bin/env bash
# Takes the README's screenshot: the main window with two hosts connected, under a private
# Xvfb, against two test RFB servers on loopback. It builds nothing: it takes the program
# and the test tools from a build directory (`make build` makes them).
# Usage: scripts/screenshot.sh [build dir (default build)] [output (default docs/screenshot.png)]
# Needs Xvfb, xdotool and ImageMagick's import/convert (all installed by scripts/deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
output=$(realpath -m "${2:-docs/screenshot.png}")
for f in "$build/tandrel" "$build/tests/tn_test_server" "$build/tests/tn_wm_close"; do
    [ -x "$f" ] || { echo "screenshot.sh: $f is missing (run make build)" >&2; exit 1; }
done
# The rest runs under a private Xvfb that tests/with-xvfb.sh starts and stops.
if [ -z "${TN_SCREENSHOT_DISPLAY:-}" ]; then
    TN_SCREENSHOT_DISPLAY=1 exec tests/with-xvfb.sh bash "$0" "$build" "$output"
fi
export USER="${USER:-$(id -un)}"

work=$(mktemp -d /tmp/tandrel-screenshot-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "screenshot.sh: $*" >&2
    exit 1
}
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq 1 "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# Two test servers (they end after --max-seconds at the latest).
ports=()
for size in "960 640" "1280 800"; do
    out="$work/server-${#ports[@]}"
    set -- $size
    "$build/tests/tn_test_server" --width "$1" --height "$2" --password secret12 --max-seconds 60 \
        >"$out" 2>&1 </dev/null &
    pids+=($!)
    wait_for 100 grep -q '^READY' "$out" || fail "test server did not start: $(cat "$out")"
    ports+=("$(awk '/^READY/{print $2; exit}' "$out")")
done

# A private HOME whose configuration holds the two hosts and the window's size.
home="$work/home"
mkdir -p "$home/.tandrel"
pass=$(printf secret12 | base64)
cat >"$home/.tandrel/tandrel-fltk.conf" <<CONF
logtofile=true
savedx=0
savedy=0
savedw=1000
savedh=640
host=Build server
hostaddress=127.0.0.1
vncport=${ports[1]}
vncpass=$pass
scale=z
quicknote=$(printf 'Nightly builds; restart the runner after updates' | base64 -w0)
host=Office desktop
hostaddress=127.0.0.1
vncport=${ports[0]}
vncpass=$pass
scale=z
quicknote=$(printf 'Reception PC, second floor' | base64 -w0)
CONF
chmod 600 "$home/.tandrel/tandrel-fltk.conf"
log="$home/.tandrel/tandrel-fltk.log"

HOME="$home" "$build/tandrel" >"$work/stdout.txt" 2>&1 &
app=$!
pids+=("$app")
wait_for 100 xdotool search --name '^Tandrel$' || fail "the main window did not appear"
win=$(xdotool search --name '^Tandrel$' | head -1)
wait_for 50 sh -c "xwininfo -id $win | grep -q IsViewable" || fail "the main window is not viewable"
sleep 1 # the saved size is restored a moment after the window opens

# Double-click each line (the e2e tests' way) and wait until both are connected; the second
# stays shown.
for host in "Build server:8" "Office desktop:28"; do
    name=${host%:*} y=${host##*:}
    xdotool mousemove --window "$win" 40 "$y" click --repeat 2 --delay 80 1
    wait_for 100 grep -q "Connected to '$name'" "$log" || fail "did not connect to $name: $(cat "$log")"
done
# The pointer leaves the window, so that no tooltip covers it.
xdotool mousemove --window "$win" 40 28 click 1 mousemove 1270 1010
sleep 2
mkdir -p "$(dirname "$output")"
import -window "$win" -depth 8 +dither -colors 255 "png8:$output" || fail "could not capture the window"
"$build/tests/tn_wm_close" "$win"
wait_for 100 sh -c "! kill -0 $app" || fail "the program did not close"
echo "screenshot.sh: wrote $output ($(stat -c %s "$output") bytes)"

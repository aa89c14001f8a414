#!/usr/bin/env bash
# Takes the README's screenshot: the main window with two hosts connected, under a private
# Xvfb, against two real desktops on loopback (TigerVNC's Xvnc sessions, each with a window
# manager, a terminal and a clock). It builds nothing: it takes the program and the test
# tools from a build directory (`make build` makes them).
# Usage: scripts/screenshot.sh [build dir (default build)] [output (default docs/screenshot.png)]
# It also writes the overview of both hosts (F9) beside the output, as overview.png.
# Needs Xvfb, Xvnc, twm, xterm, xclock, xdotool and ImageMagick (all installed by scripts/deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
output=$(realpath -m "${2:-docs/screenshot.png}")
for f in "$build/tandrel" "$build/tests/tn_wm_close"; do
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

# Two desktops: Xvnc on a free display and loopback port each, with a password, a window
# manager, a background, a terminal and a clock. Everything started here ends with the script.
echo secret12 | vncpasswd -f >"$work/vncpw"
# twm's own fonts are not among the core fonts Xvnc has; "fixed" always is.
cat >"$work/twmrc" <<'TWMRC'
TitleFont "fixed"
ResizeFont "fixed"
MenuFont "fixed"
IconFont "fixed"
IconManagerFont "fixed"
RandomPlacement
BorderWidth 1
Color { TitleBackground "#d0d4d8" TitleForeground "#202020" BorderColor "#606468" }
TWMRC
ports=()
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
start_desktop() {
    local size=$1 colour=$2 display="" n port
    for n in $(seq 70 99); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
    done
    [ -n "$display" ] || fail "no free display number for Xvnc"
    port=$(free_port)
    Xvnc "$display" -interface 127.0.0.1 -localhost -rfbport "$port" -geometry "$size" -depth 24 \
        -SecurityTypes VncAuth -PasswordFile "$work/vncpw" -nolisten tcp >"$work/xvnc$n.log" 2>&1 &
    pids+=($!)
    wait_for 100 env DISPLAY="$display" xdpyinfo || fail "Xvnc did not start: $(cat "$work/xvnc$n.log")"
    DISPLAY="$display" xsetroot -solid "$colour"
    DISPLAY="$display" twm -f "$work/twmrc" >/dev/null 2>&1 &
    pids+=($!)
    ports+=("$port")
    DESKTOP=$display
}
# A build machine: a terminal with the system's state, and a clock.
start_desktop 1280x800 '#2e4a62'
DISPLAY=$DESKTOP xterm -geometry 96x30+40+40 -fa Monospace -fs 10 -bg '#101418' -fg '#d0d8e0' -T "builder@build: ~" \
    -e sh -c 'echo "\$ uname -sr"; uname -sr; echo; echo "\$ uptime"; uptime; echo; echo "\$ df -h /"; df -h / ; echo; echo "\$ free -h"; free -h; echo; printf "\$ "; exec sleep 600' &
pids+=($!)
DISPLAY=$DESKTOP xclock -geometry 180x180+1040+40 -update 1 &
pids+=($!)
# An office desktop: a clock and a terminal.
start_desktop 960x640 '#5a7d4f'
DISPLAY=$DESKTOP xclock -geometry 200x200+700+60 -update 1 &
pids+=($!)
DISPLAY=$DESKTOP xterm -geometry 64x16+60+220 -fa Monospace -fs 11 -T "reception@office: ~" \
    -e sh -c 'echo "\$ date"; date; echo; echo "\$ ls /usr/share/doc | head -6"; ls /usr/share/doc | head -6; echo; printf "\$ "; exec sleep 600' &
pids+=($!)
sleep 2 # the windows are mapped and drawn

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
vncport=${ports[0]}
vncpass=$pass
scale=z
quicknote=$(printf 'Nightly builds; restart the runner after updates' | base64 -w0)
host=Office desktop
hostaddress=127.0.0.1
vncport=${ports[1]}
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
# The overview: F9 with the pointer over the viewer, which then has the keyboard.
overview="$(dirname "$output")/overview.png"
xdotool mousemove --window "$win" 500 300 sleep 0.3 key F9 sleep 0.2 mousemove 1270 1010
sleep 3 # a refresh of every tile
import -window "$win" -depth 8 +dither -colors 255 "png8:$overview" || fail "could not capture the overview"
"$build/tests/tn_wm_close" "$win"
wait_for 100 sh -c "! kill -0 $app" || fail "the program did not close"
echo "screenshot.sh: wrote $output ($(stat -c %s "$output") bytes) and $overview ($(stat -c %s "$overview") bytes)"

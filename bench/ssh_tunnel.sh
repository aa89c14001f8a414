#!/usr/bin/env bash
# Double-click to connected through an SSH tunnel (a real sshd on loopback, the test server
# behind it), five times; then the ssh processes left right after the program is closed
# during a tunnel wait.
# Usage: bench/ssh_tunnel.sh <tandrel binary> <tn_wm_close binary>   (run under tests/with-xvfb.sh)
set -u
bin=${1:?tandrel binary}
wmclose=${2:?tn_wm_close binary}
build=$(cd "$(dirname "$bin")" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
export USER="${USER:-$(id -un)}"
tmp=$(mktemp -d /tmp/tandrel-bench-XXXXXX)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/tunnel" "$tmp/.tandrel"
bash "$source_dir/tests/tools/tn_test_sshd.sh" "$tmp/tunnel" >"$tmp/sshd-script.log" 2>&1 &
pids+=($!)
coproc SERVER { exec "$build/tests/tn_test_server" --width 400 --height 300 --max-seconds 120; }
pids+=("$SERVER_PID")
read -r -t 10 ready vnc_port <&"${SERVER[0]}" && [ "$ready" = READY ] || { echo "test server did not start"; exit 1; }
for _ in $(seq 1 150); do [ -s "$tmp/tunnel/port" ] && break; sleep 0.1; done
[ -s "$tmp/tunnel/port" ] || { echo "sshd did not start: $(cat "$tmp/sshd-script.log")"; exit 1; }
sleep 0.5
cat >"$tmp/.tandrel/tandrel-fltk.conf" <<CONF
logtofile=true
savedx=0
savedy=0
savedw=1024
savedh=768
sshcommand=$tmp/tunnel/ssh
host=tunnel
type=s
hostaddress=127.0.0.1
vncport=$vnc_port
sshport=$(cat "$tmp/tunnel/port")
sshuser=$(id -un)
sshkeyprivate=$tmp/tunnel/client_key
CONF
log="$tmp/.tandrel/tandrel-fltk.log"
HOME="$tmp" "$bin" >/dev/null 2>&1 &
app=$!
pids+=("$app")
win=""
for _ in $(seq 1 300); do
    win=$(xdotool search --onlyvisible --name '^Tandrel$' 2>/dev/null | head -1)
    [ -n "$win" ] && break
    sleep 0.02
done
sleep 1
count() { grep -cF "$1" "$log" 2>/dev/null || true; }
clients() { pgrep -c -f -- "$tmp/tunnel/ssh( |_config)" || true; }
times=()
for run in 1 2 3 4 5; do
    start=$(date +%s.%N)
    xdotool mousemove --window "$win" 40 8 click --repeat 2 --delay 80 1
    for _ in $(seq 1 500); do
        [ "$(count "Connected to 'tunnel'")" -ge "$run" ] && break
        sleep 0.01
    done
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc)")
    printf 'run %d: double-click to connected through the tunnel %.3f s\n' "$run" "${times[-1]}"
    xdotool mousemove --window "$win" 40 8 click 3
    for _ in $(seq 1 300); do [ "$(clients)" -eq 0 ] && break; sleep 0.02; done
    sleep 0.3
done
printf 'median %.3f s\n' "$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)"
echo 3 >"$tmp/tunnel/delay"
xdotool mousemove --window "$win" 40 8 click --repeat 2 --delay 80 1
for _ in $(seq 1 100); do [ "$(clients)" -ge 1 ] && break; sleep 0.02; done
before=$(clients)
"$wmclose" "$win"
for _ in $(seq 1 300); do kill -0 "$app" 2>/dev/null || break; sleep 0.02; done
echo "closed during a tunnel wait: ssh processes before the close $before, right after the exit $(clients)"

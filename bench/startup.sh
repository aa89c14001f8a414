#!/usr/bin/env bash
# Start-up to the first shown window, and the write at close, with 65,000 hosts.
# Usage: bench/startup.sh <tandrel binary> <tn_wm_close binary>   (run under tests/with-xvfb.sh)
set -u
bin=${1:?tandrel binary}
wmclose=${2:?tn_wm_close binary}
export USER="${USER:-$(id -un)}"
tmp=$(mktemp -d /tmp/tandrel-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/.tandrel"
python3 - "$tmp/.tandrel/tandrel-fltk.conf" <<'PY'
import sys
with open(sys.argv[1], "w") as f:
    f.write("hostlistwidth=170\n")
    for i in range(65000):
        f.write(f"host=host-{i}\ngroup=g{i // 100}\nhostaddress=10.{i >> 16 & 255}.{i >> 8 & 255}.{i & 255}\n"
                f"vncport=5900\nvncpass=c2VjcmV0MTI=\nquicknote=bm90ZQ==\nlastconnecttime=2024-05-01  14:03:27\n\n")
PY
runs=3
for run in $(seq 1 $runs); do
    start=$(date +%s.%N)
    HOME="$tmp" "$bin" >/dev/null 2>&1 &
    pid=$!
    win=""
    for _ in $(seq 1 600); do
        win=$(xdotool search --onlyvisible --name '^Tandrel$' 2>/dev/null | head -1)
        [ -n "$win" ] && break
        sleep 0.02
    done
    shown=$(date +%s.%N)
    rss=$(awk '/VmRSS/{print $2}' "/proc/$pid/status")
    "$wmclose" "$win"
    for _ in $(seq 1 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.02; done
    ended=$(date +%s.%N)
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    printf 'run %d: start-up to shown window %.3f s; close (end connections, write 65,000 hosts, exit) %.3f s; resident %d MiB\n' \
        "$run" "$(echo "$shown - $start" | bc)" "$(echo "$ended - $shown" | bc)" $((rss / 1024))
done

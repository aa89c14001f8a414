#!/usr/bin/env bash
# Runs one command under a private Xvfb server that this script starts and stops.
# Usage: with-xvfb.sh command [args...]
# TN_XVFB_DEPTH sets the screen's bits a pixel (default 24).
set -u
fd_file=$(mktemp)
exec 3>"$fd_file"
Xvfb -displayfd 3 -screen 0 1280x1024x"${TN_XVFB_DEPTH:-24}" -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
display=""
for _ in $(seq 1 100); do
  display=$(tr -dc '0-9' <"$fd_file")
  [ -n "$display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
rm -f "$fd_file"
if [ -z "$display" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  kill "$xvfb_pid" 2>/dev/null
  exit 1
fi
export DISPLAY=":$display"
# The benchmarks read the X server's CPU time.
export TN_XVFB_PID=$xvfb_pid
"$@"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status

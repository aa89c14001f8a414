# The test's own OpenSSH server for the end-to-end tests of SSH tunnels
# (tests/tools/tn_test_sshd.sh), and what the tests read of the tunnels. Sourced after
# common.bash; sets TUNNEL (its directory) and SSH_PORT, or exits 77 when sshd cannot run.
: "${TN_SOURCE_DIR:?TN_SOURCE_DIR must name the source directory}"

TUNNEL="$E2E_TMP/tunnel"
mkdir -p "$TUNNEL"
bash "$TN_SOURCE_DIR/tests/tools/tn_test_sshd.sh" "$TUNNEL" >"$E2E_TMP/sshd-script.log" 2>&1 &
SSHD_PID=$!
E2E_PIDS+=("$SSHD_PID")

# True when something listens on TCP port $1 (IPv4 or IPv6), read from the kernel's tables.
port_listening() { "$TN_BUILD_DIR/tests/tn_port_listening" "$1"; }
# The ssh clients of this test that run now (the shell that starts one, the wrapper, ssh):
# neither the test's sshd (its sshd_config) nor the short check of the ssh command (which
# '.../ssh') matches. Read-only: pgrep signals nothing.
ssh_clients() { pgrep -c -f -- "$TUNNEL/ssh( |_config)" || true; }
no_ssh_clients() { [ "$(ssh_clients)" -eq 0 ]; }
port_closed() { ! port_listening "$1"; }
# The local ports of the running tunnels, from their ssh's command lines, and the first.
tunnel_ports() { pgrep -a -f -- "$TUNNEL/ssh_config" | sed -n 's/.* -L \([0-9]*\):.*/\1/p'; }
tunnel_port() { tunnel_ports | head -1; }
log_count() {
    local n
    n=$(grep -cF "$1" "$(log_file)" 2>/dev/null)
    echo "${n:-0}"
}

for _ in $(seq 1 150); do
    kill -0 "$SSHD_PID" 2>/dev/null || break
    [ -s "$TUNNEL/port" ] && port_listening "$(cat "$TUNNEL/port")" && break
    sleep 0.1
done
if ! kill -0 "$SSHD_PID" 2>/dev/null; then
    wait "$SSHD_PID"
    status=$?
    cat "$E2E_TMP/sshd-script.log" "$TUNNEL/sshd.log" >&2 2>/dev/null
    [ "$status" -eq 77 ] && { echo "SKIP $(basename "$0" .sh): sshd cannot run here"; exit 77; }
    fail "sshd did not start (status $status)"
fi
port_listening "$(cat "$TUNNEL/port")" || fail "sshd does not listen"
SSH_PORT=$(cat "$TUNNEL/port")


# The configuration lines of a host NAME of type 's' that reaches the VNC server on port PORT
# of the SSH host through this test's sshd.
ssh_host_config() {
    cat <<CONF
host=$1
type=s
hostaddress=127.0.0.1
vncport=$2
sshport=$SSH_PORT
sshuser=$(id -un)
sshkeyprivate=$TUNNEL/client_key
CONF
}

# The program's options of these tests: the log on, a 1024x768 window, this test's ssh
# wrapper, local ports from $1 on.
ssh_options_config() {
    printf 'logtofile=true\nhostlistwidth=170\nsavedx=0\nsavedy=0\nsavedw=1024\nsavedh=768\n'
    printf 'sshcommand=%s\nstartinglocalport=%s\n' "$TUNNEL/ssh" "$1"
}

# Stops this test's sshd with its sessions (the tunnels through it end) and, after $1
# seconds, starts it again with the same configuration, keys and port.
restart_sshd() {
    local children
    children=$(pgrep -P "$SSHD_PID" || true)
    kill "$SSHD_PID" $children 2>/dev/null
    wait "$SSHD_PID" 2>/dev/null
    sleep "$1"
    /usr/sbin/sshd -D -e -f "$TUNNEL/sshd_config" 2>>"$TUNNEL/sshd.log" &
    SSHD_PID=$!
    E2E_PIDS+=("$SSHD_PID")
    wait_for 50 port_listening "$SSH_PORT" || fail "sshd did not start again"
}

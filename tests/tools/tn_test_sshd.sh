#!/usr/bin/env bash
# A real OpenSSH server for the tunnel tests, on a free port of 127.0.0.1.
#
#   tn_test_sshd.sh DIR
#
# Makes in DIR (which must exist and be empty): a host key, a client key ("client_key"), a
# server configuration that accepts only that client key for the user running this script and
# forwards only to loopback, and for the client a configuration with the host key already known
# and BatchMode on, plus the wrapper "DIR/ssh" that runs ssh with it, so that no ssh
# configuration of the user or the system is read. When the file DIR/delay holds a number, the
# wrapper first sleeps that many seconds (a slow tunnel). Writes the port to DIR/port and then
# becomes the server (`sshd -D -e`, its log in DIR/sshd.log): end it with SIGTERM to this
# script's process id. Exits with status 77 when sshd cannot run here.
set -eu
dir=${1:?usage: tn_test_sshd.sh DIR}
dir=$(cd "$dir" && pwd)
sshd=/usr/sbin/sshd
user=$(id -un)
if [ ! -x "$sshd" ]; then
    echo "tn_test_sshd: $sshd is not installed (scripts/deps.sh installs openssh-server)" >&2
    exit 77
fi
# sshd refuses to start without its privilege separation directory.
if [ ! -d /run/sshd ]; then
    if [ "$(id -u)" -eq 0 ]; then
        mkdir -p /run/sshd
        chmod 755 /run/sshd
    else
        echo "tn_test_sshd: /run/sshd is missing and only root can make it" >&2
        exit 77
    fi
fi
ssh-keygen -q -t ed25519 -N '' -C tn-test-host -f "$dir/host_key"
ssh-keygen -q -t ed25519 -N '' -C tn-test-client -f "$dir/client_key"
cp "$dir/client_key.pub" "$dir/authorized_keys"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

cat >"$dir/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $port
HostKey $dir/host_key
PidFile none
AuthorizedKeysFile $dir/authorized_keys
AllowUsers $user
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
UsePAM no
StrictModes no
AllowTcpForwarding local
PermitOpen 127.0.0.1:* localhost:*
GatewayPorts no
X11Forwarding no
AllowAgentForwarding no
AllowStreamLocalForwarding no
PermitTunnel no
PermitTTY yes
PrintMotd no
PrintLastLog no
UseDNS no
LogLevel VERBOSE
CONF

echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$dir/host_key.pub")" >"$dir/known_hosts"
cat >"$dir/ssh_config" <<CONF
Host *
    UserKnownHostsFile $dir/known_hosts
    GlobalKnownHostsFile /dev/null
    StrictHostKeyChecking yes
    CheckHostIP no
    BatchMode yes
    IdentitiesOnly yes
    IdentityAgent none
    ForwardAgent no
    ForwardX11 no
    ControlMaster no
    ControlPath none
    UpdateHostKeys no
    LogLevel ERROR
CONF
cat >"$dir/ssh" <<CONF
#!/bin/sh
[ -s "$dir/delay" ] && sleep "\$(cat "$dir/delay")"
exec /usr/bin/ssh -F "$dir/ssh_config" "\$@"
CONF
chmod 755 "$dir/ssh"
echo "$port" >"$dir/port"
exec "$sshd" -D -e -f "$dir/sshd_config" 2>"$dir/sshd.log"

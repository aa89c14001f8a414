#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping apt when all are present.
set -eu
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev dpkg-dev patch
  libfltk1.3-dev fluid libvncserver-dev libpixman-1-dev
  libgnutls28-dev libgcrypt20-dev libsasl2-dev libjpeg-dev zlib1g-dev liblzo2-dev
  libgtest-dev googletest libbenchmark-dev
  libxext-dev libxtst-dev bc xvfb xdotool x11-utils x11-xserver-utils x11-xkb-utils imagemagick xclip
  tigervnc-standalone-server tigervnc-tools tigervnc-viewer x11vnc openssl
  openssh-client openssh-server procps
  # The checks of the installed desktop entry, metainfo and manual page; the icon script.
  desktop-file-utils appstream groff-base librsvg2-bin
  # The Debian package: its build (dpkg-source also unpacks the carried libvncserver source),
  # its checks, and the manual page opened from the installed package.
  debhelper lintian man-db
  # Passwords in the desktop keyring (libsecret); the keyring tests start a Secret Service of
  # their own (gnome-keyring-daemon inside dbus-run-session).
  libsecret-1-dev gnome-keyring dbus dbus-daemon
  # The README's screenshot: real desktops in Xvnc sessions (a window manager, a terminal, a clock).
  twm xterm x11-apps
)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
$SUDO apt-get update -qq
echo "Installing: ${missing[*]}"

# The tests start sshd themselves on a loopback port: installing openssh-server must not leave
# the system's sshd running on port 22. A policy-rc.d that forbids starting services keeps the
# package's scripts from starting it (one that already exists is left as it is); should an sshd
# have started all the same, the one whose pid file the install wrote is stopped.
policy=/usr/sbin/policy-rc.d
own_policy=0
sshd_pid_before=""
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# Written by tandrel scripts/deps.sh for the duration of an install.\nexit 101\n' |
    $SUDO tee "$policy" >/dev/null
  $SUDO chmod 755 "$policy"
  own_policy=1
fi
[ -f /run/sshd.pid ] && sshd_pid_before=$(cat /run/sshd.pid 2>/dev/null || true)
status=0
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" || status=$?
[ $own_policy -eq 1 ] && $SUDO rm -f "$policy"
if [ -f /run/sshd.pid ]; then
  pid=$(cat /run/sshd.pid 2>/dev/null || true)
  if [ -n "$pid" ] && [ "$pid" != "$sshd_pid_before" ] &&
    [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = /usr/sbin/sshd ]; then
    echo "Stopping the sshd that the install started (pid $pid)"
    $SUDO kill "$pid" || true
  fi
fi
exit $status

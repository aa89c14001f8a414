#!/usr/bin/env bash
# Installs the Debian packages the project needs, skipping apt when all are present.
set -eu
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libfltk1.3-dev fluid libvncserver-dev
  libgtest-dev googletest libbenchmark-dev
  bc xvfb xdotool x11-utils x11-xserver-utils x11-xkb-utils imagemagick xclip
  tigervnc-standalone-server tigervnc-tools tigervnc-viewer x11vnc openssl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

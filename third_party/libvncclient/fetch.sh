#!/usr/bin/env bash
# Unpacks Debian's libvncserver source package (with Debian's own patches) into DEST
# and applies ours on top. A patch that no longer applies stops the build: patch
# --forward refuses a patch it finds already applied, and any rejected hunk fails.
#   fetch.sh DEST PATCH...
set -euo pipefail
dest=$1
shift
work="$dest.fetch"
rm -rf "$dest" "$work"
mkdir -p "$work"
(cd "$work" && apt-get source -qq libvncserver) || {
  echo "fetch.sh: 'apt-get source libvncserver' failed; scripts/deps.sh adds the deb-src entry and dpkg-dev" >&2
  exit 1
}
unpacked=("$work"/libvncserver-*/)
if [ ${#unpacked[@]} -ne 1 ] || [ ! -f "${unpacked[0]}/libvncclient/rfbproto.c" ]; then
  echo "fetch.sh: no unpacked libvncserver source in $work" >&2
  exit 1
fi
echo "libvncclient: $(head -n1 "${unpacked[0]}/debian/changelog")"
for p in "$@"; do
  echo "libvncclient: applying $(basename "$p")"
  patch --forward --batch --silent -p1 -d "${unpacked[0]}" < "$p" || {
    echo "fetch.sh: $(basename "$p") does not apply to this libvncserver source" >&2
    exit 1
  }
done
mv "${unpacked[0]}" "$dest"
rm -rf "$work"

#!/usr/bin/env bash
# Unpacks Debian's libvncserver source package, carried in debian-source/ as the archive
# has it (.dsc, orig and debian tarballs), into DEST the way `apt-get source` does
# (dpkg-source -x: the checksums of the .dsc are verified and Debian's own patches
# applied), then applies ours on top. A patch that no longer applies stops the build:
# patch --forward refuses a patch it finds already applied, and any rejected hunk fails.
#   unpack.sh DSC DEST PATCH...
# To move to a new Debian revision, replace the three files of debian-source/ with those
# that `apt-get source --download-only libvncserver` fetches (with a deb-src entry).
set -euo pipefail
dsc=$1
dest=$2
shift 2
rm -rf "$dest"
mkdir -p "$(dirname "$dest")"
log=$(mktemp)
# The .dsc's signature cannot be checked without Debian's keyring; gpgv's complaint about
# it is noise, so the output is shown only when the unpacking fails.
if ! dpkg-source -q -x "$dsc" "$dest" >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  echo "unpack.sh: dpkg-source could not unpack $dsc" >&2
  exit 1
fi
rm -f "$log"
if [ ! -f "$dest/libvncclient/rfbproto.c" ]; then
  echo "unpack.sh: no libvncserver source in $dest" >&2
  exit 1
fi
echo "libvncclient: $(head -n1 "$dest/debian/changelog")"
for p in "$@"; do
  echo "libvncclient: applying $(basename "$p")"
  patch --forward --batch --silent -p1 -d "$dest" <"$p" || {
    echo "unpack.sh: $(basename "$p") does not apply to this libvncserver source" >&2
    exit 1
  }
done

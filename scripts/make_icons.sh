#!/usr/bin/env bash
# Renders the application icon (data/icons/<id>.svg) into the PNG sizes that are installed
# beside it. The PNGs are committed, so the build needs no converter; run this after
# changing the SVG. Needs rsvg-convert (librsvg2-bin, installed by scripts/deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
id=io.github.tandrel.Tandrel
for size in 48 128; do
  rsvg-convert -w "$size" -h "$size" -o "data/icons/$id-$size.png" "data/icons/$id.svg"
done

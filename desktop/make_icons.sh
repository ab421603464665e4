#!/usr/bin/env bash
# Renders the icon theme's PNG sizes of Ombrix's icon from ombrix.svg with librsvg. The
# PNGs are checked in; run this only after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
  mkdir -p "icons/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" ombrix.svg -o "icons/${size}x${size}/ombrix.png"
done

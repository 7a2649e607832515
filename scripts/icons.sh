#!/usr/bin/env bash
# Renders the program's icon (packaging/icons/ondrix-server.svg) into the PNG
# sizes of the desktop's icon theme, beside the SVG. The PNGs are kept in the
# repository, so building and packaging need no SVG renderer; run this after
# changing the SVG (it needs rsvg-convert, Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" ondrix-server.svg -o "ondrix-server-$size.png"
done
ls -l ondrix-server-*.png

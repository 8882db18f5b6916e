#!/usr/bin/env bash
# Renders the PNG sizes of the program's icon from packaging/icons/lexar.svg (needs
# rsvg-convert, Debian package librsvg2-bin). The PNGs are kept in the repository, so
# building and packaging need no renderer; run this after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" lexar.svg -o "lexar-$size.png"
done

#!/bin/sh
# Renders the committed PNG icons from photostation.svg (needs rsvg-convert,
# Debian package librsvg2-bin). Run it after changing the SVG.
set -e
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" photostation.svg -o "photostation-$size.png"
done

#!/usr/bin/env bash
# Renders the application icon (resources/icons/velkora.svg) to the PNG sizes the desktop uses.
# The PNGs are committed; run this after changing the SVG (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
for size in 16 22 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" velkora.svg -o "velkora-$size.png"
done

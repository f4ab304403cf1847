#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG (rsvg-convert, package
# librsvg2-bin). Run by hand after editing the SVG; the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for size in 32 48 128 256; do
    rsvg-convert -w "$size" -h "$size" io.github.pictrove.Pictrove.svg -o "$size.png"
done

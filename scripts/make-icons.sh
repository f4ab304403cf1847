#!/usr/bin/env bash
# Draws the three 32x32 button icons (ImageMagick). Run by hand; the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
# A page with a folded corner and a plus sign.
convert -size 32x32 xc:none \
  -fill white -stroke '#2b579a' -strokewidth 2 -draw 'polygon 6,2 20,2 26,8 26,30 6,30' \
  -fill '#c5d3ea' -draw 'polygon 20,2 20,8 26,8' \
  -stroke none -fill '#2e8b3d' -draw 'rectangle 13,14 19,28' -draw 'rectangle 9,18 23,24' \
  add-file.png
# A folder with pages in it.
convert -size 32x32 xc:none \
  -fill '#e8b84a' -stroke '#9a6f10' -strokewidth 1.5 -draw 'polygon 2,8 11,8 14,11 30,11 30,28 2,28' \
  -fill white -stroke '#2b579a' -strokewidth 1 -draw 'rectangle 8,5 20,16' -draw 'rectangle 12,3 24,14' \
  -fill '#f2c75c' -stroke '#9a6f10' -strokewidth 1.5 -draw 'polygon 2,14 30,14 28,28 2,28' \
  add-folder.png
# A picture (sun and hills) with an arrow coming out of it.
convert -size 32x32 xc:none \
  -fill '#dff0ff' -stroke '#2b579a' -strokewidth 2 -draw 'rectangle 2,6 22,26' \
  -stroke none -fill '#f2b705' -draw 'circle 8,12 8,15' \
  -fill '#3c9a4a' -draw 'polygon 3,25 10,16 15,21 18,18 21,25' \
  -fill '#c0392b' -draw 'polygon 18,12 26,12 26,8 31,15 26,22 26,18 18,18' \
  extract.png

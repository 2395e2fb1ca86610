#!/usr/bin/env bash
# Draws the hicolor PNG icons in data/icons/ from the logo the windows draw (a platter with its
# spindle and a head arm on a dark rounded square, on a 32 x 32 grid), with ImageMagick alone.
# The scalable icon data/icons/hicolor/scalable/apps/ormandel.svg holds the same figure. The PNGs
# and the Windows icon src/win32ui/ormandel.ico (the same pictures, made with icotool of
# icoutils) are committed; run this again only when the logo changes.
set -euo pipefail
cd "$(dirname "$0")/../data/icons/hicolor"

for n in 16 22 24 32 48 64 128 256; do
  # ImageMagick puts pixel centres on whole coordinates, the logo's grid on pixel edges: p() maps
  # a grid point to ImageMagick's coordinate at this size, d() a length; a rectangle's corners
  # name its first and last pixel.
  p() { awk -v v="$1" -v n="$n" 'BEGIN { printf "%.3f", v * n / 32 - 0.5 }'; }
  d() { awk -v v="$1" -v n="$n" 'BEGIN { printf "%.3f", v * n / 32 }'; }
  last() { awk -v v="$1" -v n="$n" 'BEGIN { printf "%.3f", v * n / 32 - 1 }'; }
  mkdir -p "${n}x${n}/apps"
  convert -size "${n}x${n}" xc:none \
    -fill '#283040' -draw "roundrectangle $(d 1),$(d 1) $(last 31),$(last 31) $(d 5),$(d 5)" \
    -fill '#c8ced8' -draw "circle $(p 15),$(p 16) $(p 26),$(p 16)" \
    -fill '#283040' -draw "circle $(p 15),$(p 16) $(p 17.5),$(p 16)" \
    -fill none -stroke '#dc2828' -strokewidth "$(d 2.5)" \
    -draw "stroke-linecap round line $(p 28),$(p 5) $(p 19),$(p 19)" \
    -define png:exclude-chunks=date,time -strip "PNG32:${n}x${n}/apps/ormandel.png"
done

# The Windows icon: 16 to 64 pixels as bitmaps, 256 as PNG, as Explorer reads them.
icotool -c -o ../../../src/win32ui/ormandel.ico {16,24,32,48,64}x*/apps/ormandel.png \
  -r 256x256/apps/ormandel.png

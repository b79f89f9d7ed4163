#!/bin/sh
# Renders the application icon kuronel.svg into the PNG sizes of the hicolor
# icon theme (icons/SIZExSIZE/apps/kuronel.png). The PNGs are kept in the
# repository, so the build needs no SVG renderer; run this again (make icons)
# after changing the SVG. Needs rsvg-convert (Debian package librsvg2-bin).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
for size in 16 32 48 64 128 256; do
  out="$here/icons/${size}x${size}/apps"
  mkdir -p "$out"
  rsvg-convert --width "$size" --height "$size" --format png \
    --output "$out/kuronel.png" "$here/kuronel.svg"
done

#!/usr/bin/env bash
# Draws Plotvane's own pictures with ImageMagick and writes them into ui/art/:
#   About_Picture.jpg      the 74 x 74 picture of the About box
#   plotvane-<N>.png       the application icon at 32 (window icon), 48, 128 and 256 pixels
#   plotvane.ico           those four in one file, the icon of the Windows program
# The generated files are committed; run this again only to change the art.
# Needs Debian's imagemagick (installed when missing).
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/packages.sh
plotvane_packages=(imagemagick)
install_missing_packages

art=ui/art
mkdir -p "$art"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Everything is drawn once on a 512 x 512 canvas and scaled down, so every size shows the same
# picture: a board of track tiles seen at an angle, one tile picked out in orange (the block
# being edited), and a weather vane standing on it.
draw_scene() {
  local background=$1 output=$2
  convert -size 512x512 "xc:$background" \
    -fill '#2f7d3b' -draw 'polygon 256,236 496,356 256,476 16,356' \
    -stroke '#1f5a29' -strokewidth 6 \
    -draw 'line 136,296 376,416' -draw 'line 196,266 436,386' -draw 'line 76,326 316,446' \
    -draw 'line 376,296 136,416' -draw 'line 316,266 76,386' -draw 'line 436,326 196,446' \
    -stroke none -fill '#5c6470' \
    -draw 'polygon 76,326 136,296 376,416 316,446' \
    -fill '#e8eaee' -draw 'polygon 100,328 124,316 352,430 328,442' \
    -fill '#f39c12' -draw 'polygon 256,296 316,326 256,356 196,326' \
    -fill '#c0c8d2' -draw 'rectangle 248,96 264,330' \
    -fill '#d6dde6' -draw 'ellipse 256,332 26,13 0,360' \
    -fill '#e74c3c' -draw 'polygon 256,70 276,100 236,100' \
    -fill '#ffffff' -draw 'polygon 120,150 360,150 360,132 430,166 360,200 360,182 120,182' \
    -fill '#ffffff' -draw 'polygon 80,124 150,150 150,182 80,208 110,166' \
    -fill '#1b2a3a' -draw 'ellipse 256,166 14,14 0,360' \
    "$output"
}

# The icon: the scene on a rounded square of evening sky, transparent outside it.
convert -size 512x512 xc:none -fill '#24507f' -draw 'roundrectangle 8,8 503,503 72,72' \
  "$work/tile.png"
draw_scene none "$work/scene.png"
convert "$work/tile.png" "$work/scene.png" -composite "$work/icon.png"
for size in 32 48 128 256; do
  convert "$work/icon.png" -filter Lanczos -resize "${size}x${size}" -strip \
    "PNG32:$art/plotvane-$size.png"
done
# The same sizes in one icon file, the Windows program's icon (a resource of plotvane.exe).
convert "$art"/plotvane-{256,128,48,32}.png "$art/plotvane.ico"

# The About picture: the same scene on a full square of sky, as a JPEG (it has no transparency).
draw_scene '#24507f' "$work/about.png"
convert "$work/about.png" -filter Lanczos -resize 74x74 -strip -sampling-factor 1x1 \
  -quality 92 "$art/About_Picture.jpg"

echo "Wrote $art/About_Picture.jpg, $art/plotvane-{32,48,128,256}.png and $art/plotvane.ico"

#!/usr/bin/env bash
# Rasterises the pictures in res/images/ into the files the program embeds and
# installs. The outputs are committed; run this again after changing an SVG.
# Needs rsvg-convert (librsvg2-bin), ImageMagick's convert and python3.
set -euo pipefail
cd "$(dirname "$0")/.."
img=res/images
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

svg2png() { rsvg-convert -w "$2" -h "$2" "$1" -o "$3"; }

svg2png $img/module.svg 32 $img/icon144.png
svg2png $img/connector.svg 32 $img/icon155.png

# A 24-bit BMP without alpha: the transparent control keys out exact white itself.
svg2png $img/module-pale.svg 32 "$tmp/pale.png"
convert "$tmp/pale.png" -background white -alpha remove -alpha off -type TrueColor \
    BMP3:$img/bitmap169.bmp

for size in 16 24 32 48 64 128 256; do
    svg2png $img/app.svg $size $img/app-$size.png
done

python3 $img/connecting.py "$tmp/frames"
for f in "$tmp"/frames/frame-*.svg; do
    rsvg-convert "$f" -o "${f%.svg}.png"
done
# Last frame lingers; the clip loops for ever.
convert -dispose Background -loop 0 -delay 18 "$tmp"/frames/frame-0[0-7].png \
    -delay 60 "$tmp"/frames/frame-08.png $img/connecting.gif

python3 - "$img/bitmap169.bmp" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
offset, = struct.unpack_from("<I", data, 10)
width, height, planes, bpp = struct.unpack_from("<iiHH", data, 18)
assert (width, abs(height), bpp) == (32, 32, 24), (width, height, bpp)
row = (width * 3 + 3) & ~3
pixels = [tuple(data[offset + y * row + x * 3: offset + y * row + x * 3 + 3])
          for y in range(32) for x in range(32)]
assert (254, 254, 254) in pixels, "bitmap 169 lost its near-white pixels"
assert pixels[0] == (255, 255, 255), "bitmap 169 needs a white background"
PY
echo "images written to $img"

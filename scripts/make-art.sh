#!/usr/bin/env bash
# Draws the program's icons from the ImageMagick descriptions below into
# res/art/. The generated files are committed; run this after changing a
# drawing. Needs ImageMagick (installed by scripts/setup.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../res/art"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A 32x32 icon: two computers joined by a line. $1 = output, $2 = line and
# screen colour, $3 = x of the packet travelling along the line.
draw_link() {
  local out=$1 colour=$2 extra=$3
  convert -size 32x32 xc:none \
    -fill '#c0c0c0' -stroke black -strokewidth 1 \
    -draw 'rectangle 1,6 12,15' -draw 'rectangle 19,6 30,15' \
    -fill "$colour" -stroke none -draw 'rectangle 3,8 10,13' -draw 'rectangle 21,8 28,13' \
    -fill '#808080' -stroke black -draw 'rectangle 3,17 10,19' -draw 'rectangle 21,17 28,19' \
    -stroke "$colour" -strokewidth 2 -draw 'line 6,20 6,26' -draw 'line 25,20 25,26' -draw 'line 6,26 25,26' \
    -fill '#ffff00' -stroke black -strokewidth 1 -draw "rectangle $((extra-2)),24 $((extra+2)),28" \
    "$tmp/$out.png"
  python3 "$here/ico4.py" "$tmp/$out.png" "$out"
}

# Idle: grey screens, the line cut in the middle.
convert -size 32x32 xc:none \
  -fill '#c0c0c0' -stroke black -strokewidth 1 \
  -draw 'rectangle 1,6 12,15' -draw 'rectangle 19,6 30,15' \
  -fill '#404040' -stroke none -draw 'rectangle 3,8 10,13' -draw 'rectangle 21,8 28,13' \
  -fill '#808080' -stroke black -draw 'rectangle 3,17 10,19' -draw 'rectangle 21,17 28,19' \
  -stroke '#808080' -strokewidth 2 -draw 'line 6,20 6,26' -draw 'line 25,20 25,26' \
  -draw 'line 6,26 12,26' -draw 'line 19,26 25,26' \
  -stroke '#c00000' -strokewidth 2 -draw 'line 13,22 18,29' -draw 'line 18,22 13,29' \
  "$tmp/idle.png"
python3 "$here/ico4.py" "$tmp/idle.png" idle.ico

# Online: green screens and line, a yellow packet travelling along the line.
i=1
for x in 8 13 18 23; do
  draw_link "online$i.ico" '#00c000' "$x"
  i=$((i+1))
done
echo "art: icons written to res/art"

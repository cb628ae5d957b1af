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
# Reminder prompt: an alarm clock.
convert -size 32x32 xc:none \
  -fill '#ffff00' -stroke black -strokewidth 1 -draw 'circle 6,6 6,2' -draw 'circle 25,6 25,2' \
  -fill white -stroke black -strokewidth 2 -draw 'circle 16,17 16,5' \
  -stroke '#000080' -strokewidth 2 -draw 'line 16,17 16,9' -draw 'line 16,17 22,20' \
  -stroke black -strokewidth 2 -draw 'line 9,27 6,30' -draw 'line 23,27 26,30' \
  "$tmp/remind.png"
python3 "$here/ico4.py" "$tmp/remind.png" remind.ico

# Auto-disconnect prompt: a plug pulled out of its socket, with a red arrow.
convert -size 32x32 xc:none \
  -fill '#808080' -stroke black -strokewidth 1 -draw 'rectangle 1,10 9,22' \
  -fill black -draw 'rectangle 9,13 11,14' -draw 'rectangle 9,18 11,19' \
  -fill '#c0c0c0' -stroke black -draw 'rectangle 18,11 26,21' \
  -stroke black -strokewidth 1 -draw 'line 14,13 18,13' -draw 'line 14,19 18,19' \
  -stroke '#00c000' -strokewidth 3 -draw 'line 26,16 31,16' \
  -stroke '#ff0000' -strokewidth 2 -fill '#ff0000' -draw 'line 14,4 26,4' -draw 'polygon 27,4 23,1 23,7' \
  -draw 'line 14,28 26,28' -draw 'polygon 27,28 23,25 23,31' \
  "$tmp/ask.png"
python3 "$here/ico4.py" "$tmp/ask.png" ask.ico


# About box logo: 70 x 210, 256-colour palette, the key colour RGB(244, 51, 239)
# as background so that it takes the button face. Flat colours only, so the
# palette keeps every colour exactly.
convert -size 70x210 xc:'#f433ef' +antialias \
  -fill '#000080' -draw 'roundrectangle 8,8 61,201 8,8' \
  -fill '#0000ff' -draw 'roundrectangle 12,12 57,197 6,6' \
  -fill '#c0c0c0' -stroke black -strokewidth 1 -draw 'rectangle 17,20 52,44' -draw 'rectangle 17,166 52,190' \
  -fill '#00ff00' -stroke none -draw 'rectangle 20,23 49,41' -draw 'rectangle 20,169 49,187' \
  -stroke '#ffff00' -strokewidth 3 -draw 'line 34,48 34,162' \
  -fill '#ffff00' -stroke black -strokewidth 1 -draw 'rectangle 29,70 39,80' -draw 'rectangle 29,100 39,110' \
  -draw 'rectangle 29,130 39,140' \
  -fill white -stroke none -draw 'rectangle 23,28 27,36' -draw 'rectangle 42,174 46,182' \
  "$tmp/logo.png"
python3 "$here/bmp8.py" "$tmp/logo.png" logo.bmp
echo "art: icons and logo written to res/art"

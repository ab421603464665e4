#!/usr/bin/env bash
# Draws Ombrix's own start picture, window icon and the 16 action icons (16 x 16) with
# ImageMagick. The PNGs are checked in; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
mkdir -p icons
FONT=DejaVu-Sans-Bold

# Start picture: a piece of the complex plane with the unit circle and a spiral of
# powers of a complex number, the name and what it is for, on white.
points=$(awk 'BEGIN {
  re = 0.25; im = 0; a = cos(0.2); b = sin(0.2)
  for (n = 0; n <= 80; n++) {
    x = 200 + 62 * re; y = 165 - 62 * im
    if (n % 2 == 0) printf " circle %.1f,%.1f %.1f,%.1f", x, y, x + 2.4, y
    t = re * a - im * b; im = (re * b + im * a) * 1.028; re = t * 1.028
  }
}')
convert -size 400x400 xc:white \
  -stroke '#9bb7e0' -strokewidth 1 -draw "line 40,165 360,165" -draw "line 200,20 200,305" \
  -fill none -stroke '#1f4e9c' -strokewidth 2 -draw "circle 200,165 262,165" \
  -stroke none -fill '#d9822b' -draw "$points" \
  -fill '#1f4e9c' -font "$FONT" -pointsize 46 -gravity north -annotate +0+300 'Ombrix' \
  -fill '#555555' -font DejaVu-Sans -pointsize 15 -annotate +0+356 'Rechnen und Zeichnen mit komplexen Zahlen' \
  -type TrueColor start.png

# Window icon: the spiral's circle and a point on it.
convert -size 32x32 xc:none -fill white -stroke '#1f4e9c' -strokewidth 2 -draw "circle 16,16 16,3" \
  -stroke '#9bb7e0' -strokewidth 1 -draw "line 2,16 30,16" -draw "line 16,2 16,30" \
  -stroke none -fill '#d9822b' -draw "circle 25,9 27,9" ombrix.png

icon() { convert -size 16x16 xc:none "$@"; }
page="fill white stroke #555555 polygon 3,1 10,1 13,4 13,14 3,14"
floppy="fill #3d6fb6 stroke #1f3f70 rectangle 1,1 14,14"
floppy_label="fill white stroke none rectangle 4,2 11,6"
floppy_slot="fill #c8c8c8 stroke none rectangle 4,9 11,14"
folder="fill #e8c04a stroke #8a6d10 polygon 1,4 6,4 7,5 14,5 14,13 1,13"
picture="fill #bfe3ff stroke #1f4e9c rectangle 6,6 15,15"
hill="fill #3c9a3c stroke none polygon 7,14 10,10 12,12 14,14"

icon -draw "$page" -stroke '#d9822b' -draw "line 9,4 12,4" icons/00.png              # new
icon -draw "$folder" -fill '#f5dc8a' -stroke '#8a6d10' -draw "polygon 3,7 15,7 13,13 1,13" icons/01.png  # open
icon -draw "$floppy" -draw "$floppy_label" -draw "$floppy_slot" icons/02.png          # save
icon -draw "$floppy" -draw "$floppy_label" -draw "$floppy_slot" \
  -fill '#d9822b' -stroke '#7a4410' -draw "polygon 9,13 14,8 15,9 10,14" icons/03.png # save as
icon -fill '#c0392b' -stroke '#7a1d14' -draw "rectangle 1,1 8,14" \
  -fill '#2e9a3a' -stroke '#17601f' -draw "polygon 9,5 12,5 12,2 15,8 12,14 12,11 9,11" icons/04.png  # quit
icon -draw "$folder" -draw "$picture" -draw "$hill" icons/05.png                      # open picture
icon -draw "$floppy" -draw "$floppy_label" -draw "$picture" -draw "$hill" icons/06.png  # save picture
icon -draw "$page" -stroke '#1f4e9c' -draw "line 5,5 11,5" -draw "line 7,8 11,8" -draw "line 7,11 11,11" icons/07.png  # main program
icon -fill '#e8e8e8' -stroke '#555555' -draw "roundrectangle 4,1 11,14 3,3" -draw "line 4,6 11,6" -draw "line 7,1 7,6" \
  -fill '#d9822b' -stroke none -draw "rectangle 4,2 7,6" icons/08.png                 # mouse program
icon -fill '#1f4e9c' -font DejaVu-Sans-Bold-Oblique -pointsize 14 -gravity center -annotate +0+0 'x' icons/09.png  # variables
icon -fill '#1f4e9c' -font DejaVu-Serif-Bold-Italic -pointsize 14 -gravity center -annotate +0+0 'f' icons/10.png  # functions
icon -fill '#2e9a3a' -stroke '#17601f' -draw "polygon 4,2 13,8 4,14" icons/11.png     # start
icon -fill '#c0392b' -stroke '#7a1d14' -draw "rectangle 3,3 12,12" icons/12.png       # abort
printer="fill #e8e8e8 stroke #555555 rectangle 1,6 14,12"
icon -draw "$printer" -fill white -stroke '#555555' -draw "rectangle 4,1 11,6" -draw "rectangle 4,10 11,15" \
  -stroke '#1f4e9c' -draw "line 6,12 9,12" icons/13.png                                 # print picture
icon -fill white -stroke '#555555' -draw "rectangle 1,1 9,11" -draw "$picture" -draw "$hill" icons/14.png  # copy picture
icon -draw "$picture" -draw "$hill" -fill '#d9822b' -stroke '#7a4410' \
  -draw "polygon 1,4 6,4 6,1 11,6 6,11 6,8 1,8" icons/15.png                            # export picture

#!/usr/bin/env bash
# Draws the program's icon with ImageMagick: a page cut in two at a red chapter heading, with
# a knife blade in the cut. Writes folioknife-16.png, -32.png, -48.png, -128.png and -256.png
# (RGBA; the Linux menus take them all from the hicolor theme) and folioknife.ico holding
# the three small sizes at 32 bits per pixel for the Windows build.
# The artwork is drawn on a 256-pixel master and scaled down, except the 16-pixel image,
# which is drawn on its own grid: scaled down, its thin lines turn to mud.
#   assets/make-icons.sh            (run from anywhere; writes next to this script)
set -euo pipefail
cd "$(dirname "$0")"
command -v convert >/dev/null || { echo "make-icons.sh: ImageMagick's convert is needed" >&2; exit 1; }

ink='#23406e'      # page outlines and the knife's handle
paper='#fdfdf8'
text='#8d99ab'     # body lines
heading='#c8282c'  # the chapter heading at which the page is cut
steel='#cfd6df'

# master SIZE: the artwork on a 256 grid, written to master.png at SIZE pixels.
master() {
    convert -size 256x256 xc:none \
        -stroke "$ink" -strokewidth 10 -fill "$paper" \
        -draw "roundrectangle 8,74 108,242 10,10" \
        -draw "roundrectangle 148,22 248,190 10,10" \
        -stroke "$heading" -strokewidth 16 -draw "line 30,108 86,108" -draw "line 170,56 226,56" \
        -stroke "$text" -strokewidth 12 \
        -draw "line 30,140 88,140" -draw "line 30,170 88,170" -draw "line 30,200 66,200" \
        -draw "line 170,88 228,88" -draw "line 170,118 228,118" -draw "line 170,148 228,148" \
        -stroke "$ink" -strokewidth 8 -fill "$steel" \
        -draw "polygon 114,52 142,52 142,206 116,250" \
        -stroke none -fill "$ink" \
        -draw "roundrectangle 110,2 146,58 8,8" \
        -resize "$1x$1" "PNG32:$2"
}

# The 16-pixel image, pixel for pixel: two half pages offset along the cut, a red heading
# line on each, grey body lines, the blade in the gap.
small() {
    convert -size 16x16 xc:none \
        -stroke none -fill "$ink" -draw "rectangle 1,4 7,15" -draw "rectangle 9,1 15,12" \
        -fill "$paper" -draw "rectangle 2,5 6,14" -draw "rectangle 10,2 14,11" \
        -fill "$heading" -draw "rectangle 3,6 5,6" -draw "rectangle 11,3 13,3" \
        -fill "$text" -draw "rectangle 3,8 5,8" -draw "rectangle 3,10 5,10" -draw "rectangle 3,12 4,12" \
        -draw "rectangle 11,5 13,5" -draw "rectangle 11,7 13,7" -draw "rectangle 11,9 12,9" \
        -fill "$ink" -draw "rectangle 7,0 9,1" \
        -fill "$steel" -draw "rectangle 8,2 8,13" \
        "PNG32:$1"
}

master 256 folioknife-256.png
master 128 folioknife-128.png
master 48 folioknife-48.png
master 32 folioknife-32.png
small folioknife-16.png
# ICO entries inherit the PNGs' RGBA: 32 bits per pixel, stored as bitmaps, not PNG.
convert folioknife-16.png folioknife-32.png folioknife-48.png \
    folioknife.ico

#!/usr/bin/env bash
# Draws the pictures of the main and splash windows with ImageMagick. Run once; the results are committed,
# so the build never needs ImageMagick.
set -euo pipefail
cd "$(dirname "$0")"
font=DejaVu-Sans-Bold

# Banner at the top of the left panel.
convert -size 176x68 gradient:'#0b2545'-'#13315c' \
    \( -size 300x180 radial-gradient:'#2d5f8e'-'#000000' -crop 176x68+124+56 +repage \) -compose screen -composite \
    -fill none -stroke '#8da9c4' -strokewidth 1 -draw "circle 148,34 148,6" -draw "ellipse 148,34 12,28 0,360" \
    -draw "line 120,34 176,34" -draw "line 124,20 172,20" -draw "line 124,48 172,48" \
    -stroke none -fill white -font "$font" -pointsize 30 -annotate +10+40 'Vesk' \
    -fill '#eef4ed' -font DejaVu-Sans -pointsize 10 -annotate +12+58 'WHOIS In Details' \
    -quality 90 banner.jpg

# Background of the rest of the left panel, stretched to fit.
convert -size 176x426 gradient:'#13315c'-'#0b2545' \
    \( -size 176x426 xc:none -fill none -stroke '#1f4b7a' -strokewidth 1 \
       -draw "circle 176,426 176,250" -draw "circle 176,426 176,300" -draw "circle 176,426 176,350" \) \
    -compose over -composite -quality 90 background.jpg

# Side picture of the splash window.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
convert -background none -fill white -font "$font" -pointsize 34 label:'Vesk' -rotate 90 "$tmp/word.png"
convert -size 80x320 gradient:'#0b2545'-'#3e7cb1' \
    -fill none -stroke '#8da9c4' -strokewidth 1 -draw "circle 40,270 40,240" -draw "ellipse 40,270 12,30 0,360" \
    -draw "line 10,270 70,270" \
    "$tmp/word.png" -gravity north -geometry +0+24 -composite -quality 90 splash-side.jpg

# The picture of the splash window: a globe under a magnifying glass, on a transparent ground.
convert -size 181x174 xc:none \
    -fill '#3e7cb1' -stroke '#13315c' -strokewidth 3 -draw "circle 78,78 78,12" \
    -fill none -stroke '#eef4ed' -strokewidth 2 -draw "ellipse 78,78 28,66 0,360" -draw "ellipse 78,78 66,26 0,360" \
    -draw "line 12,78 144,78" -draw "line 78,12 78,144" \
    -stroke '#0b2545' -strokewidth 14 -draw "line 130,128 170,166" \
    -fill none -stroke '#0b2545' -strokewidth 8 -draw "circle 112,110 112,80" \
    -depth 8 splash.png

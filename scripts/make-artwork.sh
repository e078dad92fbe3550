#!/usr/bin/env bash
# Draws the two pictures of the main window with ImageMagick and writes them under src/App/art/:
#   fixture.png  300 x 310  a stylised LED fixture on its yoke (transparent background)
#   logo.bmp     199 x 50   the ZYL word mark
# and the program's icon, the fixture on a rounded dark-blue square:
#   packaging/linux/zylvek-rdm.png    256 x 256, for Linux desktops
#   packaging/windows/ZYLVEK_RDM.ico  the same in 256, 64, 48, 32, 24 and 16 pixels, for the
#                                     executable, the installer and the Start menu
# and the picture at the side of the installer's first and last page:
#   packaging/windows/installer-side.bmp  164 x 314  the word mark over the fixture, dark blue
# The results are committed; run this again only to change the artwork.
set -euo pipefail
cd "$(dirname "$0")/../src/App/art"

# The lenses of the head: a 4 x 4 field of amber emitters with a highlight each.
lenses=()
for row in 0 1 2 3; do
  for col in 0 1 2 3; do
    x=$((88 + col * 41)); y=$((64 + row * 41))
    lenses+=(-fill '#0d0f12' -stroke '#7c8591' -strokewidth 2 -draw "circle $x,$y $((x + 16)),$y")
    lenses+=(-fill '#f3b34a' -stroke none -draw "circle $x,$y $((x + 10)),$y")
    lenses+=(-fill '#fff4d6' -draw "circle $((x - 3)),$((y - 3)) $((x + 1)),$((y - 3))")
  done
done

convert -size 300x310 xc:none \
  -fill '#3a3f47' -stroke '#1c1f24' -strokewidth 2 \
  -draw 'roundrectangle 70,262 230,296 10,10' \
  -draw 'rectangle 136,236 164,264' \
  -draw 'roundrectangle 28,50 52,236 8,8' \
  -draw 'roundrectangle 248,50 272,236 8,8' \
  -draw 'rectangle 28,224 272,240' \
  -fill '#4b525c' -draw 'circle 40,140 40,128' -draw 'circle 260,140 260,128' \
  -fill '#2a2e34' -stroke '#15171a' -strokewidth 3 \
  -draw 'roundrectangle 56,30 244,222 14,14' \
  -fill '#1a1d21' -stroke '#565d68' -strokewidth 2 \
  -draw 'roundrectangle 68,42 232,210 8,8' \
  "${lenses[@]}" \
  -fill '#c9ced6' -stroke none -font DejaVu-Sans-Bold -pointsize 13 \
  -draw "text 122,288 'VEK-340'" \
  -roll +0-12 -strip PNG32:fixture.png

# The word mark: "ZYL" on a dark blue field with an amber bar.
convert -size 199x50 xc:'#14284b' \
  -fill '#f3a21c' -draw 'rectangle 0,40 198,49' \
  -fill white -font DejaVu-Sans-Bold -pointsize 34 -gravity west \
  -draw "text 10,-4 'ZYL'" \
  -fill '#9fb4d8' -font DejaVu-Sans-Bold -pointsize 11 \
  -draw "text 92,-4 'LIGHTING'" \
  -type TrueColor BMP3:logo.bmp


# The icon: the fixture, shrunk, on the word mark's dark blue.
convert -size 256x256 xc:none \
  -fill '#14284b' -draw 'roundrectangle 4,4 251,251 36,36' \
  \( fixture.png -resize 212x212 \) -gravity center -geometry +0+4 -composite \
  -strip PNG32:../../../packaging/linux/zylvek-rdm.png

# Windows picks the size it shows from one .ico; each size is shrunk from the same picture.
convert ../../../packaging/linux/zylvek-rdm.png -define icon:auto-resize=256,64,48,32,24,16 \
  ../../../packaging/windows/ZYLVEK_RDM.ico

# The installer's side picture: a 24-bit BMP, as the installer's pages take it.
convert -size 164x314 xc:'#14284b' \
  \( logo.bmp -resize 148x \) -gravity north -geometry +0+14 -composite \
  \( fixture.png -resize 148x \) -gravity south -geometry +0+18 -composite \
  -type TrueColor BMP3:../../../packaging/windows/installer-side.bmp

identify fixture.png logo.bmp ../../../packaging/linux/zylvek-rdm.png ../../../packaging/windows/ZYLVEK_RDM.ico \
  ../../../packaging/windows/installer-side.bmp

#!/usr/bin/env bash
# Runs the saver full screen under Wine on generated sample pictures.
#
# On a fresh Debian 12 machine: installs what is missing, builds the win64 product, draws
# sample pictures into build/win64/samples, points the saver's registry values at the dist
# folder and the samples, runs "kelvsaver.scr /s" on the current DISPLAY (or on a private
# Xvfb display when there is none), saves screenshots to out/ over about 20 seconds, ends
# the saver with a key press, then opens the settings dialog ("/c") and saves a screenshot
# of each of its pages to out/ (demo-settings-*.png), and stops what it started.
#
# The saver shows what the current build can show.
#
# Environment (for development): KELV_DEMO_BUILD=<build folder> uses an existing build
# folder as it is (nothing installed or built); KELV_DEMO_SECONDS sets the run time.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

if [ -n "${KELV_DEMO_BUILD:-}" ]; then
  build=$(realpath "$KELV_DEMO_BUILD")
else
  bash scripts/install-deps.sh
  bash scripts/build.sh win64
  build="$top/build/win64"
fi
[ -f "$build/dist/kelvsaver.scr" ] || { echo "no kelvsaver.scr in $build/dist" >&2; exit 1; }

# ---- sample pictures ---------------------------------------------------------------
samples="$build/samples"
mkdir -p "$samples"
# The font file the tests draw with too (tests/wine/pictures.py; scripts/install-deps.sh
# installs its package): ImageMagick's default font is not installed.
font=$(python3 tests/wine/pictures.py font)
font_args=(-font "$font")

# sample <file> <width> <height> <colour from> <colour to> <shape> <number>
# A diagonal gradient with a glow, a translucent shape and a big outlined number.
sample() {
  local file=$1 w=$2 h=$3 from=$4 to=$5 shape=$6 number=$7
  local m=$(( w < h ? w : h )) cx=$(( w / 2 )) cy=$(( h / 2 ))
  local r=$(( m * 2 / 5 )) draw
  case "$shape" in
    circle)   draw="circle $cx,$cy $cx,$(( cy - r ))" ;;
    square)   draw="rectangle $(( cx - r )),$(( cy - r )) $(( cx + r )),$(( cy + r ))" ;;
    triangle) draw="polygon $cx,$(( cy - r )) $(( cx + r )),$(( cy + r * 3 / 4 )) $(( cx - r )),$(( cy + r * 3 / 4 ))" ;;
    diamond)  draw="polygon $cx,$(( cy - r )) $(( cx + r )),$cy $cx,$(( cy + r )) $(( cx - r )),$cy" ;;
    ellipse)  draw="ellipse $cx,$cy $(( w * 2 / 5 )),$(( h * 2 / 5 )) 0,360" ;;
  esac
  [ -f "$samples/$file" ] && return 0
  local target="$samples/$file"
  case "$file" in *.bmp) target="BMP3:$target" ;; esac   # uncompressed 24-bit
  convert -size "${h}x${w}" gradient:"$from"-"$to" -rotate 90 -resize "${w}x${h}!" \
    \( -size "${w}x${h}" radial-gradient:'#ffffff70'-'#00000000' \) -composite \
    -fill '#ffffff50' -stroke white -strokewidth $(( m / 120 + 2 )) -draw "$draw" \
    "${font_args[@]}" -pointsize $(( m * 11 / 20 )) -gravity center \
    -fill white -stroke black -strokewidth $(( m / 100 + 2 )) -annotate +0+0 "$number" \
    -quality 90 "$target"
}

echo "== drawing sample pictures in $samples"
sample 01-landscape.jpg   1600 1200 '#ff3030' '#3030ff' circle   1
sample 02-portrait.jpg    1200 1600 '#ffb000' '#00a060' square   2
sample 03-wide.jpg        2400  800 '#00c0ff' '#8000ff' ellipse  3
sample 04-large.jpg       4000 3000 '#ff0080' '#ffe000' triangle 4
sample 05-small.jpg        320  240 '#20ff20' '#004080' diamond  5
sample 06-square.jpg      1000 1000 '#ff6000' '#600080' circle   6
sample 07-tall.jpg         600 1800 '#00ffc0' '#ff0040' diamond  7
sample 08-hd.jpg          1920 1080 '#4060ff' '#ff80c0' square   8
sample 09-phone.jpg       1080 1920 '#c0ff00' '#0040ff' triangle 9
sample 10-classic.jpg     1024  768 '#ff2020' '#ffff40' ellipse  10
sample 11-photo.jpg       3000 2000 '#8000ff' '#00ffff' circle   11
sample 12-tiny.jpg         160  120 '#ffffff' '#ff0000' square   12
sample 13-bitmap.bmp       800  600 '#00ff80' '#ff00ff' triangle 13
sample 14-lossless.png    1280  960 '#ffd000' '#d00000' diamond  14
sample 15-palette.gif      640  480 '#0080ff' '#80ff00' ellipse  15

# ---- run under Wine ----------------------------------------------------------------
mkdir -p out
echo "== running kelvsaver.scr /s, then /c (screenshots in out/)"
KELV_BUILD="$build" PYTHONDONTWRITEBYTECODE=1 python3 tests/wine/demo_run.py \
  --samples "$samples" --out "$top/out" --seconds "${KELV_DEMO_SECONDS:-20}"

#!/usr/bin/env bash
# The drovine command line: every bad argument is refused before any work
# with its value and the reason and exit status 2, no file or directory is
# made for it, and the commands that work write real pictures.
set -uo pipefail
drovine=$1 header=$2 data=$3
py=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail=0

# A small base and layer picture for composite.
$py - <<'PY'
from PIL import Image
Image.new("RGBA", (8, 6), (200, 100, 50, 255)).save("base.png")
Image.new("RGBA", (8, 6), (128, 128, 128, 255)).save("layer.png")
PY
printf '0 10 10 0.5\n0.01 40 20 0.8\n0.02 60 30 0\n' > rec.dat

# exit status | message part | arguments ...
refused() {
  local want=$1 text=$2; shift 2
  local err
  err=$("$drovine" "$@" 2>&1 >/dev/null)
  local got=$?
  if [ "$got" != "$want" ] || [[ "$err" != *"$text"* ]]; then
    echo "FAIL: drovine $* -> exit $got, '$err' (wanted $want and '$text')"; fail=1
  fi
}
refused 2 "unknown command 'paint'" paint
refused 2 "unknown option '--colour'" demo --colour red
refused 2 "--width 'wide' is not a whole number" --width wide
refused 2 "--width 20000 outside 16..10000" --width=20000
refused 2 "--height -3 outside 16..10000" demo --height -3
refused 2 "--brush 99999999999 outside 150..4096" --brush 99999999999
refused 2 "option --output needs a value" --output
refused 2 "the output path is empty" --output ""
refused 2 "unknown extension '.jpeg'" --output picture.jpeg
refused 2 "'picture': no extension" --output picture
refused 2 "the directory 'missing/dir' does not exist" --output missing/dir/x.png
mkdir d.png
refused 2 "it is a directory" --output d.png
refused 2 "unexpected argument 'extra'" demo extra
refused 2 "missing argument" replay
refused 2 "cannot read the recording 'nothing.dat'" replay nothing.dat -o out.png
refused 2 "no events in 'base.png'" replay base.png -o out.png
refused 2 "--brush 'pencil' unknown" replay rec.dat --brush pencil -o out.png
refused 2 "--color 'red' is not a colour" replay rec.dat --color red -o out.png
refused 2 "--size 0 outside 1..256" replay rec.dat --size 0 -o out.png
refused 2 "give the picture's file with --output" replay rec.dat
refused 2 "--mode 'Nromal' is no blend mode" composite base.png layer.png --mode Nromal -o x.png
refused 2 "--opacity 101 outside 0..100" composite base.png layer.png --opacity 101 -o x.png
refused 2 "cannot read the layer 'rec.dat' as a picture" composite base.png rec.dat -o x.png
refused 2 "cannot list 'colours'" list colours
refused 2 "unknown extension '.webp'" effect Blur base.png out.webp
refused 2 "--p1 99999 outside 0..1000" effect "Gaussian Blur" --p1=99999 base.png x.png
refused 2 "\"Blur\" takes no --p5" effect Blur --p5 3 base.png x.png
refused 2 "unknown extension '.xyz'" replay rec.dat -o out.xyz
refused 2 "unknown extension '.ppm'" convert base.png out.ppm
refused 2 "cannot write 'out.mp4': give a file ending in .avi" record rec.dat out.mp4
refused 2 "--every 0 outside 1..1000000" record rec.dat out.avi --every 0
refused 2 "cannot write 'missing/x.pdf': the directory" record rec.dat out.avi --pdf missing/x.pdf
refused 2 "unknown option '--bogus'" record rec.dat out.avi --bogus 3
refused 2 "give the events file and the AVI file" record rec.dat
refused 2 "unexpected argument '--bogus'" effects --bogus
# A path no one may create is refused before the work, and a refused run
# leaves a picture already there as it was.
refused 2 "cannot write '/proc/x.png'" --output /proc/x.png
cp base.png keep.png
refused 2 "--opacity 101 outside 0..100" composite base.png layer.png --opacity 101 -o keep.png
refused 2 "cannot read the layer 'rec.dat'" composite base.png rec.dat -o keep.png
cmp -s base.png keep.png || { echo "FAIL: a refused run changed the existing output"; fail=1; }
rm keep.png
refused 2 "cannot read the picture 'none.png'" effect Blur none.png out.png
refused 2 "option --help takes no value" info --help=yes
refused 2 "usage: drovine info FILE" info base.png layer.png
if ls | grep -qv -e '^d.png$' -e '^base.png$' -e '^layer.png$' -e '^rec.dat$'; then
  echo "FAIL: refused commands left files: $(ls)"; fail=1
fi

# What works.
version=$(sed -nE 's/^#define DROVINE_VERSION_(MAJOR|MINOR|PATCH) ([0-9]+)$/\2/p' "$header" | paste -sd.)
[ "$("$drovine" --version)" = "drovine $version (library $version)" ] || { echo "FAIL: --version"; fail=1; }
"$drovine" info | grep -q "^fast paths: " || { echo "FAIL: info"; fail=1; }
"$drovine" info base.png | grep -q "8 x 6 pixels" || { echo "FAIL: info FILE"; fail=1; }
[ "$("$drovine" list blend-modes | wc -l)" = 40 ] || { echo "FAIL: list blend-modes"; fail=1; }
"$drovine" list blend-modes | grep -qx "Multiply" || { echo "FAIL: Multiply not listed"; fail=1; }

"$drovine" composite base.png layer.png --mode=Multiply --opacity 100 --output mul.png || fail=1
"$drovine" composite base.png layer.png --mode Normal --opacity 0 -o - > zero.png || fail=1
"$drovine" replay rec.dat --width 80 --height 50 --color ff0000 -o - > replay.png 2>/dev/null || fail=1
[ ! -e ./- ] || { echo "FAIL: '-' made a file named -"; fail=1; }
$py - <<'PY' || fail=1
from PIL import Image
mul = Image.open("mul.png").convert("RGBA").getpixel((3, 3))
zero = Image.open("zero.png").convert("RGBA").getpixel((3, 3))
rep = Image.open("replay.png").convert("RGB")
assert rep.size == (80, 50), rep.size
# Multiply darkens the base by the grey; opacity 0 leaves the base (within
# the one level the 16-bit composite may round away).
assert mul[0] < 190 and mul[1] < 95 and mul[3] == 255, mul
assert all(abs(a - b) <= 1 for a, b in zip(zero, (200, 100, 50, 255))), zero
# The stroke is red on white paper.
assert rep.getpixel((25, 15))[0] > 200 and rep.getpixel((25, 15))[1] < 120, rep.getpixel((25, 15))
assert rep.getpixel((75, 45)) == (255, 255, 255), rep.getpixel((75, 45))
PY
# Every output takes its format from the extension, as another program reads
# it: the size, and for the opacity-0 composite the base's colour.
"$drovine" demo --width 64 --height 48 -o demo.TGA >/dev/null || fail=1
"$drovine" replay rec.dat --width 80 --height 50 -o replay.jpg >/dev/null || fail=1
"$drovine" composite base.png layer.png --opacity 0 -o zero.bmp || fail=1
"$drovine" effect Blur base.png blur.tif || fail=1
for want in "demo.TGA TGA 64x48" "replay.jpg JPEG 80x50" "zero.bmp BMP 8x6" "blur.tif TIFF 8x6"; do
  set -- $want
  got=$(identify -format '%m %wx%h' "$1" 2>&1)
  case "$got" in "$2"*" $3") ;; *) echo "FAIL: $1 reads as '$got', wanted $2 $3"; fail=1 ;; esac
done
pixel=$(bmptopnm zero.bmp 2>/dev/null | pnmcut 3 3 1 1 | pnmtoplainpnm | tail -n +4 | xargs)
echo "$pixel" | awk '{ d = ($1-200)^2 + ($2-100)^2 + ($3-50)^2; exit !(NF == 3 && d <= 3) }' ||
  { echo "FAIL: zero.bmp pixel '$pixel', wanted 200 100 50"; fail=1; }
[ $fail -eq 0 ] && echo "drovine command line: all checks passed"
exit $fail

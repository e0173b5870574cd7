#!/usr/bin/env bash
# The drovine host's file commands on pictures made and read by netpbm:
#   file_commands.sh <drovine>
set -euo pipefail
drovine=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# A 3 x 2 picture, converted TIFF -> PNG -> BMP and compared each time.
printf 'P6\n3 2\n255\n' >"$dir/in.ppm"
printf '\x10\x20\x30\xff\x00\x00\x00\xff\x00\x00\x00\xff\x80\x80\x80\x01\x02\x03' >>"$dir/in.ppm"
pnmtotiff "$dir/in.ppm" >"$dir/in.tif" 2>/dev/null
"$drovine" convert "$dir/in.tif" "$dir/out.png"
cmp <(pngtopnm "$dir/out.png") "$dir/in.ppm"
"$drovine" convert "$dir/out.png" "$dir/out.BMP"
cmp <(bmptopnm "$dir/out.BMP" 2>/dev/null) "$dir/in.ppm"

info=$("$drovine" info "$dir/out.png")
[[ $info == *": 3 x 2 pixels, 72 dpi" ]] || { echo "info said: $info"; exit 1; }

# An unknown extension writes nothing; an unreadable input fails.
if "$drovine" convert "$dir/in.tif" "$dir/out.xyz" 2>/dev/null; then exit 1; fi
[ ! -e "$dir/out.xyz" ]
if "$drovine" convert "$dir/missing.tif" "$dir/x.png" 2>/dev/null; then exit 1; fi
if "$drovine" info "$dir/in.ppm" 2>/dev/null; then exit 1; fi
echo "file commands: ok"

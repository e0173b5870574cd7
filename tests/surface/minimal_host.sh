#!/usr/bin/env bash
# The host guide's first program paints on the first try: it runs, and its
# picture shows the stroke's red on the white background.
set -uo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$program" "$work/stroke.png" || { echo "FAIL: minimal-host exited $?"; exit 1; }
/usr/bin/python3 - "$work/stroke.png" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGB")
assert im.size == (320, 200), im.size
red = sum(1 for p in im.getdata() if p[0] > 150 and p[1] < 100 and p[2] < 120)
assert im.getpixel((5, 5)) == (255, 255, 255), im.getpixel((5, 5))
assert red > 2000, f"only {red} red pixels"
print(f"minimal-host painted {red} red pixels")
PY

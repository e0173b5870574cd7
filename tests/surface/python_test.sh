#!/usr/bin/env bash
# The Python bindings as a new user meets them: `pip install ./python`
# (offline: the package builds itself), the README's five-line script
# renders a stroke to PNG, then the pytest suite over the built library.
# Debian's interpreter, which bootstrap gives pytest and numpy.
set -uo pipefail
library=$1 source=$2
py=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export DROVINE_LIBRARY=$library
$py -m pip install --quiet --no-deps --no-index --target "$work/site" "$source/python" \
  2>&1 | grep -v "Running pip as the 'root' user" \
  || true
[ -f "$work/site/drovine/__init__.py" ] || { echo "FAIL: pip install ./python"; exit 1; }
cd "$work" || exit 1
PYTHONPATH=$work/site $py - <<'PY' || { echo "FAIL: the five-line script"; exit 1; }
import drovine
with drovine.Canvas(320, 200) as canvas:
    canvas.brush(size=30, color=(200, 40, 60))
    canvas.stroke([(30, 150, 0.4), (160, 50, 1.0), (290, 150, 0.4)])
    canvas.save_png("stroke.png")
from PIL import Image
im = Image.open("stroke.png").convert("RGB")
assert im.size == (320, 200) and im.getpixel((160, 52))[0] > 180 and im.getpixel((160, 52))[1] < 90, im.getpixel((160, 52))
print("pip install ./python and the five-line script: passed")
PY
exec $py -m pytest -q -p no:cacheprovider "$source/python/tests"

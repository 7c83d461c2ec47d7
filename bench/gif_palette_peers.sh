#!/usr/bin/env bash
# tgl render's GIF palettes beside Pillow's quantizers (median cut, octree,
# maximum coverage; no dithering) on the same frame, a 3,500-colour gradient
# with partial alpha over white, and the GIF sizes of the workloads beside
# gifsicle -O3 of the same files. Installs Pillow and gifsicle if missing.
#     bench/gif_palette_peers.sh [WORKLOADS]   (a folder from make_workloads)
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
install_missing_packages python3-pil gifsicle
TGL="$BUILD/bin/tgl"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

/usr/bin/python3 - "$WORK/gradient.tga" <<'PY'
import struct, sys
width, height = 70, 50
pixels = bytearray()
for y in reversed(range(height)):  # rows bottom first
    for x in range(width):
        pixels += bytes(((x * 7 + y * 3) & 255, round(y * 255 / 49), round(x * 255 / 69),
                         96 + (x * 5 + y * 11) % 160))
open(sys.argv[1], 'wb').write(struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8) + pixels)
PY
"$TGL" pack "$WORK/gradient.tga" -o "$WORK/gradient.tgl" --at 300,200
"$TGL" render "$WORK/gradient.tgl" -o "$WORK/gradient.png"
"$TGL" render "$WORK/gradient.tgl" -o "$WORK/tgl.gif"
/usr/bin/python3 - "$WORK" <<'PY'
import sys
from PIL import Image
work = sys.argv[1]
reference = Image.open(f'{work}/gradient.png').convert('RGB')
box = (300, 200, 370, 250)
def error(path):
    a, b = reference.crop(box).tobytes(), Image.open(path).convert('RGB').crop(box).tobytes()
    return [sum(abs(a[i + c] - b[i + c]) for i in range(0, len(a), 3)) / (len(a) // 3) for c in range(3)]
rows = [('tgl render', f'{work}/tgl.gif')]
for name, method in [('Pillow median cut', Image.Quantize.MEDIANCUT),
                     ('Pillow octree', Image.Quantize.FASTOCTREE),
                     ('Pillow max coverage', Image.Quantize.MAXCOVERAGE)]:
    reference.quantize(256, method=method, dither=Image.Dither.NONE).save(f'{work}/{name}.gif')
    rows.append((name, f'{work}/{name}.gif'))
print('mean error per channel (R G B) inside the 3,500-colour frame:')
for name, path in rows:
    print(f'  {name:20} ' + ' '.join(f'{e:5.2f}' for e in error(path)))
PY
if [ $# -ge 1 ]; then
  echo "GIF sizes, tgl render and gifsicle -O3 of it:"
  for w in "$1"/w*/; do
    "$TGL" render "$w/stand_1.tgl" -o "$WORK/w.gif" --force
    gifsicle -O3 "$WORK/w.gif" -o "$WORK/w3.gif" 2>/dev/null
    echo "  $(basename "$w"): $(stat -c %s "$WORK/w.gif") bytes, gifsicle -O3 $(stat -c %s "$WORK/w3.gif")"
  done
fi

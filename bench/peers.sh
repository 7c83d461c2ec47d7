#!/usr/bin/env bash
# The start benchmark beside the viewers people use for frame animations on
# Linux, in one run, under a private X server that does not reset: tglview
# plays each workload's .tgl; an Xlib GIF player (gifview), an Imlib2 image
# viewer (nsxiv) and a media player with its X11 output (mpv --vo=x11) play
# the same 800 x 600 pictures, made by `tgl render`, as GIF or animated WebP.
# The viewer is timed twice: by its own trace, and from outside as the others.
#     bench/peers.sh [SECONDS=10] [RUNS=3]     (after a build with benchmarks)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="$ROOT/build/bin"
SECONDS_EACH="${1:-10}"
RUNS="${2:-3}"
export DEBIAN_FRONTEND=noninteractive
missing=()
for p in gifsicle nsxiv mpv python3-pil xvfb; do
  dpkg -s "$p" > /dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || apt-get install -y --no-install-recommends "${missing[@]}" > /dev/null

WORK="$(mktemp -d)"
trap 'kill "$XVFB" 2>/dev/null; rm -rf "$WORK"' EXIT
Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp -noreset > /dev/null 2>&1 &
XVFB=$!
export DISPLAY=:97
sleep 1

"$BIN/make_workloads" "$BIN/tgl" "$ROOT/build/sample" "$WORK" > /dev/null
for w in w1 w2 w3; do
  "$BIN/tgl" render "$WORK/$w/stand_1.tgl" --all -o "$WORK/$w/pictures" > /dev/null
  "$BIN/tgl" info "$WORK/$w/stand_1.tgl" --json > "$WORK/$w/info.json"
  /usr/bin/python3 - "$WORK/$w" <<'PY'
import json, pathlib, sys
from PIL import Image
folder = pathlib.Path(sys.argv[1])
frames = [Image.open(p).convert("RGB") for p in sorted((folder / "pictures").glob("*.png"))]
durations = [max(f["duration"], 10) for f in json.load(open(folder / "info.json"))["frames"]]
frames[0].save(folder / "anim.gif", save_all=True, append_images=frames[1:], duration=durations,
               loop=0, optimize=False)
frames[0].save(folder / "anim.webp", save_all=True, append_images=frames[1:], duration=durations,
               loop=0, lossless=True)
PY
done

echo "median of $RUNS runs: first picture, CPU while playing, memory peak and playing"
for w in w1 w2 w3; do
  d="$WORK/$w"
  printf "%s tglview:           " "$w"; "$BIN/viewer_start" "$BIN/tglview" "$d" "$SECONDS_EACH" "$RUNS" | tail -1
  printf "%s tglview, outside:  " "$w"; "$BIN/viewer_start" --peer "$d" "$SECONDS_EACH" "$RUNS" -- "$BIN/tglview" | tail -1
  printf "%s gifview:           " "$w"; "$BIN/viewer_start" --peer "$d" "$SECONDS_EACH" "$RUNS" -- gifview -a anim.gif | tail -1
  printf "%s nsxiv:             " "$w"; "$BIN/viewer_start" --peer "$d" "$SECONDS_EACH" "$RUNS" -- nsxiv -a anim.webp | tail -1
  printf "%s mpv --vo=x11:      " "$w"; "$BIN/viewer_start" --peer "$d" "$SECONDS_EACH" "$RUNS" -- mpv --vo=x11 --no-audio --loop-file=inf --really-quiet anim.gif | tail -1
done

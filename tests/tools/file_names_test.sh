#!/usr/bin/env bash
# Every tgl command reads and writes names in Japanese, Cyrillic and Greek,
# with an emoji (a surrogate pair in UTF-16) and with spaces; on Linux also a
# name of bytes that are not UTF-8, which the JSON gives with U+FFFD.
# Usage: file_names_test.sh SAMPLE.tgl TOOL [ARGS...]   (TOOL: tgl, or wine tgl.exe)
set -euo pipefail
export LANG=C.UTF-8 # how Wine reads our arguments and names
sample=$(realpath "$1")
shift
tgl() { "$@" >/dev/null; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"

names=("スプライト" "Анимация кадры" "Ελληνικά" $'\xF0\x9F\x8E\x9E film')
[[ "$*" == *.exe* ]] || names+=($'bad \xFF\xFE name' 'odd "frames": [ name')

for name in "${names[@]}"; do
  step() { echo "FAILED: $* ($name)" >&2; exit 1; }
  cp "$sample" "$name.tgl"
  "$@" info "$name.tgl" | grep -qF "$name.tgl: 12 frame(s)" || step info
  "$@" info --json "$name.tgl" > info.json || step info --json
  /usr/bin/python3 - "$name.tgl" <<'PY' || step "info --json names the file"
import json, os, sys
expected = os.fsencode(sys.argv[1]).decode("utf-8", "replace")
assert json.load(open("info.json", encoding="utf-8"))["file"] == expected
PY
  tgl "$@" verify "$name.tgl" || step verify
  tgl "$@" unpack "$name.tgl" "$name frames" 2>/dev/null || step unpack
  tgl "$@" pack "$name frames" -o "$name again.tgl" || step pack
  cmp -s "$name.tgl" "$name again.tgl" || step "pack gives the same bytes"
  tgl "$@" render "$name.tgl" -o "$name.png" && [ -s "$name.png" ] || step render
  tgl "$@" render "$name.tgl" --all -o "$name pictures" 2>/dev/null &&
    [ -s "$name pictures/frame_011.png" ] || step render --all
  tgl "$@" export "$name.tgl" --sheet "$name sheet.png" && [ -s "$name sheet.json" ] ||
    step export --sheet
  tgl "$@" thumbnail "$name.tgl" "$name thumb.png" && [ -s "$name thumb.png" ] || step thumbnail
done
# A sheet's JSON names its image, which must then be found.
tgl "$@" pack "スプライト sheet.json" -o "from sheet.tgl" && tgl "$@" verify "from sheet.tgl" ||
  { echo "FAILED: pack from a sheet named in Japanese" >&2; exit 1; }
echo "every command took and gave ${#names[@]} kinds of names"

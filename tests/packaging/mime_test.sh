#!/usr/bin/env bash
# The file type as the desktop sees it: our shared-mime-info XML in a fresh
# database names application/x-tgl for a .tgl file, and by the magic "DFX"
# alone for one renamed .bin.
#     mime_test.sh SOURCE_DIR SAMPLE
set -euo pipefail
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/data/mime/packages"
cp "$1/packaging/linux/tglview.xml" "$WORK/data/mime/packages/"
update-mime-database "$WORK/data/mime"
cp "$2" "$WORK/a.tgl"
cp "$2" "$WORK/renamed.bin"
export XDG_DATA_HOME="$WORK/data" XDG_DATA_DIRS="$WORK/data:/usr/share"
for f in a.tgl renamed.bin; do
  type="$(gio info -a standard::content-type "$WORK/$f" | sed -n 's/.*standard::content-type: //p')"
  [ "$type" = application/x-tgl ] || { echo "$f: $type"; exit 1; }
done
echo "mime ok"

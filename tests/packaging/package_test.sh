#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack, its files listed, no
# lintian errors, and the programs run from an unpacked copy.
#     package_test.sh BUILD_DIR
set -euo pipefail
BUILD="$1"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

(cd "$BUILD" && cpack -G DEB -B "$WORK/out" > "$WORK/cpack.log") || { cat "$WORK/cpack.log"; exit 1; }
DEB="$(ls "$WORK"/out/tglview_*_amd64.deb)"
SDL_DEB="$(ls "$WORK"/out/tglview-sdl_*_amd64.deb)"
QT_DEB="$(ls "$WORK"/out/tglview-qt_*_amd64.deb)"
dpkg-deb -c "$DEB" > "$WORK/files"
for f in ./usr/bin/tglview ./usr/bin/tgl ./usr/lib/tglview/libqub.so ./usr/share/tglview/stand_1.tgl \
         ./usr/share/mime/packages/tglview.xml ./usr/share/thumbnailers/tgl.thumbnailer \
         ./usr/share/applications/tgl-play.desktop ./usr/share/man/man1/tgl.1.gz \
         ./usr/share/doc/tglview/copyright ./usr/share/icons/hicolor/scalable/mimetypes/application-x-tgl.svg \
         ./usr/lib/x86_64-linux-gnu/gdk-pixbuf-2.0/2.10.0/loaders/libpixbufloader-tgl.so; do
  grep -q " $f\$" "$WORK/files" || { echo "missing from the package: $f"; exit 1; }
done
dpkg-deb -f "$DEB" Depends | grep -q libx11-6 || { echo "dependencies not computed"; exit 1; }
# SDL2 only for sessions without X11, in a package of its own.
if dpkg-deb -f "$DEB" Depends | grep -q sdl || grep -q libqub_sdl "$WORK/files"; then
  echo "the main package pulls SDL2"; exit 1
fi
dpkg-deb -c "$SDL_DEB" > "$WORK/sdl-files"
grep -q ' ./usr/lib/tglview/libqub_sdl.so$' "$WORK/sdl-files" || { echo "no SDL2 module"; exit 1; }
dpkg-deb -f "$SDL_DEB" Depends | grep -q 'tglview (= .*libsdl2' || { echo "tglview-sdl's dependencies"; exit 1; }

dpkg-deb -c "$QT_DEB" > "$WORK/qt-files"
for f in imageformats/libtgl.so kf5/thumbcreator/tglthumbnail.so; do
  grep -q " ./usr/lib/x86_64-linux-gnu/qt5/plugins/$f\$" "$WORK/qt-files" || { echo "no $f"; exit 1; }
done
dpkg-deb -f "$DEB" Depends | grep -qi qt && { echo "the main package pulls Qt"; exit 1; }

lintian "$DEB" "$SDL_DEB" "$QT_DEB" > "$WORK/lintian" 2>&1 || true
if grep -q '^E:' "$WORK/lintian"; then cat "$WORK/lintian"; exit 1; fi

dpkg-deb -x "$DEB" "$WORK/root"
"$WORK/root/usr/bin/tgl" --version | grep -q '^tgl '
"$WORK/root/usr/bin/tgl" thumbnail "$WORK/root/usr/share/tglview/stand_1.tgl" "$WORK/thumb.png"
head -c 8 "$WORK/thumb.png" | od -An -tx1 | grep -q '89 50 4e 47' || { echo "no PNG thumbnail"; exit 1; }
echo "package ok: $(wc -l < "$WORK/files") entries; lintian: $(grep -c '^W:' "$WORK/lintian" || true) warning(s)"

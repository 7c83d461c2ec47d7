# Shared by ./run and ./test: install what is missing, configure, build.
# Safe to run any number of times.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD:-$ROOT/build}"
WINDOWS_BUILD="$ROOT/build-windows"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev fonts-dejavu-core zlib1g-dev libdeflate-dev
  libcli11-dev nlohmann-json3-dev libwebp-dev libgif-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxtst-dev xvfb xauth x11-utils clang-format libstb-dev
  dpkg-dev lintian shared-mime-info libglib2.0-bin libgdk-pixbuf-2.0-dev libgdk-pixbuf2.0-bin
  python3-gi gir1.2-gtk-3.0 eog dbus qtbase5-dev gwenview chromium nodejs python3-pil
  libkf5kio-dev kio-extras
)
# The Windows build and Wine, for ./test and scripts/build-windows only.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine64 nsis
)

# The packages named, or PACKAGES.
install_missing_packages() {
  local wanted=("$@")
  [ ${#wanted[@]} -eq 0 ] && wanted=("${PACKAGES[@]}")
  local missing=()
  for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Every tracked C++ file as .clang-format lays it out.
check_formatting() {
  if ! git -C "$ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "Not a git checkout: formatting not checked." >&2
    return 0
  fi
  echo "Checking formatting"
  (cd "$ROOT" && git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run -Werror)
}

# The browser tests' npm packages (tests/browser/package.json), into the build
# tree, never into git; again only when the list changes.
install_npm_packages() {
  local folder="$BUILD/npm"
  cmp -s "$ROOT/tests/browser/package.json" "$folder/package.json" &&
    [ -d "$folder/node_modules" ] && return 0
  mkdir -p "$folder"
  cp "$ROOT/tests/browser/package.json" "$folder/"
  (cd "$folder" && npm install --no-audit --no-fund --silent)
}

build_project() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@"
  cmake --build "$BUILD" --parallel "$(nproc)"
}

# The Windows build (mingw-w64), with the sample files of the Linux build in $BUILD.
build_windows() {
  cmake -S "$ROOT" -B "$WINDOWS_BUILD" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTGL_HOST_SAMPLE_DIR="$BUILD/sample" "$@"
  cmake --build "$WINDOWS_BUILD" --parallel "$(nproc)"
  cmake --build "$WINDOWS_BUILD" --target package # the zip and the installer
}

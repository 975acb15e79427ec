# Shared by the run-* scripts: installs what is missing, builds, and prepares the Wine prefix.
# Source it; BUILD names the build tree (default: build).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
export WINEPREFIX=$BUILD/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

install_and_build() {
  "$ROOT/scripts/install-deps.sh"
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$BUILD" -j"$(nproc)"
}

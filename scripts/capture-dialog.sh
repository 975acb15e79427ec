#!/usr/bin/env bash
# Takes a picture of the properties dialog as Wine shows it over the simulated editor, with its
# Japanese texts, and crops it to the dialog: docs/properties-dialog.png (or OUT).
#   scripts/capture-dialog.sh [BUILD-TREE]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"
BUILD=$(realpath -m "${1:-$(tree_of i686)}")
OUT=$(realpath -m "${OUT:-$ROOT/docs/properties-dialog.png}")
export OUT
# A prefix of its own: a test run in the same tree cannot draw into this desktop or close it.
export WINEPREFIX=$BUILD/wineprefix-shot

# Built once, and then run again on a screen of its own: exactly the size of the virtual desktop,
# so that desktop and screen coordinates agree, whatever display the caller has.
if [ -z "${BRINKWATCHER_SHOT_SCREEN:-}" ]; then
  [ -n "${BRINKWATCHER_DEPS_CHECKED:-}" ] || "$ROOT/scripts/install-deps.sh"
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DBRINKWATCHER_TESTS=OFF >/dev/null
  fi
  cmake --build "$BUILD" --target brinkwatcher-dialog-shot -j"$(nproc)"
  mkdir -p "$(dirname "$OUT")"
  BRINKWATCHER_SHOT_SCREEN=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$BUILD"
fi

"$ROOT/scripts/wine-prefix.sh"
rect=$BUILD/bin/dialog-shot.rect done=$BUILD/bin/dialog-shot.done
rm -f "$rect" "$done"
"$WINE64" explorer /desktop=shot,800x600 "$BUILD/bin/brinkwatcher-dialog-shot.exe" &
program=$!
for _ in $(seq 600); do
  [ -f "$rect" ] && break
  kill -0 $program 2>/dev/null || break
  sleep 0.1
done
if [ ! -f "$rect" ]; then
  echo "the dialog did not show" >&2
  "$WINESERVER" -k || true
  exit 1
fi
read -r x y w h <"$rect"
shot=$(mktemp --suffix=.png)
import -window root "$shot"
touch "$done"
convert "$shot" -crop "${w}x${h}+${x}+${y}" +repage -strip -define png:exclude-chunks=date,time \
  "$OUT"
rm -f "$shot" "$rect" "$done"
wait $program || true
"$WINESERVER" -k || true
echo "wrote $OUT (${w}x${h} at ${x},${y})"

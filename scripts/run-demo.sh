#!/usr/bin/env bash
# Builds the plug-in for both architectures and plays the scripted session in the simulated
# editor with each DLL, with the plug-in and without it side by side. The 32-bit session draws
# the README's pictures into docs/ (the frames of both editors at the same keystrokes, the toolbar
# button), the 64-bit one must draw the same; then the properties dialog is photographed.
# Extra arguments go to the simulated editor (--profile FILE).
source "$(dirname "$0")/common.sh"
build_once -DBRINKWATCHER_TESTS=OFF
[ "$(bits32_mode)" != unavailable ] || { echo "the 32-bit session cannot run here" >&2; exit 1; }
run_in_display "$@"
set -o pipefail
source "$ROOT/scripts/run-summary.sh"
mkdir -p "$ROOT/docs"

for arch in i686 x86_64; do
  pictures=$(tree_of "$arch")/pictures
  rm -rf "$pictures" && mkdir -p "$pictures"
  export WINEPREFIX=$BUILD_ROOT/$arch/wineprefix
  "$ROOT/scripts/wine-prefix.sh"
  echo "==== $arch: $BUILD_ROOT/$arch/bin/Brinkwatcher.dll"
  status=0
  "$ROOT/scripts/wine-run.sh" "$arch" "$BUILD_ROOT/$arch/bin/brinkwatcher-sim.exe" --script \
    --pictures "$("$WINE64" winepath -w "$pictures")" "$@" || status=$?
  if [ $status = 0 ]; then
    run_passed "$arch: the scripted session played through"
  else
    run_failed "$arch: the scripted session ended with status $status"
  fi
  "$WINESERVER" -k || true  # before the display goes away under the desktop process
done
print_runs || exit 1

# PNG without time stamps, so that an unchanged picture leaves the file unchanged.
for name in scroll-strip toolbar-button; do
  cmp -s "$(tree_of i686)/pictures/$name.bmp" "$(tree_of x86_64)/pictures/$name.bmp" || {
    echo "the 64-bit session drew $name differently" >&2
    exit 1
  }
  convert "$(tree_of i686)/pictures/$name.bmp" -strip -define png:exclude-chunks=date,time \
    "$ROOT/docs/$name.png"
done
OUT=$ROOT/docs/properties-dialog.png "$ROOT/scripts/capture-dialog.sh" "$(tree_of i686)"
echo "pictures: docs/scroll-strip.png docs/toolbar-button.png docs/properties-dialog.png"

#!/usr/bin/env bash
# Builds the plug-in and plays the scripted session in the simulated editor, with the plug-in and
# without it side by side. The session also draws the README's pictures into docs/: the frames of
# both editors at the same keystrokes, the toolbar button, and the properties dialog.
# Extra arguments go to the simulated editor (--profile FILE).
source "$(dirname "$0")/common.sh"
install_and_build -DBRINKWATCHER_TESTS=OFF
PICTURES=$BUILD/pictures
rm -rf "$PICTURES" && mkdir -p "$PICTURES" "$ROOT/docs"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0/scripts/wine-prefix.sh"
  status=0
  wine "$1/bin/brinkwatcher-sim.exe" --script --pictures "$(winepath -w "$2")" "${@:3}" || status=$?
  wineserver -k || true   # before the display goes away under the desktop process
  exit $status' "$ROOT" "$BUILD" "$PICTURES" "$@"

# PNG without time stamps, so that an unchanged picture leaves the file unchanged.
for name in scroll-strip toolbar-button; do
  convert "$PICTURES/$name.bmp" -strip -define png:exclude-chunks=date,time "$ROOT/docs/$name.png"
done
OUT=$ROOT/docs/properties-dialog.png "$ROOT/scripts/capture-dialog.sh" "$BUILD"
echo "pictures: docs/scroll-strip.png docs/toolbar-button.png docs/properties-dialog.png"
